#include "core/audio/filebytes.h"
#include "core/audio/id3size.h"
#include "core/audio/oggpage.h"
#include "support/audiofixture.h"
#include "support/files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

class ContainersTest : public QObject
{
    Q_OBJECT

private slots:
    void id3v2TagSizes_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<qint64>("size"); // -1: no tag
        QTest::newRow("v2.3") << QByteArray("ID3\x03\0\0\0\0\x02\x01", 10) << qint64(10 + 257);
        QTest::newRow("footer counted") << QByteArray("ID3\x04\0\x10\0\0\0\x05", 10) << qint64(10 + 5 + 10);
        QTest::newRow("high bits ignored") << QByteArray("ID3\x03\0\0\xff\xff\xff\xff", 10) << qint64(10 + 0x0FFFFFFF);
        QTest::newRow("version 0xFF") << QByteArray("ID3\xff\0\0\0\0\0\x01", 10) << qint64(-1);
        QTest::newRow("ID3v1") << QByteArray("TAGtitle..") << qint64(-1);
        QTest::newRow("short") << QByteArray("ID3\x03\0\0\0\0\0", 9) << qint64(-1);
    }
    void id3v2TagSizes()
    {
        QFETCH(QByteArray, header);
        QFETCH(qint64, size);
        QCOMPARE(id3v2TagSize(header).value_or(-1), size);
    }

    void id3v2TagsEnd()
    {
        const QByteArray first = QByteArray("ID3\x03\0\0\0\0\0\x02", 10) + "ab";
        const QByteArray second =
            QByteArray("ID3\x04\0\x10\0\0\0\x01", 10) + "c" + QByteArray("3DI\x04\0\x10\0\0\0\x01", 10);
        const QByteArray frame("\xff\xfb\x90\x00", 4);
        QCOMPARE(velvane::id3v2TagsEnd(frame), qint64(0));
        QCOMPARE(velvane::id3v2TagsEnd(first + second + frame), qint64(first.size() + second.size()));
    }

    void id3v2BodySizeRoundTrips()
    {
        for (const qint64 body : {0LL, 127LL, 128LL, 16383LL, 16384LL, 0x0FFFFFFFLL}) {
            QByteArray tag("ID3\x03\0\0\0\0\0\0", 10);
            setId3v2BodySize(tag, body);
            QVERIFY(!((tag[6] | tag[7] | tag[8] | tag[9]) & 0x80));
            QCOMPARE(id3v2TagSize(tag).value_or(-1), qint64(10 + body));
        }
    }

    void oggPageRoundTrips()
    {
        const QByteArray lacing("\xff\x03", 2), body = QByteArray(255, 'x') + "end";
        QByteArray made;
        appendOggPage(made, oggContinuedPacket | oggLastPage, 123456789012LL, 0xCAFEBABE, 7, lacing, body);
        const QByteArray data = "junk" + made + "more";
        const auto page = readOggPage(data, 4);
        QVERIFY(page);
        QCOMPARE((QList<qint64>{page->offset, page->flags, page->granule, page->serial, page->sequence, page->end()}),
                 (QList<qint64>{4, oggContinuedPacket | oggLastPage, 123456789012LL, 0xCAFEBABE, 7, 4 + made.size()}));
        QCOMPARE(page->lacing.toByteArray() + page->body.toByteArray(), lacing + body);
        QCOMPARE(page->bytes().toByteArray(), made);
        QVERIFY(page->crcHolds());

        // One bit anywhere but in the checksum itself breaks it, and the page written anew from its parts holds again.
        for (const qsizetype at : {qsizetype(5), qsizetype(14), made.size() - 1}) {
            QByteArray damaged = made;
            damaged[at] = char(damaged[at] ^ 0x10);
            QVERIFY2(!readOggPage(damaged, 0)->crcHolds(), qPrintable(QString::number(at)));
            const auto torn = readOggPage(damaged, 0);
            QByteArray mended;
            appendOggPage(mended, torn->flags, torn->granule, torn->serial, torn->sequence, torn->lacing, torn->body);
            QVERIFY(readOggPage(mended, 0)->crcHolds());
        }
    }

    void oggPagesRefused_data()
    {
        QTest::addColumn<QByteArray>("data");
        QByteArray page;
        appendOggPage(page, oggFirstPage, 0, 1, 0, QByteArray("\x05", 1), "hello");
        QTest::newRow("torn body") << page.chopped(1);
        QTest::newRow("torn lacing") << page.first(oggPageHeaderSize);
        QTest::newRow("torn header") << page.first(oggPageHeaderSize - 1);
        QTest::newRow("unknown version") << QByteArray(page).replace(4, 1, "\1");
        QTest::newRow("no capture pattern") << QByteArray("Oggs") + page.sliced(4);
    }
    void oggPagesRefused()
    {
        QFETCH(QByteArray, data);
        QVERIFY(!readOggPage(data, 0));
    }

    // The checksum and the page layout as a real encoder writes them, over a whole file.
    void oggEncoderPagesPassTheirCrc()
    {
        QTemporaryDir dir;
        const auto album = makeMusicOgg(dir.path(), OggEncoder::Oggenc, {1.5, 1.0});
        QVERIFY(album);
        const FileBytes file(album->path);
        quint32 pages = 0;
        quint8 flagsSeen = 0;
        for (qint64 at = 0; at < file.data().size(); ++pages) {
            const auto page = readOggPage(file.data(), at);
            QVERIFY2(page && page->crcHolds() && page->sequence == pages, qPrintable(u"page %1"_s.arg(pages)));
            flagsSeen |= page->flags;
            at = page->end();
        }
        QVERIFY(pages > 3);
        QCOMPARE(flagsSeen & (oggFirstPage | oggLastPage), oggFirstPage | oggLastPage);
    }

    // The checksum against one worked out bit by bit, at every length around the 16 and 64 bytes taken at a time
    // where the processor can multiply without carries, and with the page's own checksum field taken as zero.
    void oggCrcAtEveryLength()
    {
        QByteArray page(600, Qt::Uninitialized);
        for (qsizetype i = 0; i < page.size(); ++i)
            page[i] = char(i * 7919 % 251);
        quint32 expected = 0;
        for (qsizetype n = 0; n < page.size(); ++n) {
            expected ^= quint32(n >= 22 && n < 26 ? 0 : uchar(page[n])) << 24;
            for (int bit = 0; bit < 8; ++bit)
                expected = expected & 0x80000000u ? (expected << 1) ^ 0x04C11DB7u : expected << 1;
            if (n >= 26)
                QCOMPARE(oggPageCrc(QByteArrayView(page).first(n + 1)), expected);
        }
    }

    void fileBytes()
    {
        QTemporaryDir dir;
        const QByteArray bytes = QByteArray(100000, 'a') + "z";
        QVERIFY(writeFile(dir.filePath(u"empty"_s), {}) && writeFile(dir.filePath(u"full"_s), bytes));
        for (const QString &nothing : {u"missing"_s, u"empty"_s, QString()})
            QVERIFY(FileBytes(dir.filePath(nothing)).isEmpty());
        QCOMPARE(FileBytes(dir.filePath(u"full"_s)).data().toByteArray(), bytes);
    }
};

QTEST_GUILESS_MAIN(ContainersTest)
#include "tst_containers.moc"
