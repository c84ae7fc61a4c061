#include "corpus.h"

#include "core/cue/cuereading.h"
#include "core/cue/cuetextdecoder.h"
#include "core/encoding/bytedecoding.h"
#include "core/encoding/detectors.h"
#include "core/encoding/encodingcatalog.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class EncodingTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void corpus_data();
    void corpus();
    void neverWorseThanUchardet();
    void damagedSheets();
    void longSheets_data();
    void longSheets();
    void chosenEncoding_data();
    void chosenEncoding();
    void everyEncodingHasItsConverter();
    void bytesThatMapToNothing_data();
    void bytesThatMapToNothing();
    void commandLine_data();
    void commandLine();

private:
    QList<CorpusSheet> m_corpus;
};

void EncodingTest::initTestCase()
{
    QString error;
    m_corpus = loadCorpus(QStringLiteral(VELVANE_ENCODING_CORPUS), &error);
    QVERIFY2(!m_corpus.isEmpty(), qPrintable(error));
}

void EncodingTest::corpus_data()
{
    QTest::addColumn<int>("sheet");
    QTest::addColumn<QByteArray>("bytes");
    for (qsizetype i = 0; i < m_corpus.size(); ++i) {
        const CorpusSheet &sheet = m_corpus[i];
        for (const QString &encoding : sheet.encodings) {
            const QByteArray bytes = encodedWithIconv(sheet.text, encoding);
            QVERIFY2(!bytes.isEmpty(), qPrintable(sheet.album + u" has no form in "_s + encoding));
            QVERIFY2(QString::fromUtf8(bytes).toUtf8() != bytes,
                     qPrintable(sheet.album + u" is UTF-8 in "_s + encoding));
            const QString name = sheet.language + u": "_s + sheet.album + u" ("_s +
                                 QString::number(sheet.titles.size()) + u" tracks, "_s + encoding + u')';
            QTest::newRow(name.toUtf8().constData()) << int(i) << bytes;
        }
    }
}

// Every sheet reads with its own words: the titles and performers of its tracks.
void EncodingTest::corpus()
{
    QFETCH(int, sheet);
    QFETCH(QByteArray, bytes);
    const CorpusSheet &expected = m_corpus[sheet];

    QStringList tracks;
    for (qsizetype i = 0; i < expected.titles.size(); ++i)
        tracks << expected.titles[i] + u" // "_s + expected.performers[i];
    const velvane::DecodedCueText read = velvane::decodeCueText(bytes);
    QVERIFY2(tracksOf(read.text) == tracks, qPrintable(u"read as "_s + read.encoding + u": "_s + read.text));
    QVERIFY(read.candidates.contains(read.encoding));
}

// Wherever uchardet alone would read a sheet right, so does Velvane: in each encoding a sheet has a form in, not
// only those the corpus names for it.
void EncodingTest::neverWorseThanUchardet()
{
    QStringList worse;
    for (const CorpusSheet &sheet : std::as_const(m_corpus)) {
        const QStringList expected = tracksOf(sheet.text);
        for (const velvane::TextEncoding &encoding : velvane::textEncodings()) {
            if (!encoding.detected || encoding.kind == velvane::EncodingKind::Utf8)
                continue;
            const QString iconvName = encoding.kind == velvane::EncodingKind::Windows1252
                                          ? u"CP1252"_s
                                          : QString::fromLatin1(encoding.iconvName);
            const QByteArray bytes = encodedWithIconv(sheet.text, iconvName);
            if (bytes.isEmpty() || QString::fromUtf8(bytes).toUtf8() == bytes)
                continue;
            if (tracksOf(readAsNamed(bytes, velvane::uchardetAnswer(bytes))) == expected &&
                tracksOf(velvane::decodeCueText(bytes).text) != expected)
                worse << sheet.album + u" in "_s + encoding.name + u", read as "_s +
                             velvane::decodeCueText(bytes).encoding;
        }
    }
    QVERIFY2(worse.isEmpty(), qPrintable(worse.join(u"; "_s)));
}

// A stray byte costs one character, not the sheet's encoding; bytes that fit no encoding still read, as
// Windows-1252.
void EncodingTest::damagedSheets()
{
    const auto sheet = std::find_if(m_corpus.cbegin(), m_corpus.cend(),
                                    [](const CorpusSheet &s) { return s.album == u"Северный ветер"_s; });
    QVERIFY(sheet != m_corpus.cend());
    const QString russian = sheet->text;
    const qsizetype at = russian.indexOf(u"TRACK 02"_s);
    QByteArray damaged = encodedWithIconv(russian, u"CP1251"_s);
    damaged.insert(damaged.indexOf("TRACK 02"), '\x98'); // undefined in Windows-1251 and most code pages
    QCOMPARE(velvane::decodeCueText(damaged).text, QString(russian).insert(at, QChar(0xFFFD)));

    QByteArray noise;
    for (int i = 0; i < 4000; ++i)
        noise.append(char((i * 7919 + 13) % 256));
    const velvane::DecodedCueText fallback = velvane::decodeCueText(noise);
    QCOMPARE(fallback.encoding, u"windows-1252"_s);
    QCOMPARE(fallback.text.size(), noise.size());
}

void EncodingTest::longSheets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoding");

    QString tracks;
    for (int track = 1; tracks.size() < 60000; ++track)
        tracks += u"  TRACK %1 AUDIO\r\n    TITLE \"Песня %1\"\r\n"_s.arg(track);
    QTest::newRow("titles throughout") << tracks + u"REM COMMENT \"Последняя строка\"\r\n"_s << u"KOI8-R"_s;

    QString remarks;
    for (int line = 1; remarks.size() < 20000; ++line)
        remarks += u"REM COMMENT \"Ripped with care, pass %1\"\r\n"_s.arg(line);
    const QString russian = u"PERFORMER \"Кино\"\r\nTITLE \"Группа крови\"\r\nFILE \"album.mp3\" MP3\r\n"
                            u"  TRACK 01 AUDIO\r\n    TITLE \"Закрой за мной дверь, я ухожу\"\r\n"_s;
    QTest::newRow("titles after long remarks") << remarks + russian << u"CP1251"_s;

    QString longLine;
    while (longLine.size() < 12000)
        longLine += u"夜明けの街で雨のち晴れ"_s;
    QTest::newRow("one line longer than detection reads")
        << u"FILE \"album.mp3\" MP3\r\nREM COMMENT \""_s + longLine + u"\"\r\n"_s << u"CP932"_s;
}

// The encoding is told from the lines that hold characters beyond ASCII wherever they stand, and the whole sheet
// is read with it.
void EncodingTest::longSheets()
{
    QFETCH(QString, text);
    QFETCH(QString, encoding);
    const QByteArray bytes = encodedWithIconv(text, encoding);
    QVERIFY(bytes.size() > 16 * 1024);
    const velvane::DecodedCueText read = velvane::decodeCueText(bytes);
    QCOMPARE(read.encoding, velvane::findTextEncoding(encoding)->name);
    QCOMPARE(read.text, text);
}

void EncodingTest::chosenEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");

    const QString russian = u"TITLE \"Снегопад\""_s;
    QTest::newRow("a legacy encoding by alias, against the detector")
        << encodedWithIconv(russian, u"KOI8-R"_s) << u"CP-1251"_s << u"TITLE \"уОЕЗПРБД\""_s << u"windows-1251"_s;
    QTest::newRow("Shift_JIS keeps a backslash in a path")
        << encodedWithIconv(u"FILE \"CD1\\夜.mp3\" MP3"_s, u"CP932"_s) << u"sjis"_s << u"FILE \"CD1\\夜.mp3\" MP3"_s
        << u"Shift_JIS"_s;
    QTest::newRow("UTF-8 drops its BOM") << QByteArray("\xEF\xBB\xBFTITLE \"\xC3\xA9t\xC3\xA9\"") << u"utf8"_s
                                         << u"TITLE \"été\""_s << u"UTF-8"_s;
    QTest::newRow("UTF-8 on legacy bytes marks what it cannot read")
        << QByteArray("TITLE \"\xE9t\xE9\"") << u"UTF-8"_s << u"TITLE \"\uFFFDt\uFFFD\""_s << u"UTF-8"_s;
    // glibc's CP949 reports such an end as a bad sequence it has already read past; decoding went on beyond the
    // end of the bytes.
    QTest::newRow("a bad sequence at the very end")
        << QByteArray("TITLE \"\xA2\xE8") << u"CP949"_s << u"TITLE \"\uFFFD"_s << u"EUC-KR"_s;
    QTest::newRow("UTF-16 drops its BOM")
        << QByteArray("\xFF\xFEO\0k\0", 6) << u"utf-16le"_s << u"Ok"_s << u"UTF-16LE"_s;
}

// The encoding the user names wins over detection, and is reported by its usual name.
void EncodingTest::chosenEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, asked);
    QFETCH(QString, text);
    QFETCH(QString, name);
    const velvane::TextEncoding *encoding = velvane::findTextEncoding(asked);
    QVERIFY(encoding);
    const velvane::DecodedCueText read = velvane::decodeCueTextAs(bytes, *encoding);
    QCOMPARE(read.text, text);
    QCOMPARE(read.encoding, name);
}

// Each name and alias finds its own entry, and a converter reads it, ASCII as ASCII.
void EncodingTest::everyEncodingHasItsConverter()
{
    for (const velvane::TextEncoding &encoding : velvane::textEncodings()) {
        QCOMPARE(velvane::findTextEncoding(QString(encoding.name)), &encoding);
        for (const QString &alias : QString(encoding.aliases).split(u'|', Qt::SkipEmptyParts))
            QCOMPARE(velvane::findTextEncoding(alias), &encoding);
        if (encoding.kind != velvane::EncodingKind::Utf16LE && encoding.kind != velvane::EncodingKind::Utf16BE)
            QCOMPARE(velvane::decodedStrictly("a\\b~c", encoding).value_or(QString()), u"a\\b~c"_s);
    }
    QVERIFY(!velvane::findTextEncoding(u"klingon"));
}

void EncodingTest::bytesThatMapToNothing_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("strict"); // empty: refused
    QTest::addColumn<QString>("lenient");

    QTest::newRow("windows-1251, a byte Windows leaves undefined") << u"windows-1251"_s
                                                                   << QByteArray("a\x98"
                                                                                 "b")
                                                                   << QString() << u"a\uFFFDb"_s;
    QTest::newRow("windows-1251, defined") << u"windows-1251"_s << QByteArray("\xc0\xe1") << u"Аб"_s << u"Аб"_s;
    QTest::newRow("Korean, Windows's extension") << u"EUC-KR"_s << QByteArray("\x81\x41") << u"갂"_s << u"갂"_s;
    QTest::newRow("Korean, cut at the end") << u"EUC-KR"_s << QByteArray("a\xb0") << QString() << u"a\uFFFD"_s;
    QTest::newRow("Big5, the user's area") << u"Big5"_s
                                           << QByteArray("\x81\x40"
                                                         "b")
                                           << QString() << u"\uFFFDb"_s;
    QTest::newRow("Thai, undefined") << u"windows-874"_s << QByteArray("\xdb") << QString() << u"\uFFFD"_s;
    QTest::newRow("ISO-8859-8, undefined") << u"ISO-8859-8"_s << QByteArray("\xa1") << QString() << u"\uFFFD"_s;
    QTest::newRow("KOI8-R") << u"KOI8-R"_s << QByteArray("\xf4\xc5\xd3\xd4") << u"Тест"_s << u"Тест"_s;
}

// A byte that maps to nothing makes a strict reading fail, so detection passes the encoding over, and becomes one
// U+FFFD in a lenient one, which keeps the rest.
void EncodingTest::bytesThatMapToNothing()
{
    QFETCH(QString, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, strict);
    QFETCH(QString, lenient);
    const velvane::TextEncoding *found = velvane::findTextEncoding(encoding);
    QVERIFY(found);
    QCOMPARE(velvane::decodedStrictly(bytes, *found).value_or(QString()), strict);
    QCOMPARE(velvane::decodedLeniently(bytes, *found), lenient);
}

void EncodingTest::commandLine_data()
{
    QTest::addColumn<QString>("arguments"); // split at "|"; CUE stands for the sheet, OUT for a folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // a line expected on stdout, else the start of stderr's only line

    QTest::newRow("tracks, detected") << u"--tracks|CUE"_s << 0 << u"\"isOgg\": false, \"encoding\": \"KOI8-R\","_s;
    QTest::newRow("tracks, as asked")
        << u"--tracks|--encoding|cp1251|CUE"_s << 0
        << u"\"encoding\": \"windows-1251\",\n \"sheetAlbum\": {\"title\": \"\", \"albumArtist\": \"уОЕЦБОБ\""_s;
    QTest::newRow("tracks, unknown") << u"--tracks|--encoding|klingon|CUE"_s << 2
                                     << u"velvane-split: Unknown encoding \"klingon\"; known are windows-1252, "_s;
    QTest::newRow("split, unknown") << u"CUE|--encoding|klingon"_s << 2
                                    << u"Unknown encoding \"klingon\"; known are windows-1252, "_s;
    QTest::newRow("split, as asked") << u"CUE|--encoding|windows-1251|--dest|OUT"_s << 1
                                     << u"1 of 2: уОЕЦБОБ - уОЕЗПРБД.mp3 FAILED: "_s;
}

// --encoding reads the sheet as asked, for --tracks and for a split; a name it does not know is bad input.
void EncodingTest::commandLine()
{
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).canonicalPath();
    const QString sheet = u"PERFORMER \"Снежана\"\nFILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"Снегопад\"\n"
                          u"INDEX 01 00:00:00\nTRACK 02 AUDIO\nTITLE \"Метель\"\nINDEX 01 01:00:00\n"_s;
    const QString cue = folder + u"/зима.cue"_s;
    QVERIFY(velvane::test::writeFile(cue, encodedWithIconv(sheet, u"KOI8-R"_s)) &&
            velvane::test::writeFile(folder + u"/album.mp3"_s, "not audio"));

    // No piece is ever made.
    const QStringList words = arguments.replace(u"CUE"_s, cue).replace(u"OUT"_s, folder).split(u'|');
    const auto run = velvane::test::runSplit(words, {}, u"/nonexistent/mp3splt"_s);
    const QString out = QString::fromUtf8(run.out);
    const QString err = QString::fromUtf8(run.err);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 0)
        QVERIFY2(out.contains(output), qPrintable(out));
    else
        QVERIFY2(err.startsWith(output), qPrintable(err));
    if (exitCode == 2)
        QVERIFY2(out.isEmpty() && err.count(u'\n') == 1, qPrintable(err));
}

QTEST_GUILESS_MAIN(EncodingTest)
#include "tst_encoding.moc"
