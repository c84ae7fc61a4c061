#include "corpus.h"

#include "core/cue/cueparser.h"
#include "core/cue/cuereading.h"
#include "core/cue/linereader.h"
#include "support/files.h"

#include <QDir>
#include <QRegularExpression>

#include <iconv.h>

using namespace Qt::StringLiterals;

namespace {

// Laid out as a ripper on Windows writes it: CR LF, REM lines, the album's audio file named after it; each track
// "title" or "title // performer".
std::optional<CorpusSheet> sheetFrom(const QString &language, const QStringList &lines)
{
    if (lines.size() < 4 || !lines[0].startsWith(u"encodings: "_s) || !lines[1].startsWith(u"performer: "_s) ||
        !lines[2].startsWith(u"album: "_s))
        return std::nullopt;
    const QString performer = lines[1].sliced(11), album = lines[2].sliced(7);
    QString text = u"REM GENRE Pop\r\nREM DATE 2004\r\nREM DISCID 8A0B2C0C\r\nREM COMMENT \"ExactAudioCopy v1.6\"\r\n"
                   u"PERFORMER \"%1\"\r\nTITLE \"%2\"\r\nFILE \"%1 - %2.mp3\" MP3\r\n"_s.arg(performer, album);
    for (int i = 0, seconds = 0; i < lines.size() - 3; seconds += 200 + 17 * i++) {
        const QString track = lines[i + 3];
        text += u"  TRACK %1 AUDIO\r\n    TITLE \"%2\"\r\n"_s.arg(i + 1, 2, 10, QChar(u'0'))
                    .arg(track.section(u" // "_s, 0, 0));
        if (track.contains(u" // "_s))
            text += u"    PERFORMER \"%1\"\r\n"_s.arg(track.section(u" // "_s, 1));
        text +=
            u"    INDEX 01 %1:%2:00\r\n"_s.arg(seconds / 60, 2, 10, QChar(u'0')).arg(seconds % 60, 2, 10, QChar(u'0'));
    }
    return CorpusSheet{language, album, lines[0].sliced(11).split(u' ', Qt::SkipEmptyParts), text};
}

} // namespace

QList<CorpusSheet> loadCorpus(const QString &folder, QString *error)
{
    QList<CorpusSheet> sheets;
    for (const QString &name : QDir(folder).entryList({u"*.txt"_s}, QDir::Files, QDir::Name)) {
        if (name == u"README.txt"_s)
            continue;
        // Sheets stand apart by blank lines; "#" starts a comment line.
        const QStringList lines = QString::fromUtf8(velvane::test::readFile(QDir(folder).filePath(name))).split(u'\n');
        const QString text = lines.filter(QRegularExpression(u"^(?!#)"_s)).join(u'\n');
        for (const QString &block : text.split(u"\n\n"_s, Qt::SkipEmptyParts)) {
            const std::optional<CorpusSheet> sheet = sheetFrom(name.chopped(4), block.trimmed().split(u'\n'));
            if (!sheet) {
                *error = name + u": malformed sheet: "_s + block;
                return {};
            }
            sheets.append(*sheet);
        }
    }
    if (sheets.isEmpty())
        *error = folder + u" holds no sheets"_s;
    return sheets;
}

QByteArray encodedWithIconv(const QString &text, const QString &charset)
{
    const iconv_t cd = iconv_open(charset.toLatin1().constData(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    // Room for the widest forms: four bytes a character, and a byte order mark.
    QByteArray utf8 = text.toUtf8(), encoded(utf8.size() * 4 + 8, Qt::Uninitialized);
    char *in = utf8.data(), *out = encoded.data();
    size_t inLeft = size_t(utf8.size()), outLeft = size_t(encoded.size());
    const bool failed = iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1);
    iconv_close(cd);
    return failed ? QByteArray() : encoded.first(encoded.size() - qsizetype(outLeft));
}

QStringList tracksOf(const QString &text)
{
    QStringList tracks;
    for (const velvane::TrackEntry &track : velvane::parseTrackLines(velvane::linesInText(text), u"/m/live.cue"_s))
        tracks << track.value(u"title"_s) + u" // "_s + track.value(u"performer"_s);
    return tracks;
}
