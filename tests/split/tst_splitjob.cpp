#include "core/split/splitjob.h"
#include "support/audiofixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/vorbisfile.h>

using namespace Qt::StringLiterals;
using namespace velvane;
using velvane::test::AlbumFormat;

namespace {

// Whole frames of 1/75 s, so the cue times hit the track boundaries exactly.
const QList<double> durations{2.0, 1.6, 2.4};
const QStringList indexes{u"00:00:00"_s, u"00:02:00"_s, u"00:03:45"_s};

class RecordingProgress : public SplitProgress
{
public:
    void showProcessing(const QString &outputName) override { events << u"processing "_s + outputName; }
    void showProcessed(int done, int total) override { events << u"processed %1 of %2"_s.arg(done).arg(total); }
    void advanceBar() override { events << u"bar"_s; }
    bool stopRequested() const override { return stopAfter >= 0 && events.count(u"bar"_s) >= stopAfter; }

    QStringList events;
    int stopAfter = -1;
};

// Track 1 needs cleaning, track 3 has no title at all.
TrackList albumTracks()
{
    TrackList tracks;
    for (int i = 0; i < indexes.size(); ++i)
        tracks.append({{u"performer"_s, u"Some Band"_s}, {u"index"_s, indexes.at(i)}});
    tracks[0].insert(u"title"_s, u"Intro: Part 1/2"_s);
    tracks[1].insert(u"title"_s, u"Song"_s);
    return tracks;
}

QStringList expectedNames(const QString &extension, bool numbered)
{
    const QStringList bases{u"Some Band - Intro. Part 1.2."_s, u"Some Band - Song."_s, u"Some Band - ."_s};
    QStringList names;
    for (int i = 0; i < bases.size(); ++i)
        names << (numbered ? u"0%1 "_s.arg(i + 1) : QString()) + bases.at(i) + extension;
    return names;
}

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList expectedProgress(const QStringList &names)
{
    QStringList events;
    for (int i = 0; i < names.size(); ++i)
        events << u"processing "_s + names.at(i) << u"processed %1 of %2"_s.arg(i + 1).arg(names.size()) << u"bar"_s;
    return events;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The piece lasts as long as its track and holds its track's tone away from the cut edges.
void checkPiece(const QString &path, const velvane::test::Album &album, int track)
{
    const std::optional<double> seconds = velvane::test::durationSeconds(path);
    QVERIFY2(seconds, qPrintable(path));
    QVERIFY2(qAbs(*seconds - durations.at(track)) < 0.08,
             qPrintable(u"%1 lasts %2 s, not %3 s"_s.arg(path).arg(*seconds).arg(durations.at(track))));

    const std::optional<QList<qint16>> pcm = velvane::test::decodePcm(path);
    QVERIFY(pcm);
    const qsizetype edge = velvane::test::sampleRate / 5;
    QVERIFY(pcm->size() > 3 * edge);
    QCOMPARE(velvane::test::dominantTone(pcm->mid(edge, pcm->size() - 2 * edge), album.tones), album.tones.at(track));
}

void checkMp3Tags(const QString &path, const TrackEntry &entry, int number, const std::optional<QString> &genre)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    QVERIFY(file.isValid());
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
    QVERIFY2(tag && !tag->isEmpty(), qPrintable(path));
    QCOMPARE(QString::fromStdWString(tag->title().toWString()), entry.value(u"title"_s));
    QCOMPARE(QString::fromStdWString(tag->artist().toWString()), entry.value(u"performer"_s));
    QCOMPARE(QString::fromStdWString(tag->album().toWString()), u"Tönë Album"_s);
    QCOMPARE(tag->year(), 1999u);
    QCOMPARE(tag->track(), unsigned(number));
    const TagLib::ID3v2::FrameList trck = tag->frameList("TRCK");
    QVERIFY(!trck.isEmpty());
    QCOMPARE(QString::fromStdWString(trck.front()->toString().toWString()), u"%1/3"_s.arg(number));
    QCOMPARE(QString::fromStdWString(tag->genre().toWString()), genre.value_or(QString()));
}

void checkNoTags(const QString &path, bool isOgg)
{
    if (isOgg) {
        TagLib::Ogg::Vorbis::File file(QFile::encodeName(path).constData());
        QVERIFY(file.isValid());
        QVERIFY(file.tag()->title().isEmpty() && file.tag()->artist().isEmpty() && file.tag()->genre().isEmpty());
        return;
    }
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    QVERIFY(file.isValid());
    QVERIFY(!file.hasID3v2Tag() && !file.hasID3v1Tag());
}

struct Fixture
{
    QTemporaryDir dir;
    velvane::test::Album album;
    SplitSettings settings;
};

// The album in dir/music, cut into dir/out unless the test says otherwise.
bool makeFixture(Fixture &fixture, AlbumFormat format, const QString &baseName = u"album"_s)
{
    if (!fixture.dir.isValid() || !QDir(fixture.dir.path()).mkpath(u"music"_s) ||
        !QDir(fixture.dir.path()).mkpath(u"out"_s))
        return false;
    const auto album = velvane::test::makeAlbum(fixture.dir.filePath(u"music"_s), format, durations, baseName);
    if (!album)
        return false;
    fixture.album = *album;
    fixture.settings.tracks = albumTracks();
    fixture.settings.destination = fixture.dir.filePath(u"out"_s);
    fixture.settings.audioFile = album->path;
    fixture.settings.isOgg = format == AlbumFormat::Ogg;
    fixture.settings.year = 1999;
    fixture.settings.album = u"Tönë Album"_s;
    return true;
}

} // namespace

class SplitJobTest : public QObject
{
    Q_OBJECT

private slots:
    void splitsAndTags_data()
    {
        QTest::addColumn<AlbumFormat>("format");
        QTest::addColumn<bool>("numbered");
        QTest::addColumn<bool>("writeTags");
        QTest::addColumn<std::optional<QString>>("genre");
        QTest::newRow("mp3 cbr, numbered, tagged") << AlbumFormat::Mp3Cbr << true << true << std::optional(u"Techno"_s);
        QTest::newRow("mp3 vbr, tagged, no genre") << AlbumFormat::Mp3Vbr << false << true << std::optional<QString>();
        QTest::newRow("mp3 cbr, untagged") << AlbumFormat::Mp3Cbr << false << false << std::optional(u"Techno"_s);
        QTest::newRow("ogg, numbered, tags asked") << AlbumFormat::Ogg << true << true << std::optional(u"Techno"_s);
    }
    void splitsAndTags()
    {
        QFETCH(AlbumFormat, format);
        QFETCH(bool, numbered);
        QFETCH(bool, writeTags);
        QFETCH(std::optional<QString>, genre);
        Fixture fixture;
        QVERIFY(makeFixture(fixture, format));
        fixture.settings.numbered = numbered;
        fixture.settings.writeTags = writeTags;
        fixture.settings.genre = genre;
        const QByteArray albumHash = hashOf(fixture.album.path);

        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(fixture.settings, progress);

        const bool isOgg = format == AlbumFormat::Ogg;
        const QStringList names = expectedNames(isOgg ? u"ogg"_s : u"mp3"_s, numbered);
        for (const TrackOutcome &track : summary.tracks)
            QVERIFY2(track.ok, qPrintable(track.reason));
        QVERIFY(summary.allSucceeded());
        QCOMPARE(summary.tracks.size(), 3);
        QCOMPARE(summary.lastOutputName, names.last());
        QCOMPARE(progress.events, expectedProgress(names));

        QStringList sorted = names;
        sorted.sort();
        QCOMPARE(entriesOf(fixture.settings.destination), sorted);
        QCOMPARE(hashOf(fixture.album.path), albumHash);
        QCOMPARE(entriesOf(fixture.dir.filePath(u"music"_s)), QStringList{QFileInfo(fixture.album.path).fileName()});

        for (int i = 0; i < names.size(); ++i) {
            const QString path = QDir(fixture.settings.destination).filePath(names.at(i));
            QCOMPARE(summary.tracks.at(i).outputPath, path);
            checkPiece(path, fixture.album, i);
            if (writeTags && !isOgg)
                checkMp3Tags(path, fixture.settings.tracks.at(i), i + 1, genre);
            else
                checkNoTags(path, isOgg);
        }
    }

    // Nothing that stands in the destination is replaced: not the user's own out.mp3, not a file with an output
    // name, not an album that is itself called out.mp3.
    void takenNamesUntouched_data()
    {
        QTest::addColumn<QString>("albumName");
        QTest::addColumn<bool>("albumInDestination");
        QTest::newRow("user files") << u"album"_s << false;
        QTest::newRow("album named out.mp3") << u"out"_s << true;
    }
    void takenNamesUntouched()
    {
        QFETCH(QString, albumName);
        QFETCH(bool, albumInDestination);
        Fixture fixture;
        QVERIFY(makeFixture(fixture, AlbumFormat::Mp3Cbr, albumName));
        if (albumInDestination)
            fixture.settings.destination = fixture.dir.filePath(u"music"_s);
        const QString destination = fixture.settings.destination;
        fixture.settings.numbered = true;
        fixture.settings.writeTags = true;
        const QStringList names = expectedNames(u"mp3"_s, true);
        if (!albumInDestination)
            writeFile(QDir(destination).filePath(u"out.mp3"_s), "my own out.mp3");
        writeFile(QDir(destination).filePath(names.at(1)), "my own track 2");
        const QByteArray albumHash = hashOf(fixture.album.path);

        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(fixture.settings, progress);
        QVERIFY2(summary.allSucceeded(), qPrintable(failureSentence(summary)));

        QCOMPARE(hashOf(fixture.album.path), albumHash);
        if (!albumInDestination)
            QCOMPARE(readFile(QDir(destination).filePath(u"out.mp3"_s)), QByteArray("my own out.mp3"));
        QCOMPARE(readFile(QDir(destination).filePath(names.at(1))), QByteArray("my own track 2"));
        const QString second = QDir(destination).filePath(u"02 Some Band - Song (2).mp3"_s);
        QCOMPARE(summary.tracks.at(1).outputPath, second);
        checkPiece(second, fixture.album, 1);
        checkPiece(QDir(destination).filePath(names.at(0)), fixture.album, 0);
        checkPiece(QDir(destination).filePath(names.at(2)), fixture.album, 2);
        QCOMPARE(entriesOf(destination).size(), 5);

        // A second job into the same folder keeps every first piece and adds the next free names.
        const SplitSummary again = runSplitJob(fixture.settings, progress);
        QVERIFY2(again.allSucceeded(), qPrintable(failureSentence(again)));
        QCOMPARE(again.tracks.at(0).outputPath,
                 QDir(destination).filePath(u"01 Some Band - Intro. Part 1.2 (2).mp3"_s));
        QCOMPARE(again.tracks.at(1).outputPath, QDir(destination).filePath(u"02 Some Band - Song (3).mp3"_s));
        QCOMPARE(entriesOf(destination).size(), 8);
        QCOMPARE(hashOf(fixture.album.path), albumHash);
    }

    // Whatever goes wrong, every track is counted, reported and the bar ends full; no work folder is left.
    void everyTrackFails_data()
    {
        QTest::addColumn<QString>("splitter");
        QTest::addColumn<bool>("writeTags");
        QTest::addColumn<bool>("destinationIsFile");
        QTest::newRow("splitter missing, tags") << u"/nonexistent/mp3splt"_s << true << false;
        QTest::newRow("splitter missing, no tags") << u"/nonexistent/mp3splt"_s << false << false;
        QTest::newRow("destination is a file") << QString() << true << true;
    }
    void everyTrackFails()
    {
        QFETCH(QString, splitter);
        QFETCH(bool, writeTags);
        QFETCH(bool, destinationIsFile);
        Fixture fixture;
        QVERIFY(makeFixture(fixture, AlbumFormat::Mp3Cbr));
        fixture.settings.writeTags = writeTags;
        if (destinationIsFile) {
            fixture.settings.destination = fixture.dir.filePath(u"plain"_s);
            writeFile(fixture.settings.destination, "not a folder");
        }
        const QByteArray saved = qgetenv("VELVANE_MP3SPLT");
        if (!splitter.isEmpty())
            qputenv("VELVANE_MP3SPLT", QFile::encodeName(splitter));
        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(fixture.settings, progress);
        qputenv("VELVANE_MP3SPLT", saved);

        QCOMPARE(summary.failedNumbers(), (QList<int>{1, 2, 3}));
        for (const TrackOutcome &track : summary.tracks)
            QVERIFY(!track.reason.isEmpty());
        QCOMPARE(failureSentence(summary), u"3 of 3 tracks failed: tracks 1, 2 and 3."_s);
        QCOMPARE(progress.events, expectedProgress(expectedNames(u"mp3"_s, false)));
        if (destinationIsFile)
            QCOMPARE(readFile(fixture.settings.destination), QByteArray("not a folder"));
        else
            QVERIFY(entriesOf(fixture.settings.destination).isEmpty());
        QCOMPARE(entriesOf(fixture.dir.filePath(u"music"_s)), QStringList{u"album.mp3"_s});
    }

    // Quitting mid-job: the track under way is finished, the rest count as failed, the work folder goes.
    void stopBetweenTracks()
    {
        Fixture fixture;
        QVERIFY(makeFixture(fixture, AlbumFormat::Ogg));
        RecordingProgress progress;
        progress.stopAfter = 1;
        const SplitSummary summary = runSplitJob(fixture.settings, progress);
        QCOMPARE(summary.tracks.size(), 3);
        QVERIFY(summary.tracks.at(0).ok);
        QCOMPARE(summary.failedNumbers(), (QList<int>{2, 3}));
        QCOMPARE(progress.events, expectedProgress(expectedNames(u"ogg"_s, false)).mid(0, 3));
        QCOMPARE(entriesOf(fixture.settings.destination), QStringList{expectedNames(u"ogg"_s, false).at(0)});
    }

    void emptyListDoesNothing()
    {
        QTemporaryDir dir;
        SplitSettings settings;
        settings.destination = dir.path();
        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(settings, progress);
        QVERIFY(summary.tracks.isEmpty() && summary.allSucceeded());
        QVERIFY(progress.events.isEmpty());
        QVERIFY(entriesOf(dir.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(SplitJobTest)
#include "tst_splitjob.moc"
