#include "components/tags/frontrewrite.h"
#include "core/audio/oggpage.h"
#include "core/split/librarytags.h"
#include "core/split/outputname.h"
#include "core/split/splitjob.h"
#include "support/audiofixture.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/flacpicture.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>
#include <taglib/xiphcomment.h>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

namespace {

class RecordingProgress : public SplitProgress
{
public:
    void showProcessing(const QString &name) override { events << name; }
    void showProcessed(int done, int total) override { events << u"%1/%2"_s.arg(done).arg(total); }
    void advanceBar() override { events << u"bar"_s; }
    QStringList events;
};

// A job over the album (Ogg Vorbis or MP3, by its name) with one track per cue time, titled "Track n" by "Band".
SplitSettings job(const QString &album, const QString &destination, const QList<qint64> &starts, bool tags)
{
    SplitSettings settings;
    settings.destination = destination;
    settings.audioFile = album;
    settings.format = album.endsWith(u".ogg"_s) ? AudioFormat::Ogg : AudioFormat::Mp3;
    settings.writeTags = tags;
    settings.album = u"Record"_s;
    for (qsizetype i = 0; i < starts.size(); ++i)
        settings.tracks.append({{u"performer"_s, u"Band"_s},
                                {u"title"_s, u"Track %1"_s.arg(i + 1)},
                                {u"index"_s, test::cueTime(starts[i])}});
    return settings;
}

QByteArray md5(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

// The comments of every logical stream of an Ogg Vorbis file as "KEY=value" lines, a picture as "PICTURE=type md5".
// A stream's pages joined are its packets end to end, the comment packet second.
QStringList commentsOfEveryStream(const QByteArray &file)
{
    QMap<quint32, QByteArray> packets;
    for (auto page = readOggPage(file, 0); page; page = readOggPage(file, page->end()))
        packets[page->serial] += page->body.toByteArray();
    QStringList streams;
    for (const QByteArray &stream : std::as_const(packets)) {
        const qsizetype at = stream.indexOf("\x03vorbis") + 7;
        TagLib::Ogg::XiphComment comment(TagLib::ByteVector(stream.constData() + at, uint(stream.size() - at)));
        streams << QString::fromStdString(comment.properties().toString().to8Bit(true));
        for (const TagLib::FLAC::Picture *picture : comment.pictureList())
            streams.last() +=
                u"PICTURE=%1 "_s.arg(picture->type()) + md5({picture->data().data(), picture->data().size()});
    }
    return streams;
}

// One audio file of a layout: its name, format and track lengths, and where its tones start.
struct AudioFileLayout
{
    QString name;
    AlbumFormat format;
    QList<double> durations; // seconds, whole 1/75 s
    int firstTone;
};

} // namespace

class SplitJobTest : public QObject
{
    Q_OBJECT

private slots:
    // Separators and colons become ".", blank runs are halved ("*" counts as one), controls and bidirectional
    // overrides become "_"; numbers are zero-filled to the track count's digits. A name over 255 bytes is shortened
    // between characters, the title first, keeping the number, the extension and the " (n)" of a taken name.
    void names_data()
    {
        QTest::addColumn<int>("number"); // 0: not numbered
        QTest::addColumn<int>("trackCount");
        QTest::addColumn<QString>("performer");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<QString>("expected");
        const QString e(1, QChar(0x00E9)), band = u"Band"_s;
        QTest::newRow("7 of 100") << 7 << 100 << band << u"Song"_s << 1 << u"007 Band - Song.mp3"_s;
        QTest::newRow("no performer, taken") << 0 << 3 << QString() << u"Song"_s << 2 << u"Song (2).mp3"_s;
        QTest::newRow("neither") << 0 << 3 << QString() << QString() << 1 << u" - .mp3"_s;
        QTest::newRow("separators, tab and blanks") << 0 << 3 << band << u"Intro: Take 1/2 back\\slash\t A   B**C"_s
                                                    << 1 << u"Band - Intro. Take 1.2 back.slash A  B C.mp3"_s;
        QTest::newRow("controls and bidirectional overrides")
            << 0 << 3 << u"\u202EdnaB\u202C"_s << u"\u2066A\u2069\u007F\u009B1m\u202A\u202B\u202D\u2067\u2068"_s << 1
            << u"_dnaB_ - _A___1m_____.mp3"_s;
        QTest::newRow("title cut in two-byte letters")
            << 7 << 12 << band << e.repeated(150) << 2 << u"07 Band - "_s + e.repeated(118) + u" (2).mp3"_s;
        QTest::newRow("a combining accent stays with its letter") << 7 << 12 << band << e.repeated(120) + u"e\u0301zz"_s
                                                                  << 1 << u"07 Band - "_s + e.repeated(120) + u".mp3"_s;
        QTest::newRow("an emoji beside Gurmukhi is never cut in half")
            << 7 << 12 << band << u"\u0A38"_s + u"🎸"_s.repeated(70) << 1
            << u"07 Band - \u0A38"_s + u"🎸"_s.repeated(59) + u".mp3"_s;
        QTest::newRow("performer cut when the title is gone")
            << 7 << 12 << QString(300, u'p') << u"Song"_s << 3 << u"07 "_s + QString(241, u'p') + u" -  (3).mp3"_s;
    }
    void names()
    {
        QFETCH(int, number);
        QFETCH(int, trackCount);
        QFETCH(QString, performer);
        QFETCH(QString, title);
        QFETCH(int, attempt);
        QFETCH(QString, expected);
        const TrackEntry track{{u"performer"_s, performer}, {u"title"_s, title}};
        const OutputName name = outputNameParts(number, track, u"mp3"_s, number != 0, trackCount);
        QCOMPARE(name.fileName(attempt, 255), expected);
        // A folder that allows fewer bytes cuts the same name further, keeping its number and extension.
        const QString tight = name.fileName(attempt, 40);
        QVERIFY2(tight.toUtf8().size() <= 40 && tight.endsWith(u".mp3"_s) && tight.first(3) == expected.first(3),
                 qPrintable(tight));
    }

    // How libraries will group the album: its artist, whether it is a compilation, which disc of how many.
    void grouping_data()
    {
        QTest::addColumn<QString>("albumPerformer");
        QTest::addColumn<QStringList>("performers"); // one per track
        QTest::addColumn<QString>("disc");           // the sheet's "n/total"; empty: none
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected"); // "compilation" or "album", disc "n/total"
        const QStringList mixed{u"Ann"_s, u"Bob"_s, u"Ann"_s};
        QTest::newRow("VA, disc from the folder")
            << u" va "_s << mixed << QString() << u"Hits CD2"_s << u"compilation 2/0"_s;
        QTest::newRow("no album artist, disc 2 of 3 in the folder")
            << QString() << mixed << QString() << u"Hits (disc 2 of 3)"_s << u"compilation 2/3"_s;
        QTest::newRow("the sheet's disc wins over the folder's")
            << u"various"_s << mixed << u"1/2"_s << u"CD 2"_s << u"compilation 1/2"_s;
        QTest::newRow("an artist's album with guests")
            << u"Queen"_s << mixed << QString() << u"Disk3"_s << u"album 3/0"_s;
        QTest::newRow("one performer, differing in case and blanks")
            << QString() << QStringList{u"Ann"_s, u"ANN "_s, QString()} << QString() << u"Discovery 2"_s
            << u"album 0/0"_s;
        QTest::newRow("a total below the number") << u"Band"_s << mixed << u"3/2"_s << QString() << u"album 3/0"_s;
        QTest::newRow("names that only contain a disc word")
            << u"Various Artists Band"_s << mixed << QString() << u"ABCD2, CD22x, CD 0"_s << u"album 0/0"_s;
    }
    void grouping()
    {
        QFETCH(QString, albumPerformer);
        QFETCH(QStringList, performers);
        QFETCH(QString, disc);
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        SheetAlbum sheet;
        sheet.performer = albumPerformer;
        sheet.discNumber = disc.section(u'/', 0, 0).toInt();
        sheet.totalDiscs = disc.section(u'/', 1).toInt();
        TrackList tracks;
        for (const QString &performer : performers)
            tracks.append({{u"performer"_s, performer}});
        const AlbumGrouping grouping = albumGrouping(sheet, tracks, folder);
        QCOMPARE(u"%1 %2/%3"_s.arg(grouping.compilation ? u"compilation"_s : u"album"_s)
                     .arg(grouping.disc)
                     .arg(grouping.totalDiscs),
                 expected);
    }

    void sheetYear()
    {
        QCOMPARE(yearFromSheetDate(u" 1978-11-10"_s), 1978);
        for (const QString &date : {u"19781"_s, u"78"_s, u"Nov 1978"_s})
            QVERIFY2(!yearFromSheetDate(date), qPrintable(date));
    }

    // Each track is shown, then counted and stepped on the bar once, failed or not; a hidden track is not counted.
    void progress()
    {
        QTemporaryDir dir;
        const SplitSettings settings = job(dir.filePath(u"album.mp3"_s), dir.path(), {2250, 2325}, false);
        QVERIFY(test::writeFile(settings.audioFile, "no splitter ever reads this"));
        const test::SplitterOverride missing(u"/nonexistent/mp3splt"_s);
        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(settings, progress);
        QCOMPARE(progress.events.join(u',').remove(u"Band - "_s).remove(u".mp3"_s),
                 u"Pregap,Track 1,1/2,bar,Track 2,2/2,bar"_s);
        QCOMPARE(failureSentence(summary), u"3 of 3 tracks failed: tracks 0, 1 and 2."_s);
    }

    void oggPiecesAreTheirTracks_data()
    {
        QTest::addColumn<OggEncoder>("encoder");
        QTest::addColumn<QList<qint64>>("starts"); // cue frames; the album lasts 6 s
        QTest::addColumn<QByteArray>("splitter");  // the stand-in's shell code
        QTest::addColumn<QString>("failure");      // the start of track 2's reason; empty: every track is made
        // Overwrites the middle 40 % of the piece that starts at 2 s, keeping its size: in the run over every track
        // (which has a start at 0 s) or, with "alone", in the run for that track alone too.
        const auto damaging = [](const char *source, bool alone) {
            return QByteArray("case \" $* \" in *' 0.00.00 '*) bad=2.ogg;; *' 0.02.00 '*) bad=") +
                   (alone ? "1.ogg" : "none") +
                   ";; esac; EACH_PIECE if [ \"${f##*/}\" = \"$bad\" ]; then n=$(stat -c %s \"$f\"); dd if=" + source +
                   " of=\"$f\" bs=4096 iflag=count_bytes oflag=seek_bytes seek=$((n*3/10)) count=$((n*4/10)) "
                   "conv=notrunc status=none; fi END_EACH";
        };
        const QList<qint64> three{0, 150, 300};
        QTest::newRow("random bytes in the run over all, cut again")
            << OggEncoder::Oggenc << three << damaging("/dev/urandom", false) << QString();
        QTest::newRow("zeros every time") << OggEncoder::Oggenc << three << damaging("/dev/zero", true)
                                          << u"The splitter's piece is damaged from byte "_s;
        // Tracks of a second or less: the splitter's granule positions make their pieces play a block too much or
        // end early, most of all in one run, and some encoders' albums are cut late at every cue point.
        QTest::newRow("oggenc mono 22.05 kHz, cue points 0.5 s apart")
            << OggEncoder::OggencMono22k << QList<qint64>{0, 38, 75, 113, 150, 188, 225} << QByteArray() << QString();
        QTest::newRow("ffmpeg libvorbis, tracks of 0.6 s and 1 s")
            << OggEncoder::FfmpegLibvorbis << QList<qint64>{0, 150, 195, 270} << QByteArray() << QString();
    }

    // A track reported as made holds exactly its own audio: cut within 3.3 ms of its cue times, sample for sample
    // the album's, the last one to the album's end. One that cannot be made so fails, and says why.
    void oggPiecesAreTheirTracks()
    {
        QFETCH(OggEncoder, encoder);
        QFETCH(QList<qint64>, starts);
        QFETCH(QByteArray, splitter);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        const auto album = test::makeMusicOgg(dir.path(), encoder, {6.0});
        const auto whole = album ? test::decodeOgg(album->path) : std::nullopt;
        QVERIFY(whole && whole->frames() == album->totalSamples);
        const test::SplitterOverride standIn(splitter.isEmpty() ? qEnvironmentVariable("VELVANE_MP3SPLT")
                                                                : test::standInSplitter(dir.path(), splitter));

        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(job(album->path, dir.path(), starts, false), progress);
        QCOMPARE(summary.tracks.size(), starts.size());
        // The splitter takes times in hundredths, which puts a cut up to 1/300 s from its cue frame.
        const qint64 slack = whole->rate / 300 + 1;
        for (qsizetype i = 0; i < starts.size(); ++i) {
            const TrackOutcome &track = summary.tracks[i];
            QVERIFY2(track.ok == (i != 1 || failure.isEmpty()) && (track.ok || track.reason.startsWith(failure)),
                     qPrintable(track.reason));
            if (!track.ok)
                continue;
            const auto piece = test::decodeOgg(track.outputPath);
            const qint64 start = starts[i] * whole->rate / 75;
            const auto at = piece ? test::locate(*piece, *whole, start, slack) : std::nullopt;
            QVERIFY2(at, qPrintable(u"track %1 is not the album's audio near %2"_s.arg(i + 1).arg(start)));
            const qint64 end = i + 1 < starts.size() ? starts[i + 1] * whole->rate / 75 : whole->frames();
            const qint64 ends = *at + piece->frames();
            QVERIFY2(i + 1 < starts.size() ? qAbs(ends - end) <= slack : ends == end,
                     qPrintable(u"track %1 ends at %2, not %3"_s.arg(i + 1).arg(ends).arg(end)));
        }
    }

    // The room the splitter keeps in front of each piece takes every tag and a small cover, so that no piece is
    // written twice: one write a piece, over its room. (The splitter's options hold about 120,000 letters of room a
    // run, so larger covers go through the one-pass copy.)
    void everyTagFitsThePiecesRoom_data()
    {
        QTest::addColumn<AlbumFormat>("album");
        QTest::newRow("mp3") << AlbumFormat::Mp3Cbr;
        QTest::newRow("ogg") << AlbumFormat::Ogg;
    }
    void everyTagFitsThePiecesRoom()
    {
        QFETCH(AlbumFormat, album);
        QTemporaryDir dir;
        const auto made = test::makeAlbum(dir.path(), album, {1.5, 1.5, 1.5});
        QVERIFY(made);
        SplitSettings settings = job(made->path, dir.path(), {0, 113, 225}, true);
        const QString text(200, u'ü');
        settings.genre = text;
        settings.sheet = {text, u"Various Artists"_s, text, u"1978"_s, text, text, text, 2, 3, u"-8.12 dB"_s, u"1.0"_s};
        for (TrackEntry &track : settings.tracks) {
            track.insert(u"performer"_s, text + track.value(u"title"_s));
            for (const char16_t *key : {u"songwriter", u"isrc", u"replaygain_track_gain", u"replaygain_track_peak"})
                track.insert(QString::fromUtf16(key), text);
        }
        settings.cover = CoverImage{QByteArray(10000, 'c'), u"image/jpeg"_s, 500, 500};
        int writes = 0;
        setRewriteSeam({RewriteWay::Automatic, 0, [&writes](int) {
                            return ++writes, 0;
                        }});
        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(settings, progress);
        setRewriteSeam({});
        QCOMPARE(failureSentence(summary), QString());
        QCOMPARE(writes, 3);
    }

    // Each stream of a piece that spans the join of a chained file gets the track's comments, the album's and its
    // cover, and none of the splitter's.
    void chainedOggPieceIsTaggedInEveryStream()
    {
        QTemporaryDir dir;
        const auto first = test::makeMusicOgg(dir.path(), OggEncoder::Oggenc, {3.0}, u"first"_s);
        const auto second = test::makeMusicOgg(dir.path(), OggEncoder::Oggenc, {3.0}, u"second"_s);
        QVERIFY(first && second && QDir(dir.path()).mkdir(u"out"_s));
        const QString album = dir.filePath(u"album.ogg"_s);
        QVERIFY(test::writeFile(album, test::readFile(first->path) + test::readFile(second->path)));
        SplitSettings settings = job(album, dir.filePath(u"out"_s), {0, 150, 300}, true);
        settings.sheet.performer = u"Band"_s;
        settings.sheet.discNumber = 2;
        settings.tracks[1].insert(u"isrc"_s, u"GBAYE0000351"_s);
        const QByteArray picture = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(90000, 'p');
        settings.cover = CoverImage{picture, u"image/png"_s, 300, 300};
        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(settings, progress);
        QCOMPARE(failureSentence(summary), QString());
        const QString expected = u"ALBUM=Record\nALBUMARTIST=Band\nARTIST=Band\nDISCNUMBER=2\nISRC=GBAYE0000351\n"
                                 u"TITLE=Track 2\nTRACKNUMBER=2\nTRACKTOTAL=3\nPICTURE=3 %1"_s.arg(md5(picture));
        QCOMPARE(commentsOfEveryStream(test::readFile(summary.tracks[1].outputPath)), QStringList(2, expected));
    }

    // Sheets as rippers write them, cut with real audio: every track a piece, each from its own file and tagged as
    // named, and the pieces of each file joined give that file back, nothing missing and nothing twice.
    void layouts_data()
    {
        QTest::addColumn<QList<AudioFileLayout>>("files");
        QTest::addColumn<QString>("sheet");         // %Tn% (start of track n within its file) is filled
        QTest::addColumn<QStringList>("pieces");    // the pieces made, in name order
        QTest::addColumn<QList<int>>("pieceTones"); // the tone each piece holds, by firstTone + track

        const AudioFileLayout disc1{u"CD1.ogg"_s, AlbumFormat::Ogg, {1.6, 1.2, 2.0}, 0};
        const AudioFileLayout disc2{u"CD2.mp3"_s, AlbumFormat::Mp3Cbr, {1.6, 1.6}, 3};
        QTest::newRow("two discs, Ogg and MP3")
            << QList<AudioFileLayout>{disc1, disc2}
            << u"PERFORMER \"Band\"\nREM DISCNUMBER 1\nFILE \"CD1.ogg\" WAVE\n"
               u"TRACK 01 AUDIO\n TITLE \"1.1\"\n INDEX 01 %T1%\nTRACK 02 AUDIO\n TITLE \"1.2\"\n INDEX 01 %T2%\n"
               u"TRACK 03 AUDIO\n TITLE \"1.3\"\n PERFORMER \"Guest\"\n INDEX 01 %T3%\n"
               u"FILE \"CD2.mp3\" MP3\nTRACK 01 AUDIO\n TITLE \"2.1\"\n INDEX 01 %T4%\n"
               u"TRACK 02 AUDIO\n TITLE \"2.2\"\n INDEX 01 %T5%\n"_s
            << QStringList{u"01 Band - 1.1.ogg"_s, u"02 Band - 1.2.ogg"_s, u"03 Guest - 1.3.ogg"_s,
                           u"04 Band - 2.1.mp3"_s, u"05 Band - 2.2.mp3"_s}
            << QList<int>{0, 1, 2, 3, 4};

        // Tracks numbered on across files. The pregap of track 3 stands at the end of file 1, its INDEX 01 in file 2:
        // that end stays with track 2. Only the sheet's first track can hide a track before it: a later file's
        // lead-in, however long, joins that file's first track.
        const AudioFileLayout sideA{u"Side 1.mp3"_s, AlbumFormat::Mp3Cbr, {1.6, 2.0}, 0};
        const AudioFileLayout leadIn{u"Side 2.mp3"_s, AlbumFormat::Mp3Cbr, {12.0, 1.6, 1.6}, 4};
        QTest::newRow("two sides, pregap at the end of the first, long lead-in of the second")
            << QList<AudioFileLayout>{sideA, leadIn}
            << u"PERFORMER \"Band\"\nFILE \"Side 1.mp3\" MP3\nTRACK 01 AUDIO\n TITLE \"A1\"\n INDEX 01 %T1%\n"
               u"TRACK 02 AUDIO\n TITLE \"A2\"\n INDEX 01 %T2%\nTRACK 03 AUDIO\n TITLE \"B1\"\n INDEX 00 00:03:00\n"
               u"FILE \"Side 2.mp3\" MP3\n INDEX 01 %T4%\nTRACK 04 AUDIO\n TITLE \"B2\"\n INDEX 01 %T5%\n"_s
            << QStringList{u"01 Band - A1.mp3"_s, u"02 Band - A2.mp3"_s, u"03 Band - B1.mp3"_s, u"04 Band - B2.mp3"_s}
            << QList<int>{0, 1, 4, 6};

        // Less than ten seconds before track 1 is its lead-in; ten or more are a hidden track, a piece of its own.
        const QString pregapSheet = u"PERFORMER \"Band\"\nFILE \"album.mp3\" MP3\nTRACK 01 AUDIO\n TITLE \"One\"\n"
                                    u" INDEX 00 00:00:00\n INDEX 01 %T2%\nTRACK 02 AUDIO\n TITLE \"Two\"\n"
                                    u" INDEX 01 %T3%\n"_s;
        QTest::newRow("short pregap")
            << QList<AudioFileLayout>{{u"album.mp3"_s, AlbumFormat::Mp3Cbr, {0.52, 1.6, 1.6}, 0}} << pregapSheet
            << QStringList{u"01 Band - One.mp3"_s, u"02 Band - Two.mp3"_s} << QList<int>{1, 2};
        QTest::newRow("hidden track of exactly ten seconds")
            << QList<AudioFileLayout>{{u"album.mp3"_s, AlbumFormat::Mp3Cbr, {10.0, 1.6, 1.6}, 0}} << pregapSheet
            << QStringList{u"00 Band - Pregap.mp3"_s, u"01 Band - One.mp3"_s, u"02 Band - Two.mp3"_s}
            << QList<int>{0, 1, 2};
    }
    void layouts()
    {
        QFETCH(QList<AudioFileLayout>, files);
        QFETCH(QString, sheet);
        QFETCH(QStringList, pieces);
        QFETCH(QList<int>, pieceTones);
        QTemporaryDir dir;
        QList<Album> albums;
        QList<double> allTones;
        int track = 0;
        for (const AudioFileLayout &layout : files) {
            const QString base = layout.name.left(layout.name.lastIndexOf(u'.'));
            const auto album = makeAlbum(dir.path(), layout.format, layout.durations, base, layout.firstTone);
            QVERIFY(album);
            albums << *album;
            allTones << album->tones;
            for (qint64 start : album->trackStarts)
                sheet.replace(u"%T"_s + QString::number(++track) + u'%', cueTime(start * 75 / sampleRate));
        }
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet.toUtf8()) && QDir(dir.path()).mkdir(u"out"_s));

        const ToolRun run = runSplit({u"album.cue"_s, u"--numbered"_s, u"--tags"_s, u"--dest"_s, u"out"_s}, dir.path());
        QVERIFY2(run.exitCode == 0, run.err);

        const QDir out(dir.filePath(u"out"_s));
        QCOMPARE(entriesOf(out.path()), pieces);
        QList<QList<qint16>> joined(albums.size());
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const auto pcm = decodePcm(out.filePath(pieces[i])).value_or(QList<qint16>());
            const double tone = dominantTone(pcm, allTones);
            QCOMPARE(tone, trackTone(pieceTones[i]));
            const auto album =
                std::find_if(albums.cbegin(), albums.cend(), [&](const Album &a) { return a.tones.contains(tone); });
            joined[album - albums.cbegin()] += pcm;
            // The pregap's piece is track 0, beside the sheet's tracks.
            const TagLib::FileRef file(QFile::encodeName(out.filePath(pieces[i])).constData());
            const TagLib::PropertyMap tags = file.isNull() ? TagLib::PropertyMap() : file.file()->properties();
            const auto tag = [&](const char *key) {
                return QString::fromUtf8(tags[key].toString().toCString(true));
            };
            const QString number = tag("TRACKNUMBER");
            const QString total = pieces[i].endsWith(u".ogg"_s) ? tag("TRACKTOTAL") : number.section(u'/', 1);
            QCOMPARE(u"%1 %2 - %3.%4 of %5"_s.arg(number.section(u'/', 0, 0).rightJustified(2, u'0'), tag("ARTIST"),
                                                  tag("TITLE"), QFileInfo(pieces[i]).suffix(), total),
                     pieces[i] + u" of "_s + QString::number(pieces.size() - pieces[0].startsWith(u"00 "_s)));
        }
        for (qsizetype i = 0; i < albums.size(); ++i)
            QCOMPARE(joined[i], decodePcm(albums[i].path).value_or(QList<qint16>()));
    }
};

QTEST_GUILESS_MAIN(SplitJobTest)
#include "tst_splitjob.moc"
