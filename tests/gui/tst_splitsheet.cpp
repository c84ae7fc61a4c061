#include "controllerfixture.h"

#include "import_cue/preferences.h"
#include "support/audiofixture.h"
#include "support/pictures.h"
#include "support/splitters.h"

#include <QMessageBox>
#include <QProgressBar>

using namespace velvane::test;

namespace {

QByteArray tones(const QString &audio = u"album.mp3"_s)
{
    return cueSheet({u"One"_s, u"Two: 2/3"_s, u"Three"_s}, audio, u"PERFORMER \"Tones\"\n"_s);
}

bool jobEnds(const ControllerFixture &f, int seconds = 60)
{
    return QTest::qWaitFor([&f] { return !f.controller.closeButton->isHidden(); }, seconds * 1000);
}

} // namespace

class SplitSheetTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_album;

    // The album and its sheet in the fixture's folder; gives the sheet's path.
    QString album(ControllerFixture &f, const QByteArray &sheet = tones()) const
    {
        QFile::copy(m_album, f.dir.filePath(u"album.mp3"_s));
        return f.put(u"album.cue"_s, sheet);
    }

private slots:
    void initTestCase()
    {
        useOwnSettings();
        const auto made = makeAlbum(m_dir.path(), AlbumFormat::Mp3Cbr, {1, 1, 1});
        QVERIFY(made);
        m_album = made->path;
    }

    // A test's preferences never outlive it, even when it fails.
    void cleanup() { QSettings().clear(); }

    // Only the first failing check is reported, and nothing starts. DIR: the test's folder.
    void refusedRequests_data()
    {
        QTest::addColumn<QByteArray>("sheet"); // none: no sheet read
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("message");
        const QString lost = u" not found!\nPlease select one!"_s;
        QTest::newRow("no sheet read") << QByteArray() << u"DIR/album.mp3"_s << u"DIR"_s << u"Cue-file"_s + lost;
        QTest::newRow("audio missing") << tones() << u"DIR/gone"_s << u"DIR/gone"_s << u"Audio-file"_s + lost;
        // Nothing can be made in /proc, not even by root, whom permission bits do not stop.
        QTest::newRow("destination not writable")
            << tones() << u"DIR/album.mp3"_s << u"/proc"_s
            << u"Destination directory is not writable!\nPlease select another one!"_s;
        // Told before the audio, which such a sheet cannot name.
        QTest::newRow("no tracks") << QByteArray("\x89PNG\r\n\x1a\n\0\0") << u"DIR/gone"_s << u"DIR"_s
                                   << u"The cue sheet lists no tracks.\nPlease select another one!"_s;
        // Named before anything else is looked at, the file chosen by hand or, when the sheet named none Velvane cuts,
        // the sheet's.
        const QString notCut =
            u"\" is WavPack, which Velvane cannot cut. It cuts MP3, Ogg Vorbis, FLAC and WAV albums."_s;
        QTest::newRow("a format not cut, chosen")
            << tones() << u"DIR/x.wv"_s << u"DIR/gone"_s << u"The audio file \"x.wv"_s + notCut;
        QTest::newRow("a format not cut, in the sheet")
            << tones(u"y.WV"_s) << u"DIR/album.mp3"_s << u"DIR"_s << u"The audio file \"y.WV"_s + notCut;
    }
    void refusedRequests()
    {
        QFETCH(QByteArray, sheet);
        QFETCH(QString, audio);
        QFETCH(QString, destination);
        QFETCH(QString, message);
        ControllerFixture f;
        const QString cue = album(f, sheet);
        const auto path = [&f](QString text) {
            return text.replace(u"DIR"_s, f.dir.path());
        };
        if (!sheet.isNull())
            f.readCue(cue);
        f.controller.mp3_file->setText(path(audio));
        f.controller.home_dir->setText(path(destination));

        QCOMPARE(f.splitRefusal(), message);
        // Below the message, the audio file looked for.
        QCOMPARE(f.alerts.last().details, message.startsWith(u"Audio"_s) ? path(audio) : QString());
        QVERIFY(!f.controller.statusFenster->isVisible() && !f.controller.isSplitting() &&
                entriesOf(f.dir.path()).size() == 2);
    }

    // Markup that a message quotes from a sheet shows as typed, in the real alert.
    void alertsShowPlainText()
    {
        const Alert alert{u"ERROR!"_s, u"Track 2 starts at <b>00:01:00</b>"_s, {u"Ok"_s}, u"<i>x.mp3</i>"_s};
        QStringList labels; // as shown: plain text as it is, anything else marked
        QTimer::singleShot(0, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                for (const QLabel *label : box->findChildren<QLabel *>())
                    labels << (label->textFormat() == Qt::PlainText ? QString() : u"rich: "_s) + label->text();
                box->buttons().constFirst()->click();
            }
        });
        messageBoxAlert(nullptr)(alert);
        QVERIFY2(labels.contains(alert.message) && labels.contains(alert.details), qPrintable(labels.join(u'|')));
    }

    // A failed job lists each failed track with its name and reason. The next starts from a clean sheet, keeping a
    // title still being typed when Ctrl+Return starts it, and leaves the album and every other file as they were.
    void aJobSaysHowItWent()
    {
        ControllerFixture f;
        const QString cue = album(f);
        f.put(u"cover.png"_s, pictureBytes("PNG"));
        velvane::setPreference(QLatin1String(velvane::kNumberFilesKey), true);
        velvane::setPreference(QLatin1String(velvane::kSetID3Key), true);
        f.readCue(cue);
        auto *failures = f.controller.statusFenster->findChild<QPlainTextEdit *>(u"failures"_s);
        {
            const SplitterOverride missing(u"/nonexistent/mp3splt"_s);
            f.controller.startSplit();
            QVERIFY(jobEnds(f, 30));
        }
        QCOMPARE(f.controller.processing->text(), u"3 of 3 tracks failed: tracks 1, 2 and 3."_s);
        const QStringList lines = failures->toPlainText().split(u'\n');
        QVERIFY(failures->isVisibleTo(f.controller.statusFenster) && lines.size() == 3);
        QVERIFY2(lines.at(1).startsWith(u"Track 2, 02 Tones - Two. 2.3.mp3: The splitter /nonexistent/mp3splt"_s),
                 qPrintable(lines.at(1)));
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
        QVERIFY(jobEnds(f));
        QVERIFY(f.alerts.isEmpty() && failures->isHidden());
        QCOMPARE(f.controller.processing->text(), u"All 3 tracks made in %1."_s.arg(f.dir.path()));
        QCOMPARE(entriesOf(f.dir.path()),
                 (QStringList{u"01 Tones - Edited.mp3"_s, u"02 Tones - Two. 2.3.mp3"_s, u"03 Tones - Three.mp3"_s,
                              u"album.cue"_s, u"album.mp3"_s, u"cover.png"_s}));
        QCOMPARE(readFile(f.dir.filePath(u"album.mp3"_s)), readFile(m_album));
        // The cover found beside the album goes in; the title typed, and neither genre nor year.
        const ToolRun probe =
            runTool(u"ffprobe"_s,
                    {u"-v"_s, u"quiet"_s, u"-of"_s, u"default=nw=1"_s, u"-show_entries"_s,
                     u"stream=codec_name:format_tags=title,genre,date"_s, f.dir.filePath(u"01 Tones - Edited.mp3"_s)});
        QCOMPARE(probe.out, "codec_name=mp3\ncodec_name=png\nTAG:title=Edited\n");
    }

    // An audio path neither from the current sheet nor given since it was read may be another album's: asked first.
    void audioFromBeforeTheSheetIsQuestioned_data()
    {
        QTest::addColumn<bool>("typed");
        QTest::newRow("left from the last sheet, cancelled") << false;
        QTest::newRow("typed after") << true;
    }
    void audioFromBeforeTheSheetIsQuestioned()
    {
        QFETCH(bool, typed);
        ControllerFixture f;
        const QString cue = album(f);
        const QString other = f.put(u"other.cue"_s, tones(u"other.aiff"_s).replace("MP3", "AIFF"));
        const QString ogg = f.dir.filePath(u"given.ogg"_s);
        QFile::copy(m_album, ogg);
        // Every track fails at once: only whether the job starts counts.
        const SplitterOverride missing(u"/nonexistent/mp3splt"_s);
        f.alertAnswers = {1};
        f.readCue(cue);
        f.readCue(other);
        if (typed) {
            f.controller.mp3_file->selectAll();
            QTest::keyClicks(f.controller.mp3_file, ogg);
        }
        const QString question = f.splitRefusal();
        QVERIFY2(typed ? f.alerts.isEmpty() : question.contains(f.controller.mp3_file->text()), qPrintable(question));
        QCOMPARE(f.controller.isSplitting(), typed);
    }

    // Each track is cut from its own file; an audio file chosen by hand serves the whole sheet.
    void aSheetOfSeveralFilesCutsEachTrackFromItsOwn()
    {
        ControllerFixture f;
        const auto side1 = makeAlbum(f.dir.path(), AlbumFormat::Mp3Cbr, {1, 1}, u"side1"_s);
        const auto side2 = makeAlbum(f.dir.path(), AlbumFormat::Mp3Cbr, {1.5}, u"side2"_s);
        QVERIFY(side1 && side2);
        f.readCue(f.put(u"sides.cue"_s, cueSheet({u"One"_s, u"Two"_s}, u"side1.mp3"_s, u"PERFORMER \"Tones\"\n"_s) +
                                            cueSheet({u"Three"_s}, u"side2.mp3"_s).replace("01 AUDIO", "03 AUDIO")));
        auto *note = f.find<QLabel>(u"audioFilesNote"_s);
        QCOMPARE(f.controller.mp3_file->text(), side1->path);
        QVERIFY2(!note->isHidden() && note->text().contains(u'2'), qPrintable(note->text()));
        f.controller.startSplit();
        QVERIFY(jobEnds(f));
        QCOMPARE(f.controller.processing->text(), u"All 3 tracks made in %1."_s.arg(f.dir.path()));
        // Track 3 is side 2 whole, not side 1 from its start.
        const auto third = decodePcm(f.dir.filePath(u"Tones - Three.mp3"_s));
        QVERIFY(third && qAbs(third->size() - 1.5 * sampleRate) < 0.05 * sampleRate);
        f.controller.close();

        const QString manual = note->text();
        f.chooseAudio(side2->path);
        QVERIFY(note->text() != manual);
        // One file: track 3 no longer starts after track 2.
        const QString refusal = f.splitRefusal();
        QVERIFY2(refusal.startsWith(u"Track 3 starts at 00:00:00"_s) &&
                     refusal.endsWith(u"(Enter in its field) restores its own files."_s),
                 qPrintable(refusal));
    }

    // Stop, Escape, or quitting once asked, ends a job at once: the tracks made stay, the one being made and the work
    // folder go, and the sheet counts what was made. Continue, when asked, lets the job go on. Sheets opened during
    // the job wait for it: the last of them is read once its sheet is closed.
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
        QTemporaryDir tools;
        ControllerFixture f;
        f.readCue(album(f));
        // The second piece is held back, so the stop comes while it is being made, whatever the machine's speed.
        const QString splitter =
            standInSplitter(tools.path(), R"(EACH_PIECE [ -e "$0.first" ] && sleep 60; touch "$0.first" END_EACH)");
        const SplitterOverride held(splitter);
        QMainWindow *window = f.interface.mainWindow();
        window->show();
        f.controller.startSplit();
        auto *stop = f.controller.statusFenster->findChild<QPushButton *>(u"stopButton"_s);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(f.dir.filePath(u"Tones - One.mp3"_s)), 30000);
        const QString later = tools.filePath(u"later.cue"_s);
        QVERIFY(writeFile(later, cueSheet({u"Later"_s})));
        f.controller.openFiles({tools.filePath(u"first.cue"_s)});
        f.controller.cue_file->setText(later);
        f.controller.controlTextDidChange(u"newCue"_s); // as a drop tells it
        QCOMPARE(f.rows(), 3);
        if (how == u"quit"_s) {
            f.alertAnswers = {1, 0};
            f.controller.statusFenster->close(); // the sheet's close box
            QVERIFY(f.controller.statusFenster->isVisible() && window->isVisible() && f.controller.isSplitting());
            f.controller.statusFenster->close();
            QVERIFY(f.alerts.size() == 2 && !window->isVisible() && !f.controller.statusFenster->isVisible());
            f.controller.shutdown(); // as main does once the event loop has ended
        } else {
            if (how == u"Escape"_s)
                QTest::keyClick(f.controller.statusFenster, Qt::Key_Escape);
            else
                stop->click();
            QVERIFY(jobEnds(f, 10)); // well before the stand-in's minute of sleep
            QVERIFY(f.controller.statusFenster->isVisible() && stop->isHidden());
            QCOMPARE(f.controller.processing->text(), u"Stopped: 1 of 3 tracks made in %1."_s.arg(f.dir.path()));
            QCOMPARE(f.controller.statusBar->value(), 1);
            f.controller.closeButton->click();
            QCOMPARE(f.cell(0), u"Later"_s);
        }
        QCOMPARE(runTool(u"pgrep"_s, {u"-f"_s, splitter}).out, QByteArray());
        QCOMPARE(entriesOf(f.dir.path()), (QStringList{u"Tones - One.mp3"_s, u"album.cue"_s, u"album.mp3"_s}));
        QCOMPARE(readFile(f.dir.filePath(u"album.mp3"_s)), readFile(m_album));
    }
};

QTEST_MAIN(SplitSheetTest)
#include "tst_splitsheet.moc"
