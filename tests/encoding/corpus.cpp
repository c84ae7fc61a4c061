#include "corpus.h"

#include "core/cue/cueparser.h"
#include "core/cue/cuereading.h"
#include "core/cue/linereader.h"
#include "core/encoding/bytedecoding.h"
#include "core/encoding/encodingcatalog.h"
#include "support/files.h"

#include <QDir>
#include <QRegularExpression>

#include <array>
#include <cerrno>
#include <iconv.h>

using namespace Qt::StringLiterals;

namespace {

QString cueText(const QString &performer, const QString &album, const QStringList &titles,
                const QStringList &performers)
{
    // Laid out as a ripper on Windows writes it: CR LF, REM lines, the album's audio file named after it.
    QString text =
        u"REM GENRE Pop\r\nREM DATE 2004\r\nREM DISCID 8A0B2C0C\r\nREM COMMENT \"ExactAudioCopy v1.6\"\r\n"_s;
    text += u"PERFORMER \"%1\"\r\nTITLE \"%2\"\r\nFILE \"%1 - %2.mp3\" MP3\r\n"_s.arg(performer, album);
    int seconds = 0;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        text += u"  TRACK %1 AUDIO\r\n    TITLE \"%2\"\r\n"_s.arg(int(i) + 1, 2, 10, QLatin1Char('0')).arg(titles[i]);
        if (performers[i] != performer)
            text += u"    PERFORMER \"%1\"\r\n"_s.arg(performers[i]);
        text += u"    INDEX 01 %1:%2:00\r\n"_s.arg(seconds / 60, 2, 10, QLatin1Char('0'))
                    .arg(seconds % 60, 2, 10, QLatin1Char('0'));
        seconds += 200 + 17 * int(i);
    }
    return text;
}

std::optional<CorpusSheet> sheetFrom(const QString &language, const QStringList &lines)
{
    if (lines.size() < 4 || !lines[0].startsWith(u"encodings: "_s) || !lines[1].startsWith(u"performer: "_s) ||
        !lines[2].startsWith(u"album: "_s))
        return std::nullopt;
    CorpusSheet sheet;
    sheet.language = language;
    sheet.encodings = lines[0].sliced(11).split(u' ', Qt::SkipEmptyParts);
    const QString performer = lines[1].sliced(11);
    sheet.album = lines[2].sliced(7);
    for (const QString &track : lines.sliced(3)) {
        sheet.titles.append(track.section(u" // "_s, 0, 0));
        sheet.performers.append(track.contains(u" // "_s) ? track.section(u" // "_s, 1) : performer);
    }
    sheet.text = cueText(performer, sheet.album, sheet.titles, sheet.performers);
    return sheet;
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
    QByteArray utf8 = text.toUtf8();
    QByteArray encoded;
    std::array<char, 4096> buffer;
    char *in = utf8.data();
    size_t inLeft = size_t(utf8.size());
    bool failed = false;
    while (inLeft > 0 && !failed) {
        char *out = buffer.data();
        size_t outLeft = buffer.size();
        failed = iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1) && errno != E2BIG;
        encoded.append(buffer.data(), qsizetype(buffer.size() - outLeft));
    }
    iconv_close(cd);
    return failed ? QByteArray() : encoded;
}

QStringList tracksOf(const QString &text)
{
    QStringList tracks;
    for (const velvane::TrackEntry &track : velvane::parseTrackLines(velvane::linesInText(text), u"/m/live.cue"_s))
        tracks << track.value(u"title"_s) + u" // "_s + track.value(u"performer"_s);
    return tracks;
}

QString readAsNamed(const QByteArray &bytes, const QByteArray &answer)
{
    if (const velvane::TextEncoding *known = velvane::findTextEncoding(QString::fromLatin1(answer)))
        return velvane::decodedLeniently(bytes, *known);
    const velvane::TextEncoding asNamed{{}, {}, velvane::EncodingKind::Iconv, answer.constData()};
    if (!answer.isEmpty() && velvane::decodedStrictly("a", asNamed))
        return velvane::decodedLeniently(bytes, asNamed);
    return velvane::decodedLeniently(bytes, velvane::windows1252Encoding());
}
