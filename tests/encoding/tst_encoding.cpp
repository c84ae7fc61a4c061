#include "corpus.h"

#include "core/cue/cuereading.h"
#include "core/cue/cuetextdecoder.h"
#include "core/encoding/bytedecoding.h"
#include "core/encoding/encodingcatalog.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane::test;

class EncodingTest : public QObject
{
    Q_OBJECT
    QList<CorpusSheet> m_corpus;

private slots:

    void initTestCase()
    {
        QString error;
        m_corpus = loadCorpus(QStringLiteral(VELVANE_ENCODING_CORPUS), &error);
        QVERIFY2(!m_corpus.isEmpty(), qPrintable(error));
    }

    void corpus_data()
    {
        QTest::addColumn<QStringList>("tracks");
        QTest::addColumn<QByteArray>("bytes");
        for (const CorpusSheet &sheet : std::as_const(m_corpus)) {
            for (const QString &encoding : sheet.encodings) {
                const QString name = sheet.language + u": "_s + sheet.album + u" in "_s + encoding;
                const QByteArray bytes = encodedWithIconv(sheet.text, encoding);
                // Bytes that are UTF-8 too would leave nothing to detect.
                QVERIFY2(!bytes.isEmpty() && QString::fromUtf8(bytes).toUtf8() != bytes, qPrintable(name));
                QTest::newRow(name.toUtf8().constData()) << tracksOf(sheet.text) << bytes;
            }
        }
    }

    // Every sheet reads with its own words: the titles and performers of its tracks.
    void corpus()
    {
        QFETCH(QStringList, tracks);
        QFETCH(QByteArray, bytes);
        const velvane::DecodedCueText read = velvane::decodeCueText(bytes);
        QVERIFY2(tracksOf(read.text) == tracks, qPrintable(u"read as "_s + read.encoding + u": "_s + read.text));
        QVERIFY(read.candidates.contains(read.encoding));
    }

    // A stray byte costs one character, not the sheet's encoding; bytes that fit no encoding still read, as
    // Windows-1252.
    void damagedSheets()
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

    void longSheets_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoding");

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
    void longSheets()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        const QByteArray bytes = encodedWithIconv(text, encoding);
        QVERIFY(bytes.size() > 16 * 1024);
        const velvane::DecodedCueText read = velvane::decodeCueText(bytes);
        QCOMPARE(read.encoding, velvane::findTextEncoding(encoding)->name);
        QCOMPARE(read.text, text);
    }

    void chosenEncoding_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("strictlyRead"); // false: a byte maps to nothing, and a strict reading fails

        QTest::newRow("a legacy encoding by alias, against the detector")
            << u"CP-1251"_s << encodedWithIconv(u"TITLE \"Снегопад\""_s, u"KOI8-R"_s) << u"TITLE \"уОЕЗПРБД\""_s
            << u"windows-1251"_s << true;
        QTest::newRow("Shift_JIS keeps a backslash in a path")
            << u"sjis"_s << encodedWithIconv(u"FILE \"CD1\\夜.mp3\" MP3"_s, u"CP932"_s) << u"FILE \"CD1\\夜.mp3\" MP3"_s
            << u"Shift_JIS"_s << true;
        QTest::newRow("UTF-8 drops its BOM") << u"utf8"_s << QByteArray("\xEF\xBB\xBFTITLE \"\xC3\xA9t\xC3\xA9\"")
                                             << u"TITLE \"été\""_s << u"UTF-8"_s << true;
        QTest::newRow("UTF-8 on legacy bytes marks what it cannot read")
            << u"UTF-8"_s << QByteArray("TITLE \"\xE9t\xE9\"") << u"TITLE \"\uFFFDt\uFFFD\""_s << u"UTF-8"_s << false;
        // glibc's CP949 reports such an end as a bad sequence it has already read past; decoding went on beyond the
        // end of the bytes.
        QTest::newRow("a bad sequence at the very end")
            << u"CP949"_s << QByteArray("TITLE \"\xA2\xE8") << u"TITLE \"\uFFFD"_s << u"EUC-KR"_s << false;
        QTest::newRow("UTF-16 drops its BOM")
            << u"utf-16le"_s << QByteArray("\xFF\xFEO\0k\0", 6) << u"Ok"_s << u"UTF-16LE"_s << true;
        // Bytes Windows leaves undefined or to the user, which ICU maps to C1 controls and private use.
        QTest::newRow("windows-1251, undefined, the rest kept")
            << u"windows-1251"_s << QByteArray("a\x98") << u"a\uFFFD"_s << u"windows-1251"_s << false;
        QTest::newRow("Big5, the user's area")
            << u"Big5"_s << QByteArray("b\x81\x40") << u"b\uFFFD"_s << u"Big5"_s << false;
        QTest::newRow("ISO-8859-8, undefined")
            << u"ISO-8859-8"_s << QByteArray("\xa1") << u"\uFFFD"_s << u"ISO-8859-8"_s << false;
        QTest::newRow("Korean, Windows's extension")
            << u"EUC-KR"_s << QByteArray("\x81\x41") << u"갂"_s << u"EUC-KR"_s << true;
    }

    // The encoding the user names wins over detection, and is reported by its usual name; a byte that maps to nothing
    // becomes one U+FFFD, and makes a strict reading fail, so that detection passes the encoding over.
    void chosenEncoding()
    {
        QFETCH(QString, asked);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(bool, strictlyRead);
        const velvane::TextEncoding *encoding = velvane::findTextEncoding(asked);
        QVERIFY(encoding);
        const velvane::DecodedCueText read = velvane::decodeCueTextAs(bytes, *encoding);
        QCOMPARE(read.text, text);
        QCOMPARE(read.encoding, name);
        QCOMPARE(velvane::decodedStrictly(bytes, *encoding).has_value(), strictlyRead);
    }

    void commandLine_data()
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
    void commandLine()
    {
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QTemporaryDir dir;
        const QString cue = dir.filePath(u"зима.cue"_s);
        QVERIFY(writeFile(cue, encodedWithIconv(u"PERFORMER \"Снежана\"\nFILE \"album.mp3\" MP3\nTRACK 01 AUDIO\n"
                                                u"TITLE \"Снегопад\"\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n"
                                                u"TITLE \"Метель\"\nINDEX 01 01:00:00\n"_s,
                                                u"KOI8-R"_s)) &&
                writeFile(dir.filePath(u"album.mp3"_s), "not audio"));

        // No piece is ever made.
        const ToolRun run = runSplit(arguments.replace(u"CUE"_s, cue).replace(u"OUT"_s, dir.path()).split(u'|'), {},
                                     u"/nonexistent/mp3splt"_s);
        const QString text = QString::fromUtf8(exitCode ? run.err : run.out);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(exitCode ? text.startsWith(output) : text.contains(output), qPrintable(text));
        QVERIFY2(exitCode != 2 || (run.out.isEmpty() && text.count(u'\n') == 1), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(EncodingTest)
#include "tst_encoding.moc"
