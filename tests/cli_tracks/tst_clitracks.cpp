#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runTracks(const QStringList &args, const QString &workingDirectory = {})
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(VELVANE_SPLIT_BINARY), QStringList{u"--tracks"_s} + args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

bool writeSheet(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

QJsonObject parsed(const QByteArray &out)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(out, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("not JSON: %s", out.constData());
    return document.object();
}

QJsonObject track(const QString &title, const QString &performer, const QString &index)
{
    return {{u"title"_s, title}, {u"performer"_s, performer}, {u"index"_s, index}};
}

} // namespace

class CliTracksTest : public QObject
{
    Q_OBJECT
private slots:
    void workedExample();
    void escapingAndNoAudio();
    void unreadablePath_data();
    void unreadablePath();
    void badArguments_data();
    void badArguments();
};

void CliTracksTest::workedExample()
{
    QTemporaryDir dir;
    QVERIFY(writeSheet(dir.filePath(u"Music/Live 1999/live.cue"_s),
                       u"REM GENRE Electronic\nPERFORMER \"The Band\"\nTITLE \"Live Album\"\n"
                       u"FILE \"Live Album.mp3\" MP3\n  TRACK 01 AUDIO\n    TITLE \"Intro\"\n    INDEX 01 00:00:00\n"
                       u"  TRACK 02 AUDIO\n    TITLE \"Second Song\"\n    PERFORMER \"The Band feat. Guest\"\n"
                       u"    INDEX 00 03:58:40\n    INDEX 01 04:00:12\n  TRACK 03 AUDIO\n    TITLE \"Outro\"\n"
                       u"    INDEX 01 07:31:05\n"_s));

    // Relative in, absolute out.
    const Run run = runTracks({u"Music/Live 1999/live.cue"_s}, dir.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    const QJsonObject reading = parsed(run.out);
    const QString folder = QDir(dir.path()).canonicalPath() + u"/Music/Live 1999"_s;
    QCOMPARE(reading.value(u"destination"_s).toString(), folder);
    QCOMPARE(reading.value(u"album"_s).toString(), u"Live 1999"_s);
    QCOMPARE(reading.value(u"audio"_s).toString(), folder + u"/Live Album.mp3"_s);
    QCOMPARE(reading.value(u"isOgg"_s), QJsonValue(false));
    QCOMPARE(reading.value(u"tracks"_s).toArray(),
             (QJsonArray{track(u"Intro"_s, u"The Band"_s, u"00:00:00"_s),
                         track(u"Second Song"_s, u"The Band feat. Guest"_s, u"04:00:12"_s),
                         track(u"Outro"_s, u"The Band"_s, u"07:31:05"_s)}));

    // QJsonObject sorts its keys, so the order is checked on the text.
    static const QRegularExpression key(uR"re("(\w+)": )re"_s);
    QStringList keys;
    for (const QRegularExpressionMatch &m : key.globalMatch(QString::fromUtf8(run.out)))
        keys.append(m.captured(1));
    QCOMPARE(keys.join(u' '), u"destination album audio isOgg tracks title performer index title performer index "
                              u"title performer index"_s);
}

void CliTracksTest::escapingAndNoAudio()
{
    QTemporaryDir dir;
    const QString title = u"Say \"Hi\\/\tthere\f\u2028 — Ж 🎸"_s;
    QVERIFY(writeSheet(dir.filePath(u"a.cue"_s), u"FILE \"a.wav\" WAVE\nTITLE \""_s + title + u"\"\nPERFORMER \x01"_s));

    const Run run = runTracks({dir.filePath(u"a.cue"_s)});
    QCOMPARE(run.exitCode, 0);
    // Strict readers refuse raw control characters inside strings, even where Qt's parser lets them pass.
    for (const char byte : run.out)
        QVERIFY(static_cast<unsigned char>(byte) >= 0x20 || byte == '\n');
    const QJsonObject reading = parsed(run.out);
    QCOMPARE(reading.value(u"audio"_s), QJsonValue(QJsonValue::Null));
    QCOMPARE(reading.value(u"isOgg"_s), QJsonValue(false));
    QCOMPARE(reading.value(u"tracks"_s).toArray(),
             (QJsonArray{QJsonObject{{u"title"_s, title}, {u"performer"_s, u"\x01"_s}}}));
}

void CliTracksTest::unreadablePath_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << u"missing.cue"_s;
    QTest::newRow("a folder") << u"folder.cue"_s;
}

void CliTracksTest::unreadablePath()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"folder.cue"_s));
    const QString path = QDir(dir.path()).canonicalPath() + u'/' + name;

    const Run run = runTracks({path});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.contains(path.toUtf8() + ": ") && run.err.endsWith('\n'), run.err.constData());
}

void CliTracksTest::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{u"--bogus"_s, u"a.cue"_s};
    QTest::newRow("no path") << QStringList();
    QTest::newRow("two paths") << QStringList{u"a.cue"_s, u"b.cue"_s};
    QTest::newRow("empty path") << QStringList{u""_s};
}

void CliTracksTest::badArguments()
{
    QFETCH(QStringList, args);
    const Run run = runTracks(args);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(run.err.startsWith("usage:"), run.err.constData());
}

QTEST_GUILESS_MAIN(CliTracksTest)
#include "tst_clitracks.moc"
