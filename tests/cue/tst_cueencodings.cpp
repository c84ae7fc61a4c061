#include "cuetestsupport.h"

#include "core/cue/cuereading.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString sheetWith(const QString &albumPerformer, const QString &audio, const QStringList &titles, const QString &guest,
                  const QString &lineEnd)
{
    QStringList lines{u"PERFORMER \"%1\""_s.arg(albumPerformer), u"TITLE \"Album\""_s, u"FILE \"%1\" MP3"_s.arg(audio)};
    const QStringList starts{u"00:00:00"_s, u"04:45:20"_s, u"09:10:05"_s};
    for (qsizetype i = 0; i < titles.size(); ++i) {
        lines << u"  TRACK %1 AUDIO"_s.arg(i + 1, 2, 10, QChar(u'0')) << u"    TITLE \"%1\""_s.arg(titles.at(i));
        if (i == titles.size() - 1)
            lines << u"    PERFORMER \"%1\""_s.arg(guest);
        lines << u"    INDEX 01 %1"_s.arg(starts.at(i));
    }
    return lines.join(lineEnd) + lineEnd;
}

const QString russian =
    sheetWith(u"Кино"_s, u"Группа крови.mp3"_s, {u"Группа крови"_s, u"Закрой за мной дверь, я ухожу"_s, u"Война"_s},
              u"Виктор Цой"_s, u"\r\n"_s);
const QString japanese = sheetWith(u"宇多田ヒカル"_s, u"ファースト・ラブ.mp3"_s,
                                   {u"自動的に"_s, u"甘いワナ"_s, u"ファースト・ラブ"_s}, u"ひかる"_s, u"\r\n"_s);
const QString french = sheetWith(u"Édith Piaf"_s, u"Chansons françaises.mp3"_s,
                                 {u"La vie en rose"_s, u"Non, je ne regrette rien"_s, u"L’hymne à l’amour – été"_s},
                                 u"Édith Piaf & Théo Sarapo"_s, u"\r\n"_s);
// Beyond the BMP too, so the UTF-16 files carry surrogate pairs.
const QString mixed =
    sheetWith(u"Ñandú 🎸"_s, u"Café del Mar.mp3"_s, {u"Группа"_s, u"甘いワナ"_s, u"Señor 🎹"_s}, u"Zoë"_s, u"\n"_s);

QByteArray encoded(const QString &text, const char *encoding)
{
    QStringEncoder encoder(encoding);
    QByteArray bytes = encoder.encode(text);
    if (!encoder.isValid() || encoder.hasError())
        qFatal("the test sheet cannot be written as %s", encoding);
    return bytes;
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    [[maybe_unused]] const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace

class CueEncodingsTest : public QObject
{
    Q_OBJECT
private slots:
    void sameTracksAsUtf8Twin_data();
    void sameTracksAsUtf8Twin();
    void utf8ByteOrderMarkIsDropped();
    void onlyTheFirstByteOrderMarkIsDropped();
    void undetectableBytesReadAsWindows1252();
};

void CueEncodingsTest::sameTracksAsUtf8Twin_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("twin");
    QTest::addColumn<QString>("guestTitle");
    QTest::addColumn<bool>("legacy");

    QTest::newRow("UTF-8") << mixed.toUtf8() << mixed << u"Señor 🎹"_s << false;
    QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + mixed.toUtf8() << mixed << u"Señor 🎹"_s << false;
    QTest::newRow("UTF-16 LE with BOM") << "\xFF\xFE" + encoded(mixed, "UTF-16LE") << mixed << u"Señor 🎹"_s << false;
    QTest::newRow("UTF-16 BE with BOM") << "\xFE\xFF" + encoded(mixed, "UTF-16BE") << mixed << u"Señor 🎹"_s << false;
    QTest::newRow("Windows-1251 Russian") << encoded(russian, "windows-1251") << russian << u"Война"_s << true;
    QTest::newRow("Shift-JIS Japanese") << encoded(japanese, "Shift_JIS") << japanese << u"ファースト・ラブ"_s << true;
    QTest::newRow("Windows-1252 accents")
        << encoded(french, "windows-1252") << french << u"L’hymne à l’amour – été"_s << true;
}

void CueEncodingsTest::sameTracksAsUtf8Twin()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, twin);
    QFETCH(QString, guestTitle);
    QFETCH(bool, legacy);
    // Otherwise the legacy rows would pass through the UTF-8 path and prove nothing about detection.
    if (legacy)
        QVERIFY(!isValidUtf8(bytes));

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(u"encoded.cue"_s), bytes));
    QVERIFY(writeFile(dir.filePath(u"twin.cue"_s), twin.toUtf8()));

    const velvane::CueReading reading = velvane::readCueSheet(dir.filePath(u"encoded.cue"_s));
    const velvane::CueReading expected = velvane::readCueSheet(dir.filePath(u"twin.cue"_s));
    QCOMPARE(expected.tracks.size(), 3);
    QCOMPARE(expected.tracks.constLast().value(u"title"_s), guestTitle);
    QCOMPARE(reading.tracks, expected.tracks);
    QVERIFY(reading.audio);
    QCOMPARE(reading.audio->path, expected.audio->path);
}

// Kept, the mark would stand before the first keyword, and the album performer would go with it.
void CueEncodingsTest::utf8ByteOrderMarkIsDropped()
{
    const QStringList lines =
        velvane::linesInText(velvane::decodeCueSheet("\xEF\xBB\xBFPERFORMER \"Band\"\nFILE a.mp3\nTITLE \"A\"\n"));
    QCOMPARE(lines.constFirst(), u"PERFORMER \"Band\""_s);
    QCOMPARE(velvane::parseTrackLines(lines).constFirst().value(u"performer"_s), u"Band"_s);
}

void CueEncodingsTest::onlyTheFirstByteOrderMarkIsDropped()
{
    QCOMPARE(velvane::decodeCueSheet("\xEF\xBB\xBF\xEF\xBB\xBFx"), u"\uFEFFx"_s);
    QCOMPARE(velvane::decodeCueSheet("\xFF\xFE\xFF\xFEx\0"_ba), u"\uFEFFx"_s);
    QCOMPARE(velvane::decodeCueSheet("\xFE\xFF\xFE\xFF\0x"_ba), u"\uFEFFx"_s);
}

// The detector has no answer for these; the five bytes Windows-1252 leaves undefined keep their values.
void CueEncodingsTest::undetectableBytesReadAsWindows1252()
{
    QCOMPARE(velvane::decodeCueSheet("\x81\x8D\x8F"), u"\u0081\u008D\u008F"_s);
}

QTEST_GUILESS_MAIN(CueEncodingsTest)
#include "tst_cueencodings.moc"
