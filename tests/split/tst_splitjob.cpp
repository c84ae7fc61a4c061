#include "components/tags/frontrewrite.h"
#include "core/audio/oggpage.h"
#include "core/split/librarytags.h"
#include "core/split/outputname.h"
#include "core/split/splitjob.h"
#include "support/audiofixture.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/flacpicture.h>
#include <taglib/tstring.h>
#include <taglib/xiphcomment.h>

using namespace Qt::StringLiterals;
using namespace velvane;

namespace {

class RecordingProgress : public SplitProgress
{
public:
    void showProcessing(const QString &name) override { events << name; }
    void showProcessed(int done, int total) override { events << u"%1/%2"_s.arg(done).arg(total); }
    void advanceBar() override { events << u"bar"_s; }
    QStringList events;
};

using test::cueTime;
using test::OggEncoder;

// A job over the album with one track per cue time, titled "Track n" by "Band".
SplitSettings oggJob(const QString &album, const QString &destination, const QList<qint64> &starts, bool tags)
{
    SplitSettings settings;
    settings.destination = destination;
    settings.audioFile = album;
    settings.format = AudioFormat::Ogg;
    settings.writeTags = tags;
    settings.album = u"Record"_s;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        settings.tracks.append(
            {{u"performer"_s, u"Band"_s}, {u"title"_s, u"Track %1"_s.arg(i + 1)}, {u"index"_s, cueTime(starts[i])}});
    }
    return settings;
}

// The comments of every logical stream of an Ogg Vorbis file, as sorted "KEY=value" lines, one list per stream; a
// picture as "PICTURE=type md5". A stream's pages joined are its packets end to end, the comment packet second.
QList<QStringList> commentsOfEveryStream(const QByteArray &file)
{
    QMap<quint32, QByteArray> packets;
    for (auto page = readOggPage(file, 0); page; page = readOggPage(file, page->end()))
        packets[page->serial] += page->body.toByteArray();
    QList<QStringList> streams;
    for (const QByteArray &stream : std::as_const(packets)) {
        const qsizetype at = stream.indexOf("\x03vorbis") + 7;
        TagLib::Ogg::XiphComment comment(TagLib::ByteVector(stream.constData() + at, uint(stream.size() - at)));
        QStringList fields;
        for (const TagLib::FLAC::Picture *picture : comment.pictureList())
            fields << u"PICTURE=%1 "_s.arg(picture->type()) +
                          QCryptographicHash::hash(QByteArrayView(picture->data().data(), picture->data().size()),
                                                   QCryptographicHash::Md5)
                              .toHex();
        for (const auto &[key, values] : comment.fieldListMap()) {
            for (const TagLib::String &value : values)
                fields << QString::fromStdString(key.to8Bit(true)) + u'=' + QString::fromStdString(value.to8Bit(true));
        }
        fields.sort();
        streams << fields;
    }
    return streams;
}

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
        const QString e(1, QChar(0x00E9));
        QTest::newRow("9 of 12") << 9 << 12 << u"Band"_s << u"Song"_s << 1 << u"09 Band - Song.mp3"_s;
        QTest::newRow("7 of 100") << 7 << 100 << u"Band"_s << u"Song"_s << 1 << u"007 Band - Song.mp3"_s;
        QTest::newRow("100 of 120") << 100 << 120 << u"Band"_s << u"Song"_s << 1 << u"100 Band - Song.mp3"_s;
        QTest::newRow("no title") << 3 << 3 << u"Band"_s << QString() << 1 << u"03 Band - .mp3"_s;
        QTest::newRow("no performer") << 3 << 3 << QString() << u"Song"_s << 1 << u"03 Song.mp3"_s;
        QTest::newRow("no performer, not numbered") << 0 << 3 << QString() << u"Song"_s << 2 << u"Song (2).mp3"_s;
        QTest::newRow("neither") << 0 << 3 << QString() << QString() << 1 << u" - .mp3"_s;
        QTest::newRow("colon and slash") << 0 << 3 << u"Band"_s << u"Intro: Take 1/2"_s << 1
                                         << u"Band - Intro. Take 1.2.mp3"_s;
        QTest::newRow("backslash, tab and blanks")
            << 0 << 3 << u"Band"_s << u"back\\slash\t A   B**C"_s << 1 << u"Band - back.slash A  B C.mp3"_s;
        QTest::newRow("quotes and blanks at the ends")
            << 0 << 3 << u"Band"_s << u" \"Où?\" "_s << 1 << u"Band -  \"Où?\" .mp3"_s;
        QTest::newRow("controls and bidirectional overrides")
            << 0 << 3 << u"\u202EdnaB\u202C"_s << u"\u2066A\u2069\u007F\u009B1m\u202A\u202B\u202D\u2067\u2068"_s << 1
            << u"_dnaB_ - _A___1m_____.mp3"_s;
        QTest::newRow("title cut in two-byte letters")
            << 7 << 12 << u"Band"_s << e.repeated(150) << 2 << u"07 Band - "_s + e.repeated(118) + u" (2).mp3"_s;
        QTest::newRow("a combining accent stays with its letter")
            << 7 << 12 << u"Band"_s << e.repeated(120) + u"e\u0301zz"_s << 1
            << u"07 Band - "_s + e.repeated(120) + u".mp3"_s;
        QTest::newRow("an emoji beside Gurmukhi is never cut in half")
            << 7 << 12 << u"Band"_s << u"\u0A38"_s + u"🎸"_s.repeated(70) << 1
            << u"07 Band - \u0A38"_s + u"🎸"_s.repeated(59) + u".mp3"_s;
        QTest::newRow("title alone cut, number of three digits")
            << 7 << 100 << QString() << e.repeated(150) << 1 << u"007 "_s + e.repeated(123) + u".mp3"_s;
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
        TrackEntry track;
        if (!performer.isNull())
            track.insert(u"performer"_s, performer);
        if (!title.isNull())
            track.insert(u"title"_s, title);
        const OutputName name = outputNameParts(number, track, u"mp3"_s, number != 0, trackCount);
        QCOMPARE(name.fileName(attempt, 255), expected);
        // A folder that allows fewer bytes cuts the same name further, keeping its number and extension.
        const QString tight = name.fileName(attempt, 40);
        QVERIFY2(tight.toUtf8().size() <= 40, qPrintable(tight));
        QVERIFY2(tight.endsWith(u".mp3"_s) && tight.first(3) == expected.first(3), qPrintable(tight));
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
        QTest::newRow("various artists") << u"Various Artists"_s << mixed << QString() << u"Hits"_s
                                         << u"compilation 0/0"_s;
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
        QCOMPARE(grouping.albumArtist, albumPerformer);
        QCOMPARE(u"%1 %2/%3"_s.arg(grouping.compilation ? u"compilation"_s : u"album"_s)
                     .arg(grouping.disc)
                     .arg(grouping.totalDiscs),
                 expected);
    }

    void sheetYear_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<int>("year"); // -1: none
        QTest::newRow("year") << u"1978"_s << 1978;
        QTest::newRow("full date") << u"1978-11-10"_s << 1978;
        QTest::newRow("year and month") << u" 1978/11"_s << 1978;
        QTest::newRow("five digits") << u"19781"_s << -1;
        QTest::newRow("two digits") << u"78"_s << -1;
        QTest::newRow("words first") << u"Nov 1978"_s << -1;
    }
    void sheetYear()
    {
        QFETCH(QString, date);
        QFETCH(int, year);
        QCOMPARE(yearFromSheetDate(date).value_or(-1), year);
    }

    // Each track is shown, then counted and stepped on the bar once, failed or not; a hidden track is not counted.
    void progress_data()
    {
        QTest::addColumn<QStringList>("starts");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("three tracks")
            << QStringList{u"00:00:00"_s, u"00:01:00"_s, u"00:02:00"_s}
            << u"Band - One.mp3,1/3,bar,Band - Two.mp3,2/3,bar,Band - Three.mp3,3/3,bar"_s.split(u',')
            << u"3 of 3 tracks failed: tracks 1, 2 and 3."_s;
        QTest::newRow("hidden track before two")
            << QStringList{u"00:30:00"_s, u"00:31:00"_s}
            << u"Band - Pregap.mp3,Band - One.mp3,1/2,bar,Band - Two.mp3,2/2,bar"_s.split(u',')
            << u"3 of 3 tracks failed: tracks 0, 1 and 2."_s;
    }
    void progress()
    {
        QFETCH(QStringList, starts);
        QFETCH(QStringList, expected);
        QFETCH(QString, sentence);
        QTemporaryDir dir;
        SplitSettings settings;
        settings.destination = dir.path();
        settings.audioFile = dir.filePath(u"album.mp3"_s);
        QVERIFY(test::writeFile(settings.audioFile, "no splitter ever reads this"));
        const QStringList titles{u"One"_s, u"Two"_s, u"Three"_s};
        for (qsizetype i = 0; i < starts.size(); ++i)
            settings.tracks.append(
                {{u"performer"_s, u"Band"_s}, {u"title"_s, titles.at(i)}, {u"index"_s, starts.at(i)}});
        const test::SplitterOverride missing(u"/nonexistent/mp3splt"_s);
        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(settings, progress);
        QCOMPARE(progress.events, expected);
        QCOMPARE(failureSentence(summary), sentence);
    }

    void oggPiecesAreTheirTracks_data()
    {
        QTest::addColumn<OggEncoder>("encoder");
        QTest::addColumn<QList<qint64>>("starts"); // cue frames; the album lasts 6 s
        QTest::addColumn<QByteArray>("splitter");  // the stand-in's shell code
        QTest::addColumn<QString>("failure");      // the start of track 2's reason; empty: every track is made

        const QList<qint64> three{0, 150, 300};
        // Overwrites the middle 40 % of the piece that starts at 2 s, keeping its size: in the run over every track
        // (which has a start at 0 s) or, with "alone", in the run for that track alone too.
        const auto damaging = [](const char *source, bool alone) {
            return QByteArray("case \" $* \" in *' 0.00.00 '*) bad=2.ogg;; *' 0.02.00 '*) bad=") +
                   (alone ? "1.ogg" : "none") +
                   ";; esac; EACH_PIECE if [ \"${f##*/}\" = \"$bad\" ]; then n=$(stat -c %s \"$f\"); dd if=" + source +
                   " of=\"$f\" bs=4096 iflag=count_bytes oflag=seek_bytes seek=$((n*3/10)) count=$((n*4/10)) "
                   "conv=notrunc status=none; fi END_EACH";
        };
        QTest::newRow("random bytes in the run over all, cut again")
            << OggEncoder::Oggenc << three << damaging("/dev/urandom", false) << QString();
        QTest::newRow("zeros every time") << OggEncoder::Oggenc << three << damaging("/dev/zero", true)
                                          << u"The splitter's piece is damaged from byte "_s;

        // Tracks of a second or less: the splitter's granule positions make their pieces play a block too much or
        // end early, most of all in one run, and some encoders' albums are cut late at every cue point.
        const QList<qint64> close{0, 150, 195, 270};
        for (const auto &[name, encoder] :
             {std::pair{"oggenc", OggEncoder::Oggenc}, std::pair{"oggenc mono 22.05 kHz", OggEncoder::OggencMono22k},
              std::pair{"ffmpeg libvorbis", OggEncoder::FfmpegLibvorbis}}) {
            QTest::newRow(qPrintable(u"%1, tracks of 0.6 s and 1 s"_s.arg(QLatin1StringView(name))))
                << encoder << close << QByteArray() << QString();
            QTest::newRow(qPrintable(u"%1, cue points 0.5 s apart"_s.arg(QLatin1StringView(name))))
                << encoder << QList<qint64>{0, 38, 75, 113, 150, 188, 225} << QByteArray() << QString();
        }
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
        QVERIFY(album);
        const auto whole = test::decodeOgg(album->path);
        QVERIFY(whole && whole->frames() == album->totalSamples);
        std::optional<test::SplitterOverride> standIn;
        if (!splitter.isEmpty())
            standIn.emplace(test::standInSplitter(dir.path(), splitter));

        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(oggJob(album->path, dir.path(), starts, false), progress);
        QCOMPARE(summary.tracks.size(), starts.size());
        // The splitter takes times in hundredths, which puts a cut up to 1/300 s from its cue frame.
        const qint64 slack = whole->rate / 300 + 1;
        for (qsizetype i = 0; i < starts.size(); ++i) {
            const TrackOutcome &track = summary.tracks[i];
            if (!track.ok) {
                QVERIFY2(i == 1 && !failure.isEmpty() && track.reason.startsWith(failure),
                         qPrintable(u"track %1: %2"_s.arg(i + 1).arg(track.reason)));
                continue;
            }
            QVERIFY2(i != 1 || failure.isEmpty(), "the damaged track was made");
            const auto piece = test::decodeOgg(track.outputPath);
            QVERIFY(piece);
            const qint64 start = starts[i] * whole->rate / 75;
            const auto at = test::locate(*piece, *whole, start, slack);
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
        QTest::addColumn<bool>("ogg");
        QTest::newRow("mp3") << false;
        QTest::newRow("ogg") << true;
    }
    void everyTagFitsThePiecesRoom()
    {
        QFETCH(bool, ogg);
        QTemporaryDir dir;
        const auto album =
            test::makeAlbum(dir.path(), ogg ? test::AlbumFormat::Ogg : test::AlbumFormat::Mp3Cbr, {1.5, 1.5, 1.5});
        QVERIFY(album);
        SplitSettings settings = oggJob(album->path, dir.path(), {0, 113, 225}, true);
        settings.format = ogg ? AudioFormat::Ogg : AudioFormat::Mp3;
        const QString longText(200, u'ü');
        settings.genre = longText;
        settings.sheet = {longText, u"Various Artists"_s, longText,     u"1978"_s, longText, longText, longText, 2,
                          3,        u"-8.12 dB"_s,        u"1.000000"_s};
        for (TrackEntry &track : settings.tracks) {
            track.insert(u"performer"_s, longText + track.value(u"title"_s));
            for (const char16_t *key : {u"songwriter", u"isrc", u"replaygain_track_gain", u"replaygain_track_peak"})
                track.insert(QString::fromUtf16(key), longText);
        }
        settings.cover = CoverImage{QByteArray(10000, 'c'), u"image/jpeg"_s, 500, 500};
        int writes = 0;
        setRewriteSeam({RewriteWay::Automatic, 0, [&writes](int) {
                            ++writes;
                            return 0;
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
        QVERIFY(first && second);
        const QString album = dir.filePath(u"album.ogg"_s);
        QVERIFY(test::writeFile(album, test::readFile(first->path) + test::readFile(second->path)));
        const QString out = dir.filePath(u"out"_s);
        QVERIFY(QDir(dir.path()).mkdir(u"out"_s));

        RecordingProgress progress;
        SplitSettings settings = oggJob(album, out, {0, 150, 300}, true);
        settings.sheet.performer = u"Band"_s;
        settings.sheet.discNumber = 2;
        settings.tracks[1].insert(u"isrc"_s, u"GBAYE0000351"_s);
        QByteArray picture("\x89PNG\r\n\x1a\n", 8);
        for (int i = 0; picture.size() < 90000; ++i)
            picture += char(i * 31 % 253);
        settings.cover = CoverImage{picture, u"image/png"_s, 300, 300};
        const SplitSummary summary = runSplitJob(settings, progress);
        QCOMPARE(failureSentence(summary), QString());
        const QList<QStringList> streams = commentsOfEveryStream(test::readFile(summary.tracks[1].outputPath));
        QCOMPARE(streams.size(), 2);
        const QStringList expected{u"ALBUM=Record"_s,
                                   u"ALBUMARTIST=Band"_s,
                                   u"ARTIST=Band"_s,
                                   u"DISCNUMBER=2"_s,
                                   u"ISRC=GBAYE0000351"_s,
                                   u"PICTURE=3 "_s + QCryptographicHash::hash(picture, QCryptographicHash::Md5).toHex(),
                                   u"TITLE=Track 2"_s,
                                   u"TRACKNUMBER=2"_s,
                                   u"TRACKTOTAL=3"_s};
        for (const QStringList &fields : streams)
            QCOMPARE(fields, expected);
    }
};

QTEST_GUILESS_MAIN(SplitJobTest)
#include "tst_splitjob.moc"
