#include "components/tagapi.h"

// Placeholder until the TagLib writer lands.
struct TagAPI::Pending
{
};

TagAPI::TagAPI() = default;
TagAPI::~TagAPI() = default;
QStringList TagAPI::getGenreList() const
{
    return {QStringLiteral("Techno")};
}
bool TagAPI::examineFile(const QString &)
{
    return false;
}
void TagAPI::setTitle(const QString &) {}
void TagAPI::setArtist(const QString &) {}
void TagAPI::setAlbum(const QString &) {}
void TagAPI::setYear(int) {}
void TagAPI::setTrack(int, int) {}
void TagAPI::setGenreName(const QStringList &) {}
bool TagAPI::updateFile()
{
    return false;
}
