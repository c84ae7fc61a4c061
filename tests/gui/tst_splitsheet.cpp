#include "controllerfixture.h"

#include "import_cue/preferences.h"
#include "MyTextField/mytextfield.h"
#include "support/audiofixture.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

QByteArray threeTrackCue(const QByteArray &audioName)
{
    return "PERFORMER \"Tones\"\nFILE \"" + audioName +
           "\" MP3\n"
           "TRACK 01 AUDIO\n TITLE \"One\"\n INDEX 01 00:00:00\n"
           "TRACK 02 AUDIO\n TITLE \"Two: 2/3\"\n INDEX 01 00:01:00\n"
           "TRACK 03 AUDIO\n TITLE \"Three\"\n INDEX 01 00:02:00\n";
}

QByteArray sha1(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

bool closeButtonShown(const ControllerFixture &f)
{
    return !f.controller.closeButton->isHidden();
}

} // namespace

class SplitSheetTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_album;

    void writeCue(const QString &path, const QByteArray &text = {}) const
    {
        writeText(path, text.isEmpty() ? threeTrackCue("album.mp3") : text);
    }

    // A folder holding the album and its sheet; returns the sheet's path.
    QString prepareAlbum(const QTemporaryDir &work) const
    {
        const QString cue = work.filePath(QStringLiteral("album.cue"));
        writeCue(cue);
        QFile::copy(m_album, work.filePath(QStringLiteral("album.mp3")));
        return cue;
    }

private slots:
    void initTestCase()
    {
        useOwnSettings();
        QSettings().clear();
        const auto album = velvane::test::makeAlbum(m_dir.path(), velvane::test::AlbumFormat::Mp3Cbr, {1, 1, 1});
        QVERIFY(album);
        m_album = album->path;
    }

    // The first check that fails is the only one reported, and nothing starts. ALBUM, WORK and GONE stand for the
    // album and the sheet's folder, both present, and a path that names nothing.
    void refusedRequests_data()
    {
        QTest::addColumn<QByteArray>("sheet"); // none: no sheet read
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("message");
        const QByteArray tracks = threeTrackCue("album.mp3");
        const QString lost = QStringLiteral(" not found!\nPlease select one!");
        QTest::newRow("no sheet read") << QByteArray() << u"ALBUM"_s << u"WORK"_s << u"Cue-file"_s + lost;
        QTest::newRow("audio missing") << tracks << u"GONE"_s << u"GONE"_s << u"Audio-file"_s + lost;
        QTest::newRow("no destination") << tracks << u"ALBUM"_s << QString() << u"Destination directory"_s + lost;
        QTest::newRow("destination a file") << tracks << u"ALBUM"_s << u"ALBUM"_s << u"Destination directory"_s + lost;
        // Told before the audio, which such a sheet cannot name.
        QTest::newRow("no tracks") << QByteArray("\x89PNG\r\n\x1a\n\0\0") << u"GONE"_s << u"WORK"_s
                                   << u"The cue sheet lists no tracks.\nPlease select another one!"_s;
    }
    void refusedRequests()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QString, audio);
        QFETCH(QString, destination);
        QFETCH(QString, message);
        QTemporaryDir work;
        const QString album = work.filePath(u"album.mp3"_s);
        QFile::copy(m_album, album);
        const auto path = [&](QString text) {
            return text.replace(u"ALBUM"_s, album)
                .replace(u"WORK"_s, work.path())
                .replace(u"GONE"_s, work.filePath(u"gone"_s));
        };
        ControllerFixture f;
        if (!sheet.isNull()) {
            writeCue(work.filePath(u"a.cue"_s), sheet);
            f.readCue(work.filePath(u"a.cue"_s));
        }
        f.controller.mp3_file->setText(path(audio));
        f.controller.home_dir->setText(path(destination));
        f.controller.startSplit();

        QCOMPARE(f.alerts.size(), 1);
        QCOMPARE(f.alerts.last().title, u"ERROR!"_s);
        QCOMPARE(f.alerts.last().message, message);
        QCOMPARE(f.alerts.last().buttons, QStringList{u"Ok"_s});
        QVERIFY(!f.controller.statusFenster->isVisible());
        QVERIFY(!f.controller.isSplitting());
        QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
                 sheet.isNull() ? 1 : 2);
    }

    // A message quoting a sheet shows its markup as typed, in the real alert.
    void alertsShowPlainText()
    {
        QTemporaryDir work;
        const QString cue = prepareAlbum(work);
        QByteArray sheet = threeTrackCue("album.mp3");
        writeCue(cue, sheet.replace("00:01:00", "<b>00:01:00</b>"));
        ControllerFixture f;
        f.shownAlert = messageBoxAlert(f.interface.mainWindow());
        f.readCue(cue);
        QStringList richLabels;
        QString shown;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            shown = box->text();
            for (const QLabel *label : box->findChildren<QLabel *>()) {
                if (label->textFormat() != Qt::PlainText && !label->text().isEmpty())
                    richLabels << label->text();
            }
            box->buttons().constFirst()->click();
        });
        f.controller.startSplit();
        QCOMPARE(f.alerts.size(), 1);
        QCOMPARE(shown, f.alerts.constFirst().message);
        QVERIFY(shown.contains(u"<b>00:01:00</b>"_s));
        QCOMPARE(richLabels, QStringList());
    }

    void aJobRunsToTheEndAndTheSheetClosesOnRequest()
    {
        QTemporaryDir work;
        const QString cue = prepareAlbum(work);
        writeText(work.filePath(QStringLiteral("out.mp3")), "mine");
        const QByteArray albumHash = sha1(work.filePath(QStringLiteral("album.mp3")));

        velvane::setPreference(QLatin1String(velvane::kNumberFilesKey), true);
        velvane::setPreference(QLatin1String(velvane::kSetID3Key), true);
        ControllerFixture f;
        f.readCue(cue);
        // A title still being typed when Ctrl+Return starts the job is the one the job uses.
        const QModelIndex firstTitle = f.controller.table->model()->index(0, 3);
        f.controller.table->setCurrentIndex(firstTitle);
        f.controller.table->edit(firstTitle);
        auto *editor = qobject_cast<QLineEdit *>(f.controller.table->indexWidget(firstTitle));
        QVERIFY(editor);
        editor->setText(QStringLiteral("Edited"));
        f.interface.mainWindow()->findChild<QAction *>(QStringLiteral("actionSplit"))->trigger();
        QVERIFY(f.controller.closeButton->isHidden());
        QTest::keyClick(f.controller.statusFenster, Qt::Key_Escape); // a running job's sheet stays
        QVERIFY(f.controller.statusFenster->isVisible());

        QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 60000);
        QVERIFY(f.alerts.isEmpty());
        QCOMPARE(f.controller.processed->text(), QStringLiteral("3 of 3"));
        QCOMPARE(f.controller.statusBar->value(), 3);
        QCOMPARE(f.controller.statusBar->maximum(), 3);
        // Done, and how it went.
        QCOMPARE(f.controller.statusFenster->findChild<QLabel *>(u"processingCaption"_s)->text(), u"Done."_s);
        QCOMPARE(f.controller.processing->text(), u"All 3 tracks made in %1."_s.arg(work.path()));
        QVERIFY(f.controller.statusFenster->findChild<QPlainTextEdit *>(u"failures"_s)->isHidden());

        QStringList names =
            QDir(work.path()).entryList(QDir::Files | QDir::Hidden | QDir::AllDirs | QDir::NoDotAndDotDot);
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("01 Tones - Edited.mp3"), QStringLiteral("02 Tones - Two. 2.3.mp3"),
                                     QStringLiteral("03 Tones - Three.mp3"), QStringLiteral("album.cue"),
                                     QStringLiteral("album.mp3"), QStringLiteral("out.mp3")}));
        QCOMPARE(sha1(work.filePath(QStringLiteral("album.mp3"))), albumHash);

        f.controller.close();
        QVERIFY(!f.controller.statusFenster->isVisible());
        QVERIFY(!f.controller.isSplitting());
        // The sheet keeps its last state until the next job prepares it again.
        QCOMPARE(f.controller.processed->text(), QStringLiteral("3 of 3"));
        QSettings().clear();
    }

    // Each failed track is listed with its name and the reason, below the sentence that counts them; the next job
    // starts from a clean sheet.
    void failedTracksAreListedWithTheirReasons()
    {
        QTemporaryDir work;
        const QString cue = prepareAlbum(work);
        const QByteArray splitter = qgetenv("VELVANE_MP3SPLT");
        qputenv("VELVANE_MP3SPLT", "/nonexistent/mp3splt");

        ControllerFixture f;
        f.readCue(cue);
        f.controller.startSplit();
        QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 30000);
        qputenv("VELVANE_MP3SPLT", splitter);

        auto *caption = f.controller.statusFenster->findChild<QLabel *>(u"processingCaption"_s);
        auto *failures = f.controller.statusFenster->findChild<QPlainTextEdit *>(u"failures"_s);
        QCOMPARE(caption->text(), u"Done."_s);
        QCOMPARE(f.controller.processed->text(), QStringLiteral("3 of 3"));
        QCOMPARE(f.controller.statusBar->value(), f.controller.statusBar->maximum());
        QVERIFY2(f.controller.processing->text().startsWith(u"3 of 3 tracks failed"_s),
                 qPrintable(f.controller.processing->text()));
        QVERIFY(failures->isVisibleTo(f.controller.statusFenster));
        QVERIFY(failures->isReadOnly() && (failures->textInteractionFlags() & Qt::TextSelectableByMouse));
        const QStringList lines = failures->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QString name = QStringList{u"One"_s, u"Two. 2.3"_s, u"Three"_s}.at(i);
            QVERIFY2(lines.at(i).startsWith(u"Track %1, Tones - %2.mp3: "_s.arg(i + 1).arg(name)),
                     qPrintable(lines.at(i)));
            QVERIFY2(lines.at(i).contains(u"/nonexistent/mp3splt"_s), qPrintable(lines.at(i)));
        }
        QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::AllDirs | QDir::NoDotAndDotDot).size(), 2);

        f.controller.close();
        f.controller.startSplit();
        QCOMPARE(caption->text(), u"Making:"_s);
        QVERIFY(failures->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 60000);
        QVERIFY(failures->isHidden());
    }

    // An audio path that neither came with the current sheet nor was given by the user since it was read may
    // belong to another album: the request names it and asks. A path typed by hand also sets the audio type.
    void audioFromBeforeTheSheetIsQuestioned_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("splits");
        QTest::newRow("named by the sheet") << u"sheet"_s << 0 << false << true;
        QTest::newRow("left from the last sheet, cancelled") << u"kept"_s << 1 << true << false;
        QTest::newRow("left from the last sheet, confirmed") << u"kept"_s << 0 << true << true;
        QTest::newRow("chosen before the sheet was read") << u"chosen before"_s << 1 << true << false;
        QTest::newRow("chosen after") << u"chosen"_s << 0 << false << true;
        QTest::newRow("dropped after") << u"dropped"_s << 0 << false << true;
        QTest::newRow("typed after") << u"typed"_s << 0 << false << true;
    }
    void audioFromBeforeTheSheetIsQuestioned()
    {
        QFETCH(QString, how);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, splits);
        QTemporaryDir work;
        const QString cue = prepareAlbum(work);
        const QString other = work.filePath(u"other.cue"_s);
        writeCue(other, threeTrackCue("other.flac").replace("MP3", "WAVE"));
        const QString ogg = work.filePath(u"given.ogg"_s);
        QFile::copy(m_album, ogg);
        // Every track fails at once: what counts here is whether the job starts, and with which file.
        const QByteArray splitter = qgetenv("VELVANE_MP3SPLT");
        qputenv("VELVANE_MP3SPLT", "/nonexistent/mp3splt");

        ControllerFixture f;
        f.alertAnswers = {answer};
        f.panelChoice = ogg;
        QObject audioButton;
        audioButton.setProperty("tag", 2);
        if (how == u"chosen before"_s)
            f.controller.select(&audioButton);
        f.readCue(cue);
        if (how != u"sheet"_s)
            f.readCue(other);
        if (how == u"chosen"_s) {
            f.controller.select(&audioButton);
        } else if (how == u"dropped"_s) {
            f.controller.mp3_file->setText(ogg); // as the field does before telling the controller
            f.controller.audioFileDropped(ogg);
        } else if (how == u"typed"_s) {
            f.controller.mp3_file->selectAll();
            QTest::keyClicks(f.controller.mp3_file, ogg);
        }
        const QString audio = f.controller.mp3_file->text();
        QCOMPARE(f.controller._isOgg, audio == ogg);
        f.controller.startSplit();

        QCOMPARE(f.alerts.size(), asked ? 1 : 0);
        if (asked) {
            QCOMPARE(f.alerts.constFirst().title, u"Attention!"_s);
            QVERIFY2(f.alerts.constFirst().message.contains(audio), qPrintable(f.alerts.constFirst().message));
            QCOMPARE(f.alerts.constFirst().buttons, (QStringList{u"Split"_s, u"Cancel"_s}));
        }
        QCOMPARE(f.controller.isSplitting(), splits);
        if (splits)
            QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 30000);
        qputenv("VELVANE_MP3SPLT", splitter);
    }

    // A sheet naming several files cuts each track from its own, with start times rising within each file; an
    // audio file chosen by hand is one file for the whole sheet.
    void aSheetOfSeveralFilesCutsEachTrackFromItsOwn()
    {
        QTemporaryDir work;
        using velvane::test::AlbumFormat;
        const auto side1 = velvane::test::makeAlbum(work.path(), AlbumFormat::Mp3Cbr, {1, 1}, u"side1"_s);
        const auto side2 = velvane::test::makeAlbum(work.path(), AlbumFormat::Mp3Cbr, {1.5}, u"side2"_s);
        QVERIFY(side1 && side2);
        const QString cue = work.filePath(u"sides.cue"_s);
        writeCue(cue, "PERFORMER \"Tones\"\nFILE \"side1.mp3\" MP3\n"
                      "TRACK 01 AUDIO\n TITLE \"One\"\n INDEX 01 00:00:00\n"
                      "TRACK 02 AUDIO\n TITLE \"Two\"\n INDEX 01 00:01:00\n"
                      "FILE \"side2.mp3\" MP3\n"
                      "TRACK 03 AUDIO\n TITLE \"Three\"\n INDEX 01 00:00:00\n");
        const QString out = work.filePath(u"out"_s);
        QDir().mkpath(out);

        ControllerFixture f;
        f.readCue(cue);
        f.controller.home_dir->setText(out);
        auto *note = f.interface.mainWindow()->findChild<QLabel *>(u"audioFilesNote"_s);
        QCOMPARE(f.controller.mp3_file->text(), side1->path);
        QVERIFY(!note->isHidden());
        QVERIFY2(note->text().contains(u'2'), qPrintable(note->text()));
        f.controller.startSplit();
        QVERIFY(f.alerts.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 60000);
        QCOMPARE(f.controller.processing->text(), u"All 3 tracks made in %1."_s.arg(out));
        // Track 3 is side 2 whole, not side 1 from its start.
        const auto third = velvane::test::durationSeconds(out + u"/Tones - Three.mp3"_s);
        QVERIFY(third && qAbs(*third - 1.5) < 0.05);
        f.controller.close();

        const QString manual = note->text();
        f.panelChoice = side2->path;
        QObject audioButton;
        audioButton.setProperty("tag", 2);
        f.controller.select(&audioButton);
        QVERIFY(note->text() != manual);
        f.controller.startSplit(); // one file: track 3 no longer starts after track 2
        QCOMPARE(f.alerts.size(), 1);
        QVERIFY2(f.alerts.constFirst().message.startsWith(u"Track 3 starts at 00:00:00"_s),
                 qPrintable(f.alerts.constFirst().message));
    }

    void aSheetArrivingDuringAJobIsReadAfterClose()
    {
        QTemporaryDir work;
        const QString cue = prepareAlbum(work);
        const QString first = work.filePath(QStringLiteral("first.cue"));
        writeText(first, "TRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        const QString last = work.filePath(QStringLiteral("last.cue"));
        writeText(last, "TRACK 01 AUDIO\nTITLE \"Later\"\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n");

        ControllerFixture f;
        f.readCue(cue);
        f.controller.startSplit();
        f.controller.openFiles({first});
        f.controller.cue_file->setText(last);
        f.controller.controlTextDidChange(QStringLiteral("newCue")); // as a drop tells it
        QCOMPARE(f.controller._tabData.size(), 3);
        QCOMPARE(f.controller._filePath.value_or(QString()), cue);

        QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 60000);
        QCOMPARE(f.controller._tabData.size(), 3);
        f.interface.statusSheet()->findChild<QPushButton *>(QStringLiteral("closeButton"))->click();
        QCOMPARE(f.controller._filePath.value_or(QString()), last);
        QCOMPARE(f.controller._tabData.size(), 2);
        QCOMPARE(f.controller.table->model()->index(0, 3).data().toString(), QStringLiteral("Later"));
    }

    // Quitting in the middle of a job stops the splitter at once: the tracks made stay, the one being made goes, and
    // no work folder or splitter process is left.
    void quittingDuringAJobStopsItsSplitter()
    {
        QTemporaryDir work;
        const QString cue = prepareAlbum(work);
        // The real splitter, each piece announced a second after it is made, so that quitting comes mid-run.
        const QString splitter = work.filePath(QStringLiteral("slow-splitter"));
        writeText(splitter, "#!/bin/sh\n\"" + qgetenv("VELVANE_MP3SPLT") +
                                "\" \"$@\" | while IFS= read -r line; do sleep 1; printf '%s\\n' \"$line\"; done\n");
        QFile::setPermissions(splitter, QFile::ReadOwner | QFile::ExeOwner);
        const QByteArray realSplitter = qgetenv("VELVANE_MP3SPLT");
        qputenv("VELVANE_MP3SPLT", QFile::encodeName(splitter));
        const auto restore = qScopeGuard([&] { qputenv("VELVANE_MP3SPLT", realSplitter); });
        const QByteArray albumHash = sha1(work.filePath(QStringLiteral("album.mp3")));
        const auto pieces = [&] {
            return QDir(work.path()).entryList({QStringLiteral("* - *.mp3")}, QDir::Files);
        };
        {
            ControllerFixture f;
            f.readCue(cue);
            f.controller.startSplit();
            QTRY_VERIFY_WITH_TIMEOUT(pieces().size() == 1, 30000);
            f.controller.shutdown(); // as main does once the event loop has ended
            QVERIFY(f.controller.isSplitting());
        }
        QCOMPARE(pieces().size(), 1);
        QCOMPARE(sha1(work.filePath(QStringLiteral("album.mp3"))), albumHash);
        const QStringList left = QDir(work.path()).entryList(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(','))));
        QProcess pgrep;
        pgrep.start(QStringLiteral("pgrep"), {QStringLiteral("-f"), splitter});
        QVERIFY(pgrep.waitForFinished());
        QCOMPARE(pgrep.readAllStandardOutput(), QByteArray());
    }
};

QTEST_MAIN(SplitSheetTest)
#include "tst_splitsheet.moc"
