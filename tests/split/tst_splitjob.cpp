#include "core/split/outputname.h"
#include "core/split/piecemove.h"
#include "core/split/splitjob.h"
#include "support/audiofixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/vorbisfile.h>

using namespace Qt::StringLiterals;
using namespace velvane;
using velvane::test::AlbumFormat;

namespace {

// Whole frames of 1/75 s, so the cue times fall on the track boundaries.
const QList<double> durations{2.0, 1.6, 2.4};
const QStringList indexes{u"00:00:00"_s, u"00:02:00"_s, u"00:03:45"_s};

class RecordingProgress : public SplitProgress
{
public:
    void showProcessing(const QString &name) override { events << u"processing "_s + name; }
    void showProcessed(int done, int total) override { events << u"%1 of %2"_s.arg(done).arg(total); }
    void advanceBar() override { events << u"bar"_s; }
    bool stopRequested() const override { return stopAfter >= 0 && events.count(u"bar"_s) >= stopAfter; }
    QStringList events;
    int stopAfter = -1;
};

QStringList expectedProgress(const QStringList &names)
{
    QStringList events;
    for (int i = 0; i < names.size(); ++i)
        events << u"processing "_s + names.at(i) << u"%1 of %2"_s.arg(i + 1).arg(names.size()) << u"bar"_s;
    return events;
}

// Track 1 needs cleaning, track 3 has no title at all.
QStringList names(const QString &extension, bool numbered)
{
    const QStringList bases{u"Some Band - Intro. Part 1.2."_s, u"Some Band - Song."_s, u"Some Band - ."_s};
    QStringList result;
    for (int i = 0; i < bases.size(); ++i)
        result << (numbered ? u"0%1 "_s.arg(i + 1) : QString()) + bases.at(i) + extension;
    return result;
}

QByteArray contentOf(const QString &path, bool hashed = false)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return hashed ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256) : file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString text(const TagLib::String &value)
{
    return QString::fromStdWString(value.toWString());
}

// The piece lasts as long as its track and, away from the cuts, holds its track's tone.
void checkPiece(const QString &path, const velvane::test::Album &album, int track)
{
    const auto seconds = velvane::test::durationSeconds(path);
    QVERIFY2(seconds && qAbs(*seconds - durations.at(track)) < 0.08, qPrintable(path));
    const auto pcm = velvane::test::decodePcm(path);
    const qsizetype edge = velvane::test::sampleRate / 5;
    QVERIFY(pcm && pcm->size() > 3 * edge);
    QCOMPARE(velvane::test::dominantTone(pcm->mid(edge, pcm->size() - 2 * edge), album.tones), album.tones.at(track));
}

struct Fixture
{
    QTemporaryDir dir;
    velvane::test::Album album;
    SplitSettings settings;

    // The album in dir/music, cut into dir/out.
    bool make(AlbumFormat format, const QString &baseName = u"album"_s)
    {
        if (!QDir(dir.path()).mkpath(u"music"_s) || !QDir(dir.path()).mkpath(u"out"_s))
            return false;
        const auto made = velvane::test::makeAlbum(dir.filePath(u"music"_s), format, durations, baseName);
        if (!made)
            return false;
        album = *made;
        for (const QString &index : indexes)
            settings.tracks.append({{u"performer"_s, u"Some Band"_s}, {u"index"_s, index}});
        settings.tracks[0].insert(u"title"_s, u"Intro: Part 1/2"_s);
        settings.tracks[1].insert(u"title"_s, u"Song"_s);
        settings.destination = dir.filePath(u"out"_s);
        settings.audioFile = album.path;
        settings.isOgg = format == AlbumFormat::Ogg;
        settings.year = 1999;
        settings.album = u"Tönë Album"_s;
        return true;
    }
};

} // namespace

class SplitJobTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanedFilename_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QList<std::pair<QString, QString>> rows{{u"AC/DC"_s, u"AC.DC"_s},
                                                      {u"Intro: Part 1/2"_s, u"Intro. Part 1.2"_s},
                                                      {u"back\\slash"_s, u"back.slash"_s},
                                                      {u"A\tB"_s, u"A B"_s},
                                                      {u"A  B"_s, u"A B"_s},
                                                      {u"A   B"_s, u"A  B"_s},
                                                      {u"A    B"_s, u"A  B"_s},
                                                      {u"A     B"_s, u"A   B"_s},
                                                      {u"A\t B"_s, u"A B"_s},
                                                      {u"A*B"_s, u"A B"_s},
                                                      {u"A**B"_s, u"A B"_s},
                                                      {u" \"Où?\" "_s, u" \"Où?\" "_s}};
        for (const auto &[text, expected] : rows)
            QTest::newRow(qPrintable(text)) << text << expected;
    }
    void cleanedFilename()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(velvane::cleanedFilename(text), expected);
    }

    void outputNumbers()
    {
        const TrackEntry song{{u"performer"_s, u"Some Band"_s}, {u"title"_s, u"Song"_s}};
        QCOMPARE(outputName(9, song, u"mp3"_s, true), u"09 Some Band - Song.mp3"_s);
        QCOMPARE(outputName(10, song, u"ogg"_s, true), u"10 Some Band - Song.ogg"_s);
        QCOMPARE(outputName(100, song, u"mp3"_s, true), u"100 Some Band - Song.mp3"_s);
        QCOMPARE(outputName(12, song, u"mp3"_s, false), u"Some Band - Song.mp3"_s);
    }

    void startTimes_data()
    {
        QTest::addColumn<QStringList>("times"); // "-": no "index" at all
        QTest::addColumn<int>("offender");      // 0: accepted
        QTest::newRow("good") << QStringList{u"00:10:00"_s, u"03:25:50"_s, u"123:04:74"_s} << 0;
        QTest::newRow("missing") << QStringList{u"00:00:00"_s, u"-"_s, u"07:01:00"_s} << 2;
        QTest::newRow("empty") << QStringList{u"00:00:00"_s, QString()} << 2;
        QTest::newRow("index number kept") << QStringList{u"00:00:00"_s, u"1 07:31:05"_s} << 2;
        QTest::newRow("seconds 60") << QStringList{u"00:60:00"_s} << 1;
        QTest::newRow("frames 75") << QStringList{u"00:00:00"_s, u"01:00:75"_s} << 2;
        QTest::newRow("dots") << QStringList{u"03.25.50"_s} << 1;
        QTest::newRow("equal") << QStringList{u"00:00:00"_s, u"01:00:00"_s, u"01:00:00"_s} << 3;
        QTest::newRow("backwards") << QStringList{u"00:00:00"_s, u"05:00:00"_s, u"04:59:74"_s} << 3;
    }
    void startTimes()
    {
        QFETCH(QStringList, times);
        QFETCH(int, offender);
        TrackList tracks;
        for (const QString &time : times)
            tracks.append(time == u"-" ? TrackEntry{} : TrackEntry{{u"index"_s, time}});
        const std::optional<QString> problem = checkStartTimes(tracks);
        QCOMPARE(bool(problem), offender != 0);
        if (problem)
            QVERIFY2(problem->contains(u"track %1"_s.arg(offender), Qt::CaseInsensitive), qPrintable(*problem));
    }

    void splitsAndTags_data()
    {
        QTest::addColumn<AlbumFormat>("format");
        QTest::addColumn<bool>("numbered");
        QTest::addColumn<bool>("writeTags");
        QTest::addColumn<QString>("genre"); // empty: none chosen
        QTest::newRow("mp3 cbr, numbered, tagged") << AlbumFormat::Mp3Cbr << true << true << u"Techno"_s;
        QTest::newRow("mp3 vbr, tagged, no genre") << AlbumFormat::Mp3Vbr << false << true << QString();
        QTest::newRow("mp3 cbr, untagged") << AlbumFormat::Mp3Cbr << false << false << u"Techno"_s;
        QTest::newRow("ogg, tags asked") << AlbumFormat::Ogg << true << true << u"Techno"_s;
    }
    void splitsAndTags()
    {
        QFETCH(AlbumFormat, format);
        QFETCH(bool, numbered);
        QFETCH(bool, writeTags);
        QFETCH(QString, genre);
        Fixture fixture;
        QVERIFY(fixture.make(format));
        fixture.settings.numbered = numbered;
        fixture.settings.writeTags = writeTags;
        if (!genre.isEmpty())
            fixture.settings.genre = genre;
        const QByteArray albumHash = contentOf(fixture.album.path, true);

        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(fixture.settings, progress);

        const bool isOgg = format == AlbumFormat::Ogg;
        const QStringList expected = names(isOgg ? u"ogg"_s : u"mp3"_s, numbered);
        QVERIFY2(summary.allSucceeded(), qPrintable(failureSentence(summary)));
        QCOMPARE(summary.lastOutputName, expected.last());
        QCOMPARE(progress.events, expectedProgress(expected));
        QStringList sorted = expected;
        sorted.sort();
        QCOMPARE(entriesOf(fixture.settings.destination), sorted); // no work folder left behind
        QCOMPARE(contentOf(fixture.album.path, true), albumHash);

        for (int i = 0; i < expected.size(); ++i) {
            const QString path = QDir(fixture.settings.destination).filePath(expected.at(i));
            QCOMPARE(summary.tracks.at(i).outputPath, path);
            checkPiece(path, fixture.album, i);
            if (isOgg) {
                TagLib::Ogg::Vorbis::File file(QFile::encodeName(path).constData());
                QVERIFY(file.isValid() && file.tag()->isEmpty());
                continue;
            }
            TagLib::MPEG::File file(QFile::encodeName(path).constData());
            QCOMPARE(file.hasID3v2Tag(), writeTags);
            if (!writeTags)
                continue;
            const TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
            QCOMPARE(text(tag->title()), fixture.settings.tracks.at(i).value(u"title"_s));
            QCOMPARE(text(tag->artist()), u"Some Band"_s);
            QCOMPARE(text(tag->album()), u"Tönë Album"_s);
            QCOMPARE(tag->year(), 1999u);
            QCOMPARE(text(tag->frameList("TRCK").front()->toString()), u"%1/3"_s.arg(i + 1));
            QCOMPARE(text(tag->genre()), genre);
        }
    }

    // Nothing standing in the destination is replaced: the user's out.mp3, a file with an output name, an album
    // itself called out.mp3. A taken name sends the piece to the next free one.
    void takenNamesUntouched_data()
    {
        QTest::addColumn<QString>("albumName");
        QTest::newRow("user's files") << u"album"_s;
        QTest::newRow("album named out.mp3") << u"out"_s;
    }
    void takenNamesUntouched()
    {
        QFETCH(QString, albumName);
        Fixture fixture;
        QVERIFY(fixture.make(AlbumFormat::Mp3Cbr, albumName));
        QDir destination(fixture.settings.destination);
        if (albumName == u"out")
            destination.setPath(fixture.settings.destination = fixture.dir.filePath(u"music"_s));
        else
            writeFile(destination.filePath(u"out.mp3"_s), "my out.mp3");
        fixture.settings.writeTags = true;
        writeFile(destination.filePath(u"Some Band - Song.mp3"_s), "my song");
        const QByteArray albumHash = contentOf(fixture.album.path, true);

        RecordingProgress progress;
        for (int job = 1; job <= 2; ++job)
            QVERIFY2(runSplitJob(fixture.settings, progress).allSucceeded(), qPrintable(QString::number(job)));

        QCOMPARE(contentOf(fixture.album.path, true), albumHash);
        if (albumName != u"out")
            QCOMPARE(contentOf(destination.filePath(u"out.mp3"_s)), QByteArray("my out.mp3"));
        QCOMPARE(contentOf(destination.filePath(u"Some Band - Song.mp3"_s)), QByteArray("my song"));
        checkPiece(destination.filePath(u"Some Band - Song (2).mp3"_s), fixture.album, 1);
        checkPiece(destination.filePath(u"Some Band - Song (3).mp3"_s), fixture.album, 1);
        checkPiece(destination.filePath(u"Some Band - Intro. Part 1.2 (2).mp3"_s), fixture.album, 0);
        QCOMPARE(entriesOf(destination.path()).size(), 8);
    }

    // Whatever goes wrong, every track is counted and named, and the bar ends full.
    void everyTrackFails_data()
    {
        QTest::addColumn<bool>("writeTags");
        QTest::addColumn<bool>("destinationIsFile");
        QTest::newRow("splitter missing, tags") << true << false;
        QTest::newRow("splitter missing, no tags") << false << false;
        QTest::newRow("destination is a file") << true << true;
    }
    void everyTrackFails()
    {
        QFETCH(bool, writeTags);
        QFETCH(bool, destinationIsFile);
        Fixture fixture;
        QVERIFY(fixture.make(AlbumFormat::Mp3Cbr));
        fixture.settings.writeTags = writeTags;
        if (destinationIsFile)
            writeFile(fixture.settings.destination = fixture.dir.filePath(u"plain"_s), "not a folder");
        const QByteArray splitter = qgetenv("VELVANE_MP3SPLT");
        if (!destinationIsFile)
            qputenv("VELVANE_MP3SPLT", "/nonexistent/mp3splt");
        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(fixture.settings, progress);
        qputenv("VELVANE_MP3SPLT", splitter);

        QCOMPARE(failureSentence(summary), u"3 of 3 tracks failed: tracks 1, 2 and 3."_s);
        for (const TrackOutcome &track : summary.tracks)
            QVERIFY(!track.reason.isEmpty());
        QCOMPARE(progress.events, expectedProgress(names(u"mp3"_s, false)));
        if (!destinationIsFile)
            QVERIFY(entriesOf(fixture.settings.destination).isEmpty());
        QCOMPARE(entriesOf(fixture.dir.filePath(u"music"_s)), QStringList{u"album.mp3"_s});
    }

    // Quitting mid-job: the track under way is finished, the rest count as failed.
    void stopBetweenTracks()
    {
        Fixture fixture;
        QVERIFY(fixture.make(AlbumFormat::Ogg));
        RecordingProgress progress;
        progress.stopAfter = 1;
        const SplitSummary summary = runSplitJob(fixture.settings, progress);
        QCOMPARE(failureSentence(summary), u"2 of 3 tracks failed: tracks 2 and 3."_s);
        QCOMPARE(progress.events, expectedProgress(names(u"ogg"_s, false)).mid(0, 3));
        QCOMPARE(entriesOf(fixture.settings.destination), QStringList{names(u"ogg"_s, false).at(0)});
    }
};

QTEST_GUILESS_MAIN(SplitJobTest)
#include "tst_splitjob.moc"
