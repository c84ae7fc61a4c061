#include "core/split/outputname.h"
#include "core/split/splitjob.h"
#include "support/audiofixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

namespace {

// Whole frames of 1/75 s, so the cue times fall on the track boundaries.
const QList<double> durations{2.0, 1.6, 2.4};

class RecordingProgress : public SplitProgress
{
public:
    void showProcessing(const QString &name) override { events << name; }
    void showProcessed(int done, int total) override { events << u"%1/%2"_s.arg(done).arg(total); }
    void advanceBar() override { events << u"bar"_s; }
    QStringList events;
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class SplitJobTest : public QObject
{
    Q_OBJECT

private slots:
    void outputNames()
    {
        // Number (0: not numbered), title, name. Blank runs are halved, a "*" counting as one blank.
        const QList<std::tuple<int, QString, QString>> rows{
            {9, u"Song"_s, u"09 Some Band - Song"_s},
            {10, u"Song"_s, u"10 Some Band - Song"_s},
            {100, u"Song"_s, u"100 Some Band - Song"_s},
            {0, u"Intro: Take 1/2"_s, u"Some Band - Intro. Take 1.2"_s},
            {0, u"back\\slash\t A   B**C"_s, u"Some Band - back.slash A  B C"_s},
            {0, u" \"Où?\" "_s, u"Some Band -  \"Où?\" "_s}};
        for (const auto &[number, title, name] : rows)
            QCOMPARE(outputName(number ? number : 12, {{u"performer"_s, u"Some Band"_s}, {u"title"_s, title}}, u"mp3"_s,
                                number != 0),
                     name + u".mp3"_s);
    }

    void startTimes()
    {
        // Start times ("-": no index at all, "1 07:31:05": the index number left in), first offender (0: none).
        const QList<std::pair<QStringList, int>> rows{{{u"00:10:00"_s, u"03:25:50"_s, u"123:04:74"_s}, 0},
                                                      {{u"00:00:00"_s, u"-"_s, u"07:01:00"_s}, 2},
                                                      {{u"00:00:00"_s, u"1 07:31:05"_s}, 2},
                                                      {{u"00:60:00"_s}, 1},
                                                      {{u"00:00:00"_s, u"01:00:75"_s}, 2},
                                                      {{u"03.25.50"_s}, 1},
                                                      {{u"00:00:00"_s, u"01:00:00"_s, u"01:00:00"_s}, 3}};
        for (const auto &[times, offender] : rows) {
            TrackList tracks;
            for (const QString &time : times)
                tracks.append(time == u"-" ? TrackEntry{} : TrackEntry{{u"index"_s, time}});
            const std::optional<QString> problem = checkStartTimes(tracks);
            QVERIFY2(offender ? problem.value_or(QString()).contains(u"track %1"_s.arg(offender), Qt::CaseInsensitive)
                              : !problem,
                     qPrintable(times.join(u' ')));
        }
    }

    // Each piece holds its track, tagged for MP3 only. Every track is shown and counted, failed or not, and the bar
    // ends full. The album and the files already in the destination are left as they were, a taken name sending the
    // piece to the next free one, and no work folder is left behind.
    void splits_data()
    {
        QTest::addColumn<AlbumFormat>("format");
        QTest::addColumn<bool>("options");        // numbered, with a genre
        QTest::addColumn<QByteArray>("splitter"); // empty: the real one
        QTest::newRow("mp3 cbr, options") << AlbumFormat::Mp3Cbr << true << QByteArray();
        QTest::newRow("mp3 vbr, no options") << AlbumFormat::Mp3Vbr << false << QByteArray();
        QTest::newRow("ogg, tags") << AlbumFormat::Ogg << true << QByteArray();
        QTest::newRow("splitter missing") << AlbumFormat::Mp3Cbr << false << "/nonexistent/mp3splt"_ba;
    }
    void splits()
    {
        QFETCH(AlbumFormat, format);
        QFETCH(bool, options);
        QFETCH(QByteArray, splitter);
        QTemporaryDir dir;
        const QDir destination(dir.filePath(u"out"_s));
        const auto album = destination.mkpath(u"."_s) ? makeAlbum(dir.path(), format, durations) : std::nullopt;
        QVERIFY(album);
        const TrackList tracks{
            {{u"performer"_s, u"Some Band"_s}, {u"index"_s, u"00:00:00"_s}, {u"title"_s, u"Intro: Take 1/2"_s}},
            {{u"performer"_s, u"Some Band"_s}, {u"index"_s, u"00:02:00"_s}, {u"title"_s, u"Song"_s}},
            {{u"performer"_s, u"Some Band"_s}, {u"index"_s, u"00:03:45"_s}}};
        const bool isOgg = format == AlbumFormat::Ogg;
        const std::optional<QString> genre = options ? std::optional(u"Techno"_s) : std::nullopt;
        // tracks, destination, audio file, Ogg, numbered, tags, year, album, genre
        const SplitSettings settings{tracks, destination.path(), album->path, isOgg, options, true,
                                     1999,   u"Tönë Album"_s,    genre};
        // Track 1 needs cleaning, track 3 has no title. Each is shown, counted and stepped on the bar in turn.
        QStringList expected, expectedProgress;
        for (const QString &title : {u"Intro. Take 1.2"_s, u"Song"_s, QString()}) {
            const QString number = options ? u"0%1 "_s.arg(expected.size() + 1) : QString();
            expected << number + u"Some Band - "_s + title + (isOgg ? u".ogg"_s : u".mp3"_s);
            expectedProgress << expected.last() << u"%1/3"_s.arg(expected.size()) << u"bar"_s;
        }
        const QByteArray albumBytes = contentOf(album->path);
        for (const QString &name : {u"out.mp3"_s, expected.at(1)})
            QVERIFY(QFile::copy(album->path, destination.filePath(name)));

        const QByteArray realSplitter = qgetenv("VELVANE_MP3SPLT");
        qputenv("VELVANE_MP3SPLT", splitter.isEmpty() ? realSplitter : splitter);
        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(settings, progress);
        qputenv("VELVANE_MP3SPLT", realSplitter);

        QCOMPARE(progress.events, expectedProgress);
        QCOMPARE(entriesOf(dir.path()), (QStringList{QFileInfo(album->path).fileName(), u"out"_s}));
        for (const QString &path : {album->path, destination.filePath(u"out.mp3"_s), destination.filePath(expected[1])})
            QCOMPARE(contentOf(path), albumBytes);
        QCOMPARE(failureSentence(summary), splitter.size() ? u"3 of 3 tracks failed: tracks 1, 2 and 3."_s : QString());
        QCOMPARE(entriesOf(destination.path()).size(), splitter.isEmpty() ? 5 : 2);
        if (!splitter.isEmpty())
            return;
        const QString genreTag = genre ? u"GENRE=%1\n"_s.arg(*genre) : QString();
        expected[1].insert(expected.at(1).lastIndexOf(u'.'), u" (2)"_s);
        for (int i = 0; i < expected.size(); ++i) {
            const QString path = destination.filePath(expected.at(i));
            QCOMPARE(summary.tracks.at(i).outputPath, path);
            // The piece lasts as long as its track and, away from the cuts, holds its track's tone.
            const auto seconds = durationSeconds(path);
            QVERIFY2(seconds && qAbs(*seconds - durations.at(i)) < 0.08, qPrintable(path));
            const auto pcm = decodePcm(path);
            const qsizetype edge = sampleRate / 5;
            QVERIFY(pcm && pcm->size() > 3 * edge);
            QCOMPARE(dominantTone(pcm->mid(edge, pcm->size() - 2 * edge), album->tones), album->tones[i]);
            const TagLib::FileRef file(QFile::encodeName(path).constData());
            QVERIFY(!file.isNull());
            const QString tags = QString::fromUtf8(file.file()->properties().toString().toCString(true));
            const QString title = QStringList{u"TITLE=Intro: Take 1/2\n"_s, u"TITLE=Song\n"_s, QString()}.at(i);
            // The same values in both formats; Vorbis comments keep the total in a field of its own.
            const QString number = isOgg ? u"TRACKNUMBER=%3\nTRACKTOTAL=3\n"_s : u"TRACKNUMBER=%3/3\n"_s;
            const QString expectedTags = u"ALBUM=Tönë Album\nARTIST=Some Band\nDATE=1999\n%1%2"_s + number;
            QCOMPARE(tags, expectedTags.arg(genreTag, title).arg(i + 1));
        }
    }
};

QTEST_GUILESS_MAIN(SplitJobTest)
#include "tst_splitjob.moc"
