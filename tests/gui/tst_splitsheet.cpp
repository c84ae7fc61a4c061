#include "controllerfixture.h"

#include "import_cue/preferences.h"
#include "support/audiofixture.h"
#include "support/pictures.h"
#include "support/splitters.h"

#include <QAction>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace velvane::test;

namespace {

QByteArray threeTrackCue(const QString &audioName = u"album.mp3"_s)
{
    return u"PERFORMER \"Tones\"\nFILE \"%1\" MP3\nTRACK 01 AUDIO\n TITLE \"One\"\n INDEX 01 00:00:00\n"
           u"TRACK 02 AUDIO\n TITLE \"Two: 2/3\"\n INDEX 01 00:01:00\nTRACK 03 AUDIO\n TITLE \"Three\"\n"
           u" INDEX 01 00:02:00\n"_s.arg(audioName)
               .toUtf8();
}

QString ffprobe(const QString &path, const QString &entries, const QStringList &more = {})
{
    QProcess probe;
    probe.start(u"ffprobe"_s,
                QStringList{u"-v"_s, u"quiet"_s, u"-of"_s, u"default=nw=1"_s, u"-show_entries"_s, entries} + more +
                    QStringList{path});
    return probe.waitForFinished() ? QString::fromUtf8(probe.readAllStandardOutput()).trimmed() : u"(failed)"_s;
}

bool closeButtonShown(const ControllerFixture &f)
{
    return !f.controller.closeButton->isHidden();
}

bool splitterStillRuns(const QString &splitter)
{
    QProcess pgrep;
    pgrep.start(u"pgrep"_s, {u"-f"_s, splitter});
    return !pgrep.waitForFinished() || !pgrep.readAllStandardOutput().isEmpty();
}

} // namespace

class SplitSheetTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_album;

    // A folder holding the album and its sheet; returns the sheet's path.
    QString prepareAlbum(const QTemporaryDir &work, const QByteArray &sheet = threeTrackCue()) const
    {
        const QString cue = work.filePath(u"album.cue"_s);
        writeFile(cue, sheet);
        QFile::copy(m_album, work.filePath(u"album.mp3"_s));
        return cue;
    }

private slots:
    void initTestCase()
    {
        useOwnSettings();
        QSettings().clear();
        const auto album = makeAlbum(m_dir.path(), AlbumFormat::Mp3Cbr, {1, 1, 1});
        QVERIFY(album);
        m_album = album->path;
    }

    // Only the first failing check is reported, and nothing starts. ALBUM, WORK, GONE: the album, its folder, nothing.
    void refusedRequests_data()
    {
        QTest::addColumn<QByteArray>("sheet"); // none: no sheet read
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("details"); // below the message: the path looked for
        const QByteArray tracks = threeTrackCue();
        const QString lost = u" not found!\nPlease select one!"_s;
        QTest::newRow("no sheet read") << QByteArray() << u"ALBUM"_s << u"WORK"_s << u"Cue-file"_s + lost << QString();
        QTest::newRow("audio missing") << tracks << u"GONE"_s << u"GONE"_s << u"Audio-file"_s + lost << u"GONE"_s;
        QTest::newRow("no destination") << tracks << u"ALBUM"_s << QString() << u"Destination directory"_s + lost
                                        << QString();
        QTest::newRow("destination a file")
            << tracks << u"ALBUM"_s << u"ALBUM"_s << u"Destination directory"_s + lost << QString();
        // Nothing can be made in /proc, not even by root, whom permission bits do not stop.
        QTest::newRow("destination not writable")
            << tracks << u"ALBUM"_s << u"/proc"_s
            << u"Destination directory is not writable!\nPlease select another one!"_s << QString();
        // Told before the audio, which such a sheet cannot name.
        QTest::newRow("no tracks") << QByteArray("\x89PNG\r\n\x1a\n\0\0") << u"GONE"_s << u"WORK"_s
                                   << u"The cue sheet lists no tracks.\nPlease select another one!"_s << QString();
        // Named before anything else is looked at, the file chosen by hand or, when the sheet named none Velvane cuts,
        // the sheet's.
        const QString notCut =
            u"\" is WavPack, which Velvane cannot cut. It cuts MP3, Ogg Vorbis, FLAC and WAV albums."_s;
        QTest::newRow("a format not cut, chosen")
            << tracks << u"WORK/x.wv"_s << u"GONE"_s << u"The audio file \"x.wv"_s + notCut << QString();
        QTest::newRow("a format not cut, in the sheet")
            << threeTrackCue(u"y.WV"_s) << u"ALBUM"_s << u"WORK"_s << u"The audio file \"y.WV"_s + notCut << QString();
    }
    void refusedRequests()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QString, audio);
        QFETCH(QString, destination);
        QFETCH(QString, message);
        QFETCH(QString, details);
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
            writeFile(work.filePath(u"a.cue"_s), sheet);
            f.readCue(work.filePath(u"a.cue"_s));
        }
        f.controller.mp3_file->setText(path(audio));
        f.controller.home_dir->setText(path(destination));
        f.controller.startSplit();

        QCOMPARE(f.alerts.size(), 1);
        QCOMPARE(f.alerts.last().message, message);
        QCOMPARE(f.alerts.last().details, path(details));
        QVERIFY(!f.controller.statusFenster->isVisible() && !f.controller.isSplitting());
        QCOMPARE(entriesOf(work.path()).size(), sheet.isNull() ? 1 : 2);
    }

    // A message quoting a sheet shows its markup as typed, in the real alert.
    void alertsShowPlainText()
    {
        QTemporaryDir work;
        ControllerFixture f;
        f.shownAlert = messageBoxAlert(f.interface.mainWindow());
        f.readCue(prepareAlbum(work, threeTrackCue().replace("00:01:00", "<b>00:01:00</b>")));
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

    // A failed job lists each failed track with its name and reason. The next starts from a clean sheet, keeping a
    // title still being typed when Ctrl+Return starts it, and leaves the album and every other file as they were.
    void aJobSaysHowItWent()
    {
        QTemporaryDir work;
        const QString cue = prepareAlbum(work);
        writeFile(work.filePath(u"out.mp3"_s), "mine");
        writeFile(work.filePath(u"cover.png"_s), pictureBytes("PNG"));
        const QByteArray album = readFile(work.filePath(u"album.mp3"_s));
        velvane::setPreference(QLatin1String(velvane::kNumberFilesKey), true);
        velvane::setPreference(QLatin1String(velvane::kSetID3Key), true);
        ControllerFixture f;
        f.readCue(cue);
        auto *caption = f.controller.statusFenster->findChild<QLabel *>(u"processingCaption"_s);
        auto *failures = f.controller.statusFenster->findChild<QPlainTextEdit *>(u"failures"_s);
        {
            const SplitterOverride missing(u"/nonexistent/mp3splt"_s);
            f.controller.startSplit();
            QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 30000);
        }
        QCOMPARE(caption->text(), u"Done."_s);
        QCOMPARE(f.controller.statusBar->value(), 0); // the bar counts what was made
        QCOMPARE(f.controller.processing->text(), u"3 of 3 tracks failed: tracks 1, 2 and 3."_s);
        QVERIFY(failures->isVisibleTo(f.controller.statusFenster));
        const QStringList lines = failures->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(1).startsWith(u"Track 2, 02 Tones - Two. 2.3.mp3: The splitter /nonexistent/mp3splt"_s),
                 qPrintable(lines.at(1)));
        QCOMPARE(entriesOf(work.path()).size(), 4);
        f.controller.close();

        const QModelIndex firstTitle = f.controller.table->model()->index(0, 3);
        f.controller.table->setCurrentIndex(firstTitle);
        f.controller.table->edit(firstTitle);
        auto *editor = qobject_cast<QLineEdit *>(f.controller.table->indexWidget(firstTitle));
        QVERIFY(editor);
        editor->setText(u"Edited"_s);
        f.controller.genre->setCurrentIndex(0); // "(none)", with no year either: neither is written
        f.controller.album_year->clear();
        f.interface.mainWindow()->findChild<QAction *>(u"actionSplit"_s)->trigger();
        QCOMPARE(caption->text(), u"Making:"_s);
        QVERIFY(failures->isHidden() && f.controller.closeButton->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 60000);
        QVERIFY(f.alerts.isEmpty());
        QCOMPARE(f.controller.processed->text(), u"3 of 3"_s);
        QCOMPARE(f.controller.statusBar->value(), 3);
        QCOMPARE(f.controller.processing->text(), u"All 3 tracks made in %1."_s.arg(work.path()));
        QVERIFY(failures->isHidden());
        QCOMPARE(entriesOf(work.path()),
                 (QStringList{u"01 Tones - Edited.mp3"_s, u"02 Tones - Two. 2.3.mp3"_s, u"03 Tones - Three.mp3"_s,
                              u"album.cue"_s, u"album.mp3"_s, u"cover.png"_s, u"out.mp3"_s}));
        QCOMPARE(readFile(work.filePath(u"album.mp3"_s)), album);
        QCOMPARE(ffprobe(work.filePath(u"01 Tones - Edited.mp3"_s), u"format_tags=title,genre,date"_s),
                 u"TAG:title=Edited"_s);
        // The cover found beside the album.
        QCOMPARE(
            ffprobe(work.filePath(u"03 Tones - Three.mp3"_s), u"stream=codec_name"_s, {u"-select_streams"_s, u"v"_s}),
            u"codec_name=png"_s);
        f.controller.close();
        QVERIFY(!f.controller.statusFenster->isVisible());
        QSettings().clear();
    }

    // An audio path neither from the current sheet nor given since it was read may be another album's: asked first.
    void audioFromBeforeTheSheetIsQuestioned_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::newRow("named by the sheet") << u"sheet"_s << 0 << false;
        QTest::newRow("left from the last sheet, cancelled") << u"kept"_s << 1 << true;
        QTest::newRow("left from the last sheet, confirmed") << u"kept"_s << 0 << true;
        QTest::newRow("chosen before the sheet was read") << u"chosen before"_s << 1 << true;
        QTest::newRow("chosen after") << u"chosen"_s << 0 << false;
        QTest::newRow("dropped after") << u"dropped"_s << 0 << false;
        QTest::newRow("typed after") << u"typed"_s << 0 << false;
    }
    void audioFromBeforeTheSheetIsQuestioned()
    {
        QFETCH(QString, how);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QTemporaryDir work;
        const QString cue = prepareAlbum(work);
        const QString other = work.filePath(u"other.cue"_s);
        writeFile(other, threeTrackCue(u"other.aiff"_s).replace("MP3", "AIFF"));
        const QString ogg = work.filePath(u"given.ogg"_s);
        QFile::copy(m_album, ogg);
        // Every track fails at once: only whether the job starts counts.
        const SplitterOverride missing(u"/nonexistent/mp3splt"_s);

        ControllerFixture f;
        f.alertAnswers = {answer};
        if (how == u"chosen before"_s)
            f.chooseAudio(ogg);
        f.readCue(cue);
        if (how != u"sheet"_s)
            f.readCue(other);
        if (how == u"chosen"_s) {
            f.chooseAudio(ogg);
        } else if (how == u"dropped"_s) {
            f.controller.mp3_file->setText(ogg); // as the field does before telling the controller
            f.controller.audioFileDropped(ogg);
        } else if (how == u"typed"_s) {
            f.controller.mp3_file->selectAll();
            QTest::keyClicks(f.controller.mp3_file, ogg);
        }
        const QString audio = f.controller.mp3_file->text();
        QCOMPARE(f.controller._audioFormat == velvane::AudioFormat::Ogg, audio == ogg);
        f.controller.startSplit();

        QCOMPARE(f.alerts.size(), asked ? 1 : 0);
        if (asked) {
            QVERIFY2(f.alerts.constFirst().message.contains(audio), qPrintable(f.alerts.constFirst().message));
            QCOMPARE(f.alerts.constFirst().buttons, (QStringList{u"Split"_s, u"Cancel"_s}));
        }
        QCOMPARE(f.controller.isSplitting(), answer == 0);
        if (answer == 0)
            QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 30000);
    }

    // Each track is cut from its own file; an audio file chosen by hand serves the whole sheet.
    void aSheetOfSeveralFilesCutsEachTrackFromItsOwn()
    {
        QTemporaryDir work;
        const auto side1 = makeAlbum(work.path(), AlbumFormat::Mp3Cbr, {1, 1}, u"side1"_s);
        const auto side2 = makeAlbum(work.path(), AlbumFormat::Mp3Cbr, {1.5}, u"side2"_s);
        QVERIFY(side1 && side2);
        const QString cue = work.filePath(u"sides.cue"_s);
        writeFile(cue,
                  "PERFORMER \"Tones\"\nFILE \"side1.mp3\" MP3\nTRACK 01 AUDIO\n TITLE \"One\"\n INDEX 01 00:00:00\n"
                  "TRACK 02 AUDIO\n TITLE \"Two\"\n INDEX 01 00:01:00\nFILE \"side2.mp3\" MP3\n"
                  "TRACK 03 AUDIO\n TITLE \"Three\"\n INDEX 01 00:00:00\n");
        const QString out = work.filePath(u"out"_s);
        QDir().mkpath(out);

        ControllerFixture f;
        f.readCue(cue);
        f.controller.home_dir->setText(out);
        auto *note = f.interface.mainWindow()->findChild<QLabel *>(u"audioFilesNote"_s);
        QCOMPARE(f.controller.mp3_file->text(), side1->path);
        QVERIFY2(!note->isHidden() && note->text().contains(u'2'), qPrintable(note->text()));
        f.controller.startSplit();
        QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 60000);
        QCOMPARE(f.controller.processing->text(), u"All 3 tracks made in %1."_s.arg(out));
        // Track 3 is side 2 whole, not side 1 from its start.
        const auto third = decodePcm(out + u"/Tones - Three.mp3"_s);
        QVERIFY(third && qAbs(third->size() - 1.5 * sampleRate) < 0.05 * sampleRate);
        f.controller.close();

        const QString manual = note->text();
        f.chooseAudio(side2->path);
        QVERIFY(note->text() != manual);
        f.controller.startSplit(); // one file: track 3 no longer starts after track 2
        QCOMPARE(f.alerts.size(), 1);
        const QString message = f.alerts.constFirst().message;
        QVERIFY2(message.startsWith(u"Track 3 starts at 00:00:00"_s) &&
                     message.endsWith(u"(Enter in its field) restores its own files."_s),
                 qPrintable(message));
    }

    void aSheetArrivingDuringAJobIsReadAfterClose()
    {
        QTemporaryDir work;
        const QString cue = prepareAlbum(work);
        const QString first = work.filePath(u"first.cue"_s);
        writeFile(first, "TRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        const QString last = work.filePath(u"last.cue"_s);
        writeFile(last, "TRACK 01 AUDIO\nTITLE \"Later\"\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n");

        ControllerFixture f;
        f.readCue(cue);
        f.controller.startSplit();
        f.controller.openFiles({first});
        f.controller.cue_file->setText(last);
        f.controller.controlTextDidChange(u"newCue"_s); // as a drop tells it
        QCOMPARE(f.controller._filePath.value_or(QString()), cue);
        QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 60000);
        QCOMPARE(f.controller._tabData.size(), 3);
        f.interface.statusSheet()->findChild<QPushButton *>(u"closeButton"_s)->click();
        QCOMPARE(f.controller._filePath.value_or(QString()), last);
        QCOMPARE(f.cell(0), u"Later"_s);
    }

    // Stop, Escape, or quitting once asked, ends a job at once: the tracks made stay, the one being made and the work
    // folder go, and the sheet counts what was made. Continue, when asked, lets the job go on.
    void stoppingEndsTheJobAtOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Stop") << u"Stop"_s;
        QTest::newRow("Escape") << u"Escape"_s;
        QTest::newRow("closing the sheet, Continue, then Stop and Quit") << u"quit"_s;
    }
    void stoppingEndsTheJobAtOnce()
    {
        QFETCH(QString, how);
        QTemporaryDir work, tools;
        const QString cue = prepareAlbum(work);
        // The second piece is held back, so the stop comes while it is being made, whatever the machine's speed.
        const QString splitter =
            standInSplitter(tools.path(), R"(EACH_PIECE [ -e "$0.first" ] && sleep 60; touch "$0.first" END_EACH)");
        const SplitterOverride held(splitter);
        const QByteArray album = readFile(work.filePath(u"album.mp3"_s));
        ControllerFixture f;
        f.readCue(cue);
        QMainWindow *window = f.interface.mainWindow();
        window->show();
        f.controller.startSplit();
        auto *stop = f.controller.statusFenster->findChild<QPushButton *>(u"stopButton"_s);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(work.filePath(u"Tones - One.mp3"_s)), 30000);
        if (how == u"quit"_s) {
            f.alertAnswers = {1, 0};
            f.controller.statusFenster->close(); // the sheet's close box
            QCOMPARE(f.alerts.constFirst().buttons, (QStringList{u"Stop and Quit"_s, u"Continue"_s}));
            QVERIFY(f.controller.statusFenster->isVisible() && window->isVisible() && f.controller.isSplitting());
            f.controller.statusFenster->close();
            QCOMPARE(f.alerts.size(), 2);
            QVERIFY(!window->isVisible());
            f.controller.shutdown(); // as main does once the event loop has ended
        } else {
            if (how == u"Escape"_s)
                QTest::keyClick(f.controller.statusFenster, Qt::Key_Escape);
            else
                stop->click();
            // Well before the stand-in's minute of sleep.
            QTRY_VERIFY_WITH_TIMEOUT(closeButtonShown(f), 10000);
            QVERIFY(f.controller.statusFenster->isVisible() && stop->isHidden());
            QCOMPARE(f.controller.processing->text(), u"Stopped: 1 of 3 tracks made in %1."_s.arg(work.path()));
            QCOMPARE(f.controller.statusBar->value(), 1);
        }
        QVERIFY(!splitterStillRuns(splitter));
        QCOMPARE(entriesOf(work.path()), (QStringList{u"Tones - One.mp3"_s, u"album.cue"_s, u"album.mp3"_s}));
        QCOMPARE(readFile(work.filePath(u"album.mp3"_s)), album);
    }
};

QTEST_MAIN(SplitSheetTest)
#include "tst_splitsheet.moc"
