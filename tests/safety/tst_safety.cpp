#include "core/split/outputname.h"
#include "core/split/piecemove.h"
#include "core/split/splitjob.h"
#include "support/audiofixture.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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
QByteArray sheet(const QList<std::pair<QByteArray, QByteArray>> &tracks)
{
    QByteArray text = "PERFORMER \"Some Band\"\nFILE \"album.mp3\" MP3\n";
    const QStringList starts{u"00:00:00"_s, u"00:01:45"_s, u"00:03:15"_s};
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        text += "TRACK 0" + QByteArray::number(i + 1) + " AUDIO\n";
        if (!tracks[i].first.isEmpty())
            text += "PERFORMER \"" + tracks[i].first + "\"\n";
        text += "TITLE \"" + tracks[i].second + "\"\nINDEX 01 " + starts.at(i).toLatin1() + '\n';
    }
    return text;
}

bool holdsControlCharacters(const QByteArray &utf8)
{
    for (const QChar c : QString::fromUtf8(utf8)) {
        if (c != u'\n' && (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F)))
            return true;
    }
    return false;
}

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runSplit(const QString &folder, const QStringList &arguments, const QString &splitter = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    if (!splitter.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"VELVANE_MP3SPLT"_s, splitter);
        process.setProcessEnvironment(environment);
    }
    process.start(QStringLiteral(VELVANE_SPLIT_BINARY), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// A stand-in splitter: shell code that runs with the real splitter's arguments, in its working folder. REAL runs the
// real splitter; EACH_PIECE runs its code for each piece the real splitter announces, before the announcement
// passes on, with the piece's name in $f.
QString standIn(const QString &folder, QByteArray code)
{
    const QByteArray real = qgetenv("VELVANE_MP3SPLT");
    code.replace("EACH_PIECE", "\"" + real +
                                   "\" \"$@\" | while IFS= read -r line; do case $line in *created*) "
                                   "f=${line#*\\\"}; f=${f%%\\\"*};");
    code.replace("END_EACH", ";; esac; printf '%s\\n' \"$line\"; done");
    code.replace("REAL", "\"" + real + "\" \"$@\"");
    const QString path = QDir(folder).filePath(u"splitter"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + code + '\n') < 0)
        return {};
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QStringList workFolders(const QString &folder)
{
    return QDir(folder).entryList({u".velvane-split-*"_s}, QDir::AllEntries | QDir::Hidden);
}

} // namespace

class SafetyTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_store;
    QString m_album;

    // A fresh copy of the three-track album in folder, as album.mp3.
    bool copyAlbum(const QString &folder) const { return QFile::copy(m_album, QDir(folder).filePath(u"album.mp3"_s)); }

private slots:
    void initTestCase()
    {
        const auto album = makeAlbum(m_store.path(), AlbumFormat::Mp3Cbr, {1.4, 2.0, 1.6});
        QVERIFY(album);
        m_album = album->path;
    }

    // Sheet text ends up in file names and on the terminal. A NUL cut names short, so that pieces replaced the
    // album, the sheet or the user's own files; escape sequences took the terminal over. Now every control
    // character becomes "_", and nothing that was there before the split changes.
    void hostileSheetText_data()
    {
        QTest::addColumn<QByteArray>("performer"); // of track 2
        QTest::addColumn<QByteArray>("title");     // of track 2
        QTest::addColumn<QString>("piece");        // track 2's piece
        QTest::newRow("performer names the album")
            << QByteArray("album.mp3\0", 10) << QByteArray("Two") << u"album.mp3_ - Two.mp3"_s;
        QTest::newRow("performer names the sheet")
            << QByteArray("album.cue\0", 10) << QByteArray("Two") << u"album.cue_ - Two.mp3"_s;
        QTest::newRow("title names the user's file")
            << QByteArray("A") << QByteArray("B.mp3\0 evil", 11) << u"A - B.mp3_ evil.mp3"_s;
        QTest::newRow("escape sequences") << QByteArray("\x1b[31mRed\xc2\x9b") << QByteArray("\x1b]0;owned\x07T\x7f")
                                          << u"_[31mRed_ - _]0;owned_T_.mp3"_s;
    }
    void hostileSheetText()
    {
        QFETCH(QByteArray, performer);
        QFETCH(QByteArray, title);
        QFETCH(QString, piece);
        QTemporaryDir dir;
        QVERIFY(copyAlbum(dir.path()));
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet({{{}, "One"}, {performer, title}, {{}, "Three"}})));
        QVERIFY(writeFile(dir.filePath(u"A - B.mp3"_s), "the user's own file"));
        const auto before = folderHashes(dir.path());

        const Run run = runSplit(dir.path(), {u"album.cue"_s});

        QCOMPARE(run.exitCode, 0);
        QVERIFY2(!holdsControlCharacters(run.out + run.err), run.out + run.err);
        auto after = folderHashes(dir.path());
        for (const QString &made : {u"Some Band - One.mp3"_s, piece, u"Some Band - Three.mp3"_s})
            QVERIFY2(after.remove(made) == 1, qPrintable(QStringList(after.keys()).join(u", "_s)));
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
        QFile newcomer(out + u"/01 Band - Song.mp3"_s);
        QVERIFY(newcomer.open(QIODevice::ReadOnly));
        QCOMPARE(newcomer.readAll(), "newcomer");
    }

    // A name longer than the folder allows is shortened between characters, the title first, keeping the number,
    // the extension and the " (n)" of a taken name within the limit.
    void longNames_data()
    {
        QTest::addColumn<QString>("performer");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<QString>("expected");
        const QString longTitle(150, QChar(0x00E9)); // 300 bytes
        QTest::newRow("fits") << u"Band"_s << u"Song"_s << 1 << u"07 Band - Song.mp3"_s;
        QTest::newRow("title cut in two-byte letters")
            << u"Band"_s << longTitle << 2 << u"07 Band - "_s + QString(118, QChar(0x00E9)) + u" (2).mp3"_s;
        QTest::newRow("a combining accent stays with its letter")
            << u"Band"_s << QString(120, QChar(0x00E9)) + u"e\u0301zz"_s << 1
            << u"07 Band - "_s + QString(120, QChar(0x00E9)) + u".mp3"_s;
        QTest::newRow("an emoji beside Gurmukhi is never cut in half")
            << u"Band"_s << u"\u0A38"_s + u"🎸"_s.repeated(70) << 1
            << u"07 Band - \u0A38"_s + u"🎸"_s.repeated(59) + u".mp3"_s;
        QTest::newRow("performer cut when the title is gone")
            << QString(300, u'p') << u"Song"_s << 3 << u"07 "_s + QString(241, u'p') + u" -  (3).mp3"_s;
    }
    void longNames()
    {
        QFETCH(QString, performer);
        QFETCH(QString, title);
        QFETCH(int, attempt);
        QFETCH(QString, expected);
        const OutputName name = outputNameParts(7, {{u"performer"_s, performer}, {u"title"_s, title}}, u"mp3"_s, true);
        const QString shortened = name.fileName(attempt, 255);
        QVERIFY(shortened.toUtf8().size() <= 255);
        QCOMPARE(shortened, expected);
    }

    // A 300-byte title used to fail its move and take the piece with the work folder. Now the piece takes the
    // shortened name, and a second one of that name the shortened name with " (2)".
    void longTitleIsCut()
    {
        QTemporaryDir dir;
        QVERIFY(copyAlbum(dir.path()));
        const QByteArray title = QString(150, QChar(0x00F6)).toUtf8();
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet({{{}, title}, {{}, title}})));
        const auto before = folderHashes(dir.path());

        const Run run = runSplit(dir.path(), {u"album.cue"_s, u"--numbered"_s});

        QCOMPARE(run.exitCode, 0);
        auto after = folderHashes(dir.path());
        for (const auto &before : before.keys())
            after.remove(before);
        QCOMPARE(after.size(), 2);
        for (const QString &name : after.keys()) {
            QVERIFY(name.toUtf8().size() <= 255);
            QVERIFY2(name.startsWith(u"0"_s) && name.endsWith(u".mp3"_s), qPrintable(name));
        }
    }

    // A piece that cannot take any name in the destination stays whole in the work folder, which stays too, and
    // the reason says where it is.
    void pieceKeptWhenNoNameCanBeGiven()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to make the destination immutable");
        QTemporaryDir dir;
        QVERIFY(copyAlbum(dir.path()));
        const QString out = dir.filePath(u"out"_s);
        QVERIFY(QDir(dir.path()).mkdir(u"out"_s));

        class LockingProgress : public SplitProgress
        {
        public:
            QString folder;
            void showProcessing(const QString &) override
            {
                // The work folder exists by now; nothing new may appear beside it.
                QProcess::execute(u"chattr"_s, {u"+i"_s, folder});
            }
            void showProcessed(int, int) override {}
            void advanceBar() override {}
        } progress;
        progress.folder = out;
        SplitSettings settings;
        settings.tracks = {{{u"performer"_s, u"Band"_s}, {u"title"_s, u"One"_s}, {u"index"_s, u"00:00:00"_s}}};
        settings.destination = out;
        settings.audioFile = dir.filePath(u"album.mp3"_s);
        const SplitSummary summary = runSplitJob(settings, progress);
        QProcess::execute(u"chattr"_s, {u"-i"_s, out});

        QCOMPARE(summary.tracks.size(), 1);
        const TrackOutcome &outcome = summary.tracks.constFirst();
        QVERIFY(!outcome.ok);
        QVERIFY2(outcome.reason.contains(outcome.outputPath), qPrintable(outcome.reason));
        QVERIFY(outcome.outputPath.startsWith(out + u"/.velvane-split-"_s));
        const auto pcm = decodePcm(outcome.outputPath);
        QVERIFY(pcm && qAbs(pcm->size() - qsizetype(sampleRate * 4.999)) < 1152 * 2);
    }

    // Splitters that hang, crash, or leave short, empty or garbage pieces: each track says why it failed, a run that
    // dies costs only the tracks it had not made, and the album, the sheet and the user's file stay as they were
    // with nothing left behind.
    void faultySplitter_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<int>("made");
        QTest::addColumn<QString>("reason"); // of every failed track
        QTest::newRow("hangs") << QByteArray("exec sleep 60") << 0 << u"made no progress for 1 s"_s;
        QTest::newRow("crashes") << QByteArray("kill -SEGV $$") << 0 << u"The splitter crashed."_s;
        QTest::newRow("short pieces") << QByteArray("EACH_PIECE truncate -s 3000 \"$f\" END_EACH") << 0
                                      << u"The piece came out"_s;
        QTest::newRow("empty pieces") << QByteArray("EACH_PIECE : >\"$f\" END_EACH") << 0
                                      << u"The splitter left an empty piece."_s;
        QTest::newRow("garbage pieces") << QByteArray("EACH_PIECE head -c 40000 /dev/urandom >\"$f\" END_EACH") << 0
                                        << u"is not playable MP3 audio"_s;
        // Killed, with all it started, when its second piece is done: the tracks left get runs of their own.
        QTest::newRow("dies after a piece")
            << QByteArray("n=0; EACH_PIECE n=$((n+1)); [ $n -lt 2 ] || kill -9 0 END_EACH") << 3 << QString();
    }
    void faultySplitter()
    {
        QFETCH(QByteArray, code);
        QFETCH(int, made);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(copyAlbum(dir.path()));
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet({{{}, "One"}, {{}, "Two"}, {{}, "Three"}})));
        QVERIFY(writeFile(dir.filePath(u"Some Band - One.mp3"_s), "the user's own file"));
        const QString splitter = standIn(m_store.path(), code);
        const auto before = folderHashes(dir.path());

        // Only the splitter that hangs meets a short time-out; a busy machine must not make the others stall.
        const QString stall = QTest::currentDataTag() == "hangs"_L1 ? u"1"_s : u"60"_s;
        const Run run = runSplit(dir.path(), {u"album.cue"_s, u"--stall-timeout"_s, stall}, splitter);

        QCOMPARE(run.exitCode, made == 3 ? 0 : 1);
        const QStringList failures = QString::fromUtf8(run.err).split(u'\n').filter(u" FAILED: "_s);
        QCOMPARE(failures.size(), 3 - made);
        for (const QString &failure : failures)
            QVERIFY2(failure.contains(reason), qPrintable(failure));
        auto after = folderHashes(dir.path());
        QCOMPARE(after.size(), before.size() + made);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(after.value(it.key()), it.value());
    }

    // Ctrl+C, kill and a closed terminal stop the splitter at once; the tracks made stay, the work folder goes, and
    // the exit status tells which signal it was.
    void interrupted_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("name");
        QTest::newRow("SIGINT") << SIGINT << u"SIGINT"_s;
        QTest::newRow("SIGTERM") << SIGTERM << u"SIGTERM"_s;
        QTest::newRow("SIGHUP") << SIGHUP << u"SIGHUP"_s;
    }
    void interrupted()
    {
        QFETCH(int, signal);
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(copyAlbum(dir.path()) && QDir(dir.path()).mkdir(u"out"_s));
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet({{{}, "One"}, {{}, "Two"}, {{}, "Three"}})));
        // Each piece is announced a while after it is made, so the signal comes in the middle of the run.
        const QString splitter = standIn(m_store.path(), "EACH_PIECE sleep 1 END_EACH");
        const auto before = folderHashes(dir.path());
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"VELVANE_MP3SPLT"_s, splitter);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VELVANE_SPLIT_BINARY),
                      {dir.filePath(u"album.cue"_s), u"--dest"_s, dir.filePath(u"out"_s)});
        QTRY_VERIFY_WITH_TIMEOUT(QDir(dir.filePath(u"out"_s)).entryList(QDir::Files).size() == 1, 30000);
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(10000));

        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signal);
        const QStringList made = QDir(dir.filePath(u"out"_s)).entryList(QDir::Files);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
                 u"Stopped by %1: %2 of 3 tracks made.\n"_s.arg(name).arg(made.size()));
        QVERIFY(made.size() < 3);
        QCOMPARE(workFolders(dir.filePath(u"out"_s)), QStringList());
        auto after = folderHashes(dir.path());
        for (const QString &piece : made)
            after.remove(u"out/"_s + piece);
        QCOMPARE(after, before);
        // The splitter went with the job, and with it whatever it had started.
        QProcess pgrep;
        pgrep.start(u"pgrep"_s, {u"-f"_s, splitter});
        QVERIFY(pgrep.waitForFinished());
        QCOMPARE(pgrep.readAllStandardOutput(), QByteArray());
    }

    // On a nearly full disk the splitter's pieces keep room for their tags, which are written into it. A splitter
    // that keeps none leaves a tag that does not fit: that track fails and says so, and its piece is kept whole and
    // untagged under its own name. (Writing the tag used to cut off the end of the piece and report success.)
    void tagsOnANearlyFullDisk_data()
    {
        QTest::addColumn<QByteArray>("splitter"); // empty: the real one
        QTest::addColumn<bool>("allTagged");
        QTest::newRow("room kept") << QByteArray() << true;
        // The real splitter, told to write no tags of its own.
        QTest::newRow("no room kept") << QByteArray("for a; do shift; case $a in -T|-g) skip=1;; *) [ -n \"$skip\" ] "
                                                    "&& skip= || set -- \"$@\" \"$a\";; esac; done; REAL -n")
                                      << false;
    }
    void tagsOnANearlyFullDisk()
    {
        QFETCH(QByteArray, splitter);
        QFETCH(bool, allTagged);
        if (::geteuid() != 0)
            QSKIP("needs root to mount a small file system");
        QTemporaryDir dir;
        QVERIFY(copyAlbum(dir.path()) && QDir(dir.path()).mkdir(u"plain"_s) && QDir(dir.path()).mkdir(u"full"_s));
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet({{{}, "One"}, {{}, "Two"}, {{}, "Three"}})));
        QCOMPARE(runSplit(dir.path(), {u"album.cue"_s, u"--dest"_s, u"plain"_s}).exitCode, 0);
        // Room for the pieces and two pages to spare: never for a tagged copy of the last piece.
        qint64 pages = 2;
        const QStringList names = QDir(dir.filePath(u"plain"_s)).entryList(QDir::Files);
        for (const QString &name : names)
            pages += (QFileInfo(dir.filePath(u"plain/"_s + name)).size() + 4095) / 4096;
        const QString full = dir.filePath(u"full"_s);
        if (QProcess::execute(u"mount"_s,
                              {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=%1k"_s.arg(pages * 4), u"tmpfs"_s, full}))
            QSKIP("cannot mount a small file system here");
        const auto unmount = qScopeGuard([&] { QProcess::execute(u"umount"_s, {full}); });

        const Run run = runSplit(dir.path(), {u"album.cue"_s, u"--dest"_s, u"full"_s, u"--tags"_s},
                                 splitter.isEmpty() ? QString() : standIn(m_store.path(), splitter));

        const QStringList failures = QString::fromUtf8(run.err).split(u'\n').filter(u" FAILED: "_s);
        QCOMPARE(run.exitCode, allTagged ? 0 : 1);
        QVERIFY2(allTagged || failures.last().contains(u"The tags could not be written"_s), run.err);
        QCOMPARE(QDir(full).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), names);
        int untagged = 0;
        for (const QString &name : names) {
            QFile plain(dir.filePath(u"plain/"_s + name)), piece(QDir(full).filePath(name));
            QVERIFY(plain.open(QIODevice::ReadOnly) && piece.open(QIODevice::ReadOnly));
            const QByteArray audio = plain.readAll(), bytes = piece.readAll();
            QVERIFY2(bytes.endsWith(audio), qPrintable(name));
            untagged += bytes == audio;
        }
        QCOMPARE(untagged, failures.size());
    }

    // An audio file named like an option reaches the splitter as a path.
    void audioNamedLikeAnOption()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(m_album, dir.filePath(u"-s.mp3"_s)) && QDir(dir.path()).mkdir(u"out"_s));
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet({{{}, "One"}, {{}, "Two"}})));
        const Run run = runSplit(dir.path(), {u"album.cue"_s, u"--audio"_s, u"-s.mp3"_s, u"--dest"_s, u"out"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(folderHashes(dir.filePath(u"out"_s)).keys(),
                 (QStringList{u"Some Band - One.mp3"_s, u"Some Band - Two.mp3"_s}));
    }
};

QTEST_GUILESS_MAIN(SafetyTest)
#include "tst_safety.moc"
