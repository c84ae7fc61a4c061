// Counts the sheets of the encoding corpus that each reader reads right: uchardet alone, ICU's detector alone (its
// first answer), and Velvane. A reader that names nothing it can convert reads the sheet as Windows-1252.
// usage: velvane-encodingcounts tests/encoding/corpus

#include "encoding/corpus.h"

#include "core/cue/cuereading.h"
#include "core/cue/cuetextdecoder.h"
#include "core/encoding/bytedecoding.h"
#include "core/encoding/detectors.h"
#include "core/encoding/encodingcatalog.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// The bytes read with the encoding a detector names (uchardet's or ICU's spelling); as Windows-1252 when it names
// none that converts, as a program that trusts the detector would.
QString readAsNamed(const QByteArray &bytes, const QByteArray &answer)
{
    if (const velvane::TextEncoding *known = velvane::findTextEncoding(QString::fromLatin1(answer)))
        return velvane::decodedLeniently(bytes, *known);
    const velvane::TextEncoding asNamed{{}, {}, velvane::EncodingKind::Iconv, answer.constData()};
    if (!answer.isEmpty() && velvane::decodedStrictly("a", asNamed))
        return velvane::decodedLeniently(bytes, asNamed);
    return velvane::decodedLeniently(bytes, velvane::windows1252Encoding());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: velvane-encodingcounts CORPUS_FOLDER\n", stderr);
        return 2;
    }
    QString error;
    const QList<CorpusSheet> corpus = loadCorpus(QString::fromLocal8Bit(argv[1]), &error);
    if (corpus.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    int sheets = 0, uchardet = 0, icu = 0, velvane = 0;
    for (const CorpusSheet &sheet : corpus) {
        const QStringList expected = tracksOf(sheet.text);
        for (const QString &encoding : sheet.encodings) {
            const QByteArray bytes = encodedWithIconv(sheet.text, encoding);
            ++sheets;
            uchardet += tracksOf(readAsNamed(bytes, velvane::uchardetAnswer(bytes))) == expected;
            const QList<velvane::DetectorMatch> matches = velvane::icuMatches(bytes);
            icu += tracksOf(readAsNamed(bytes, matches.isEmpty() ? QByteArray() : matches.constFirst().charset)) ==
                   expected;
            velvane += tracksOf(velvane::decodeCueText(bytes).text) == expected;
        }
    }
    std::printf("sheets read right, of %d: uchardet alone %d, ICU alone %d, Velvane %d\n", sheets, uchardet, icu,
                velvane);
    return 0;
}
