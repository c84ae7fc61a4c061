#include "core/split/outputname.h"

#include "core/text/controlcharacters.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

qsizetype utf8Size(const QString &text)
{
    return text.toUtf8().size();
}

// The longest head of text, cut between user-perceived characters, whose UTF-8 takes at most maxBytes.
QString headWithin(const QString &text, qsizetype maxBytes)
{
    if (maxBytes <= 0)
        return {};
    if (utf8Size(text) <= maxBytes)
        return text;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype kept = 0;
    qsizetype bytes = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end > 0; end = graphemes.toNextBoundary()) {
        // Qt 6.4 puts a boundary inside every surrogate pair of a text that also holds Indic or Thai letters; a
        // half would count as one byte and turn into "?" on disk.
        if (text.at(end - 1).isHighSurrogate() && end < text.size() && text.at(end).isLowSurrogate())
            continue;
        bytes += utf8Size(text.sliced(kept, end - kept));
        if (bytes > maxBytes)
            break;
        kept = end;
    }
    return text.first(kept);
}

} // namespace

QString trackNumberText(int number, int trackCount)
{
    const qsizetype width = std::max<qsizetype>(2, QString::number(trackCount).size());
    return QString::number(number).rightJustified(width, u'0');
}

QString cleanedFilename(const QString &text)
{
    QString name = text;
    // "*" marks white space while runs are folded. Folding "**" once halves a run rather than collapsing it, and
    // names of tracks split earlier depend on that.
    name.replace(u'/', u'.');
    name.replace(u'\\', u'.');
    name.replace(u':', u'.');
    name.replace(u'\t', u'*');
    name.replace(u' ', u'*');
    name.replace(u"**"_s, u"*"_s);
    name.replace(u'*', u' ');
    return name;
}

QString OutputName::fileName(int attempt, int maxBytes) const
{
    const QString mark = attempt > 1 ? u" ("_s % QString::number(attempt) % u')' : QString();
    const QString tail = mark % u'.' % extension;
    // A track without a performer is named by its title alone; with neither, the separator keeps the name from
    // being the bare extension, a hidden file.
    const QString separator = performer.isEmpty() && !title.isEmpty() ? QString() : u" - "_s;
    const qsizetype fixed = utf8Size(prefix) + utf8Size(separator) + utf8Size(tail);

    QString shortPerformer = performer;
    QString shortTitle = title;
    if (maxBytes > 0 && fixed + utf8Size(performer) + utf8Size(title) > maxBytes) {
        // The title gives way first; the performer only when the title is gone and it still does not fit.
        shortTitle = headWithin(title, maxBytes - fixed - utf8Size(performer));
        if (shortTitle.isEmpty())
            shortPerformer = headWithin(performer, maxBytes - fixed);
    }
    const QString name = prefix % shortPerformer % separator % shortTitle % tail;
    // Only a limit too small for the number and the extension themselves gets here; the name is then cut whole.
    return maxBytes > 0 && utf8Size(name) > maxBytes ? headWithin(name, maxBytes) : name;
}

OutputName outputNameParts(int number, const TrackEntry &entry, const QString &extension, bool numbered, int trackCount)
{
    OutputName name;
    if (numbered)
        name.prefix = trackNumberText(number, trackCount) % u' ';
    name.performer = withoutControlCharacters(cleanedFilename(entry.value(u"performer"_s)));
    name.title = withoutControlCharacters(cleanedFilename(entry.value(u"title"_s)));
    name.extension = extension;
    return name;
}

QString outputName(int number, const TrackEntry &entry, const QString &extension, bool numbered, int trackCount)
{
    return outputNameParts(number, entry, extension, numbered, trackCount).fileName(1, std::numeric_limits<int>::max());
}

} // namespace velvane
