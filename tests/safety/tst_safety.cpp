#include "core/split/outputname.h"
#include "core/split/piecemove.h"
#include "support/audiofixture.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

namespace {

// A sheet for the test album: one FILE line, then each track's performer and title as raw UTF-8, so that NULs and
// escape sequences reach the reader untouched.
QByteArray sheet(const QList<std::pair<QByteArray, QByteArray>> &tracks,
                 const QByteArrayList &starts = {"00:00:00", "00:01:45", "00:03:15"})
{
    QByteArray text = "PERFORMER \"Some Band\"\nFILE \"album.mp3\" MP3\n";
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        text += "TRACK 0" + QByteArray::number(i + 1) + " AUDIO\n";
        if (!tracks[i].first.isEmpty())
            text += "PERFORMER \"" + tracks[i].first + "\"\n";
        text += "TITLE \"" + tracks[i].second + "\"\nINDEX 01 " + starts.at(i) + '\n';
    }
    return text;
}

QStringList failuresOf(const ToolRun &run)
{
    return QString::fromUtf8(run.err).split(u'\n').filter(u" FAILED: "_s);
}

// Controls but the line break, and the bidirectional overrides and isolates.
bool holdsControlCharacters(const QByteArray &utf8)
{
    static const QRegularExpression controls(
        u"[\\x00-\\x09\\x0b-\\x1f\\x7f-\\x9f\\x{202a}-\\x{202e}\\x{2066}-\\x{2069}]"_s);
    return QString::fromUtf8(utf8).contains(controls);
}

} // namespace

class SafetyTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_store;
    QString m_album;

    // A fresh copy of the album in folder, as album.mp3, and a sheet of tracks "One" to "Three", or of tracks.
    bool copyAlbum(const QString &folder, const QList<std::pair<QByteArray, QByteArray>> &tracks = {
                                              {{}, "One"}, {{}, "Two"}, {{}, "Three"}}) const
    {
        return QFile::copy(m_album, QDir(folder).filePath(u"album.mp3"_s)) &&
               writeFile(QDir(folder).filePath(u"album.cue"_s), sheet(tracks));
    }

private slots:
    void initTestCase()
    {
        const auto album = makeAlbum(m_store.path(), AlbumFormat::Mp3Cbr, {1.4, 2.0, 1.6});
        QVERIFY(album);
        m_album = album->path;
    }

    // Sheet text ends up in file names and on the terminal. A NUL cut names short, so that pieces replaced the
    // album, the sheet or the user's own files; escape sequences took the terminal over; a 300-byte title failed
    // its move and took the piece with it. Splitters hang, crash, or leave short, empty or garbage pieces. Now every
    // control character becomes "_", a name too long is shortened, each track that fails says why, a run that dies
    // costs only the tracks it had not made, and nothing that was there before the split changes.
    void hostileSheetOrFaultySplitter_data()
    {
        QTest::addColumn<QByteArray>("performer"); // of track 2
        QTest::addColumn<QByteArray>("title");     // of track 2
        QTest::addColumn<QByteArray>("code");      // the stand-in splitter's; empty: the real one
        QTest::addColumn<QString>("outcome"); // track 2's piece (every track is made), or the reason of every track
        const QByteArray real, two("Two");
        QTest::newRow("performer names the album")
            << QByteArray("album.mp3\0", 10) << two << real << u"album.mp3_ - Two.mp3"_s;
        QTest::newRow("title names the user's file")
            << QByteArray("A") << QByteArray("B.mp3\0 evil", 11) << real << u"A - B.mp3_ evil.mp3"_s;
        QTest::newRow("escape sequences") << QByteArray("\x1b[31mRed\xc2\x9b") << QByteArray("\x1b]0;owned\x07T\x7f")
                                          << real << u"_[31mRed_ - _]0;owned_T_.mp3"_s;
        // The room kept for its tag would not fit on the splitter's command line.
        QTest::newRow("title longer than a command line")
            << QByteArray() << QByteArray(200'000, 'A') << real << u"Some Band - "_s + QString(239, u'A') + u".mp3"_s;
        const auto faulty = [](const char *name, const char *code, const QString &outcome) {
            QTest::newRow(name) << QByteArray() << QByteArray("Two") << QByteArray(code) << outcome;
        };
        // After the one run and one track's own run have stalled, it is not run again, and every track left fails
        // with the same reason. (Each track used to get a run of its own and stall in turn: a quarter of an hour for
        // a 15-track album.)
        faulty("hangs", "exec sleep 60", u"FAILED: The splitter made no progress for 1 s and was stopped."_s);
        faulty("crashes", "kill -SEGV $$", u"The splitter crashed."_s);
        faulty("short pieces", "EACH_PIECE truncate -s 3000 \"$f\" END_EACH", u"The piece came out"_s);
        faulty("garbage pieces", "EACH_PIECE head -c 40000 /dev/urandom >\"$f\" END_EACH",
               u"is not playable MP3 audio"_s);
        // Nothing is cut on frames in its place, which would put pieces up to a frame off under the tracks' names.
        faulty("fails with -b", "case \" $* \" in *' -b '*) exit 1;; esac; exec REAL",
               u"The splitter failed with exit status 1."_s);
        // Killed, with all it started, when its second piece is done: the tracks left get runs of their own.
        faulty("dies after a piece", "n=0; EACH_PIECE n=$((n+1)); [ $n -lt 2 ] || kill -9 0 END_EACH",
               u"Some Band - Two.mp3"_s);
    }
    void hostileSheetOrFaultySplitter()
    {
        QFETCH(QByteArray, performer);
        QFETCH(QByteArray, title);
        QFETCH(QByteArray, code);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        QVERIFY(copyAlbum(dir.path(), {{{}, "One"}, {performer, title}, {{}, "Three"}}));
        QVERIFY(writeFile(dir.filePath(u"A - B.mp3"_s), "the user's own file"));
        QVERIFY(writeFile(dir.filePath(u"Some Band - One.mp3"_s), "the user's own file"));
        const QString splitter =
            code.isEmpty() ? QString() : standInSplitter(m_store.path(), "echo run >>\"$0.runs\"; " + code);
        QFile::remove(splitter + u".runs"_s);
        const auto before = folderHashes(dir.path());

        // Only the splitter that hangs meets a short time-out; a busy machine must not make the others stall.
        const bool hangs = QTest::currentDataTag() == "hangs"_L1;
        const ToolRun run = runSplit({u"album.cue"_s, u"--tags"_s, u"--stall-timeout"_s, hangs ? u"1"_s : u"60"_s},
                                     dir.path(), splitter);

        const bool made = outcome.endsWith(u".mp3"_s);
        QVERIFY2(run.exitCode == (made ? 0 : 1), run.out + run.err.left(2000));
        QVERIFY2(!holdsControlCharacters(run.out + run.err), run.out + run.err);
        const QStringList failures = failuresOf(run);
        QCOMPARE(failures.size(), made ? 0 : 3);
        for (const QString &failure : failures)
            QVERIFY2(failure.contains(outcome), qPrintable(failure));
        if (hangs)
            QCOMPARE(readFile(splitter + u".runs"_s), QByteArray("run\nrun\n"));
        auto after = folderHashes(dir.path());
        for (const QString &piece :
             made ? QStringList{u"Some Band - One (2).mp3"_s, outcome, u"Some Band - Three.mp3"_s} : QStringList())
            QVERIFY2(after.remove(piece) == 1, qPrintable(QStringList(after.keys()).join(u", "_s)));
        QCOMPARE(after, before);
    }

    // The name is taken by someone else between any look and the move itself: the piece goes on to " (2)" and
    // the newcomer is left as it was.
    void nameTakenAtTheMove()
    {
        QTemporaryDir dir;
        const QString piece = dir.filePath(u"piece.mp3"_s);
        QVERIFY(writeFile(piece, "piece") && QDir(dir.path()).mkdir(u"out"_s));
        const QString out = dir.filePath(u"out"_s);
        const OutputName name{u"01 "_s, u"Band"_s, u"Song"_s, u"mp3"_s};
        const PieceMove move = movePiece(
            piece, out, [&](int attempt, int limit) { return name.fileName(attempt, limit); },
            [](const QString &path) {
                if (!path.contains(u" (2)"_s))
                    writeFile(path, "newcomer");
            });
        QVERIFY2(move.ok, qPrintable(move.reason));
        QCOMPARE(move.path, out + u"/01 Band - Song (2).mp3"_s);
        QCOMPARE(folderHashes(out).keys(), (QStringList{u"01 Band - Song (2).mp3"_s, u"01 Band - Song.mp3"_s}));
        QCOMPARE(readFile(out + u"/01 Band - Song.mp3"_s), "newcomer");
    }

    // A piece that cannot take any name in the destination stays whole in the work folder, which stays too, and
    // the reason says where it is.
    void pieceKeptWhenNoNameCanBeGiven()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to make the destination immutable");
        QTemporaryDir dir;
        const QString out = dir.filePath(u"out"_s);
        QVERIFY(copyAlbum(dir.path(), {{{}, "One"}}) && QDir(dir.path()).mkdir(u"out"_s));
        // Once the piece is cut, nothing new may appear beside the work folder.
        const QString splitter = standInSplitter(m_store.path(), "EACH_PIECE chattr +i ../.. END_EACH");
        const ToolRun run = runSplit({u"album.cue"_s, u"--dest"_s, u"out"_s}, dir.path(), splitter);
        QProcess::execute(u"chattr"_s, {u"-i"_s, out});

        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("Could not give the piece the name"), run.err); // no other names tried in vain
        const QString piece = QString::fromUtf8(run.err).section(u"The piece was kept as "_s, 1).trimmed().chopped(1);
        QVERIFY2(piece.startsWith(out + u"/.velvane-split-"_s), run.err);
        const auto pcm = decodePcm(piece);
        QVERIFY(pcm && qAbs(pcm->size() - qsizetype(sampleRate * 4.999)) < 1152 * 2);
    }

    // An MP3 whose frames are too small for the header that carries the bit reservoir (8 kb/s, 8 kHz), which the
    // splitter therefore refuses and cuts only on frames: no track is reported made, and each piece is kept for the
    // user under a plain name, whole and untagged, with the reason saying how far off it may be.
    void albumCutOnlyOnFrames()
    {
        QTemporaryDir dir;
        const QString album = dir.filePath(u"album.mp3"_s);
        QVERIFY(copyAlbum(dir.path())); // the album is then encoded anew in its place
        const QStringList lame{u"--quiet"_s, u"--mp3input"_s, u"--resample"_s, u"8"_s, u"-b"_s, u"8"_s, m_album, album};
        QCOMPARE(runTool(u"lame"_s, lame).exitCode, 0);
        const qint64 albumSamples = decodePcm(album, 8000).value_or(QList<qint16>()).size();

        const ToolRun run = runSplit({u"album.cue"_s, u"--tags"_s}, dir.path());

        QCOMPARE(run.exitCode, 1);
        const QStringList failures = failuresOf(run);
        QCOMPARE(failures.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QString kept = u"Track %1.mp3"_s.arg(i + 1, 2, 10, QChar(u'0'));
            const QString said = u"only at MP3 frame boundaries (up to 72 ms off). The piece was kept as \"%1\"."_s;
            QVERIFY2(failures[i].endsWith(said.arg(kept)), qPrintable(failures[i]));
            QVERIFY(!readFile(dir.filePath(kept)).startsWith("ID3"));
            // Tracks of 1.6 s, the rest of the album last; each end may be a frame of 576 samples off.
            const qint64 samples = decodePcm(dir.filePath(kept), 8000).value_or(QList<qint16>()).size();
            QVERIFY2(qAbs(samples - (i < 2 ? 12800 : albumSamples - 25600)) <= 2 * 576, qPrintable(kept));
        }
        QCOMPARE(entriesOf(dir.path()).size(), 5); // the three pieces, the album and the sheet
    }

    // Ctrl+C, kill and a closed terminal stop the splitter at once; the tracks made stay, the work folder goes, and
    // the exit status tells which signal it was.
    void interrupted_data()
    {
        QTest::addColumn<int>("signal"); // named by the row
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void interrupted()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        QVERIFY(copyAlbum(dir.path()) && QDir(dir.path()).mkdir(u"out"_s));
        // Each piece is announced a while after it is made, so the signal comes in the middle of the run.
        const QString splitter = standInSplitter(m_store.path(), "EACH_PIECE sleep 1 END_EACH");
        const SplitterOverride slow(splitter);
        const auto before = folderHashes(dir.path());
        QProcess process;
        process.start(QStringLiteral(VELVANE_SPLIT_BINARY),
                      {dir.filePath(u"album.cue"_s), u"--dest"_s, dir.filePath(u"out"_s)});
        QTRY_VERIFY_WITH_TIMEOUT(QDir(dir.filePath(u"out"_s)).entryList(QDir::Files).size() == 1, 30000);
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(10000));

        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signal);
        const QStringList made = QDir(dir.filePath(u"out"_s)).entryList(QDir::Files);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
                 u"Stopped by %1: %2 of 3 tracks made.\n"_s.arg(QLatin1StringView(QTest::currentDataTag()))
                     .arg(made.size()));
        QVERIFY(made.size() < 3);
        auto after = folderHashes(dir.path());
        for (const QString &piece : made)
            after.remove(u"out/"_s + piece);
        QCOMPARE(after, before);
        // The splitter went with the job, and with it whatever it had started.
        QCOMPARE(QProcess::execute(u"pgrep"_s, {u"-f"_s, splitter}), 1);
    }

    // A destination too small: the tracks that fit are made whole, the others fail saying why (the splitter's exit
    // status alone told the user nothing), and no half piece or work folder is left. On a nearly full disk the
    // splitter's pieces keep room for their tags, which are written into it; a splitter that keeps none leaves a tag
    // that does not fit: that track fails and says so, and its piece is kept whole and untagged under its own name.
    // (Writing the tag used to cut off the end of the piece and report success.)
    void fullDisk_data()
    {
        QTest::addColumn<bool>("tags");           // room for the untagged pieces and two pages; else for half the album
        QTest::addColumn<QByteArray>("splitter"); // empty: the real one
        QTest::addColumn<QString>("reason");      // of every failed track; empty: none fails
        QTest::newRow("pieces do not fit")
            << false << QByteArray() << u"FAILED: The destination is full: there is no room left for the track."_s;
        QTest::newRow("room kept for tags") << true << QByteArray() << QString();
        // The real splitter, told to write no tags of its own.
        QTest::newRow("no room kept for tags")
            << true
            << QByteArray("for a; do shift; case $a in -T|-g) skip=1;; *) [ -n \"$skip\" ] && skip= || set -- \"$@\" "
                          "\"$a\";; esac; done; REAL -n")
            << u"FAILED: The tags could not be written"_s;
    }
    void fullDisk()
    {
        QFETCH(bool, tags);
        QFETCH(QByteArray, splitter);
        QFETCH(QString, reason);
        if (::geteuid() != 0)
            QSKIP("needs root to mount a small file system");
        QTemporaryDir dir;
        QVERIFY(copyAlbum(dir.path()) && QDir(dir.path()).mkdir(u"plain"_s) && QDir(dir.path()).mkdir(u"full"_s));
        QCOMPARE(runSplit({u"album.cue"_s, u"--dest"_s, u"plain"_s}, dir.path()).exitCode, 0);
        qint64 pages = tags ? 2 : QFileInfo(m_album).size() / 2 / 4096;
        const QStringList names = QDir(dir.filePath(u"plain"_s)).entryList(QDir::Files);
        for (const QString &name : names)
            pages += tags ? (QFileInfo(dir.filePath(u"plain/"_s + name)).size() + 4095) / 4096 : 0;
        const QString full = dir.filePath(u"full"_s);
        if (QProcess::execute(u"mount"_s,
                              {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=%1k"_s.arg(pages * 4), u"tmpfs"_s, full}) != 0)
            QSKIP("cannot mount a small file system here");
        const auto unmount = qScopeGuard([&] { QProcess::execute(u"umount"_s, {full}); });
        const auto before = folderHashes(dir.path());

        const QStringList args{u"album.cue"_s, u"--dest"_s, u"full"_s};
        const ToolRun run = runSplit(tags ? args + QStringList{u"--tags"_s} : args, dir.path(),
                                     splitter.isEmpty() ? QString() : standInSplitter(m_store.path(), splitter));

        const QStringList failures = failuresOf(run);
        QCOMPARE(run.exitCode, failures.isEmpty() ? 0 : 1);
        QCOMPARE(failures.isEmpty(), reason.isEmpty());
        for (const QString &failure : failures)
            QVERIFY2(failure.contains(reason), qPrintable(failure));
        const QStringList made = QDir(full).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(made.size(), tags ? 3 : 3 - failures.size());
        QCOMPARE(made.constFirst(), names.constFirst());
        int untagged = 0;
        auto after = folderHashes(dir.path());
        for (const QString &name : made) {
            const QByteArray audio = readFile(dir.filePath(u"plain/"_s + name)), bytes = readFile(full + u'/' + name);
            QVERIFY2(!audio.isEmpty() && bytes.endsWith(audio), qPrintable(name));
            untagged += bytes == audio;
            QVERIFY(after.remove(u"full/"_s + name) == 1);
        }
        QCOMPARE(untagged, tags ? failures.size() : made.size());
        QCOMPARE(after, before);
    }
};

QTEST_GUILESS_MAIN(SafetyTest)
#include "tst_safety.moc"
