#include "controllerfixture.h"

#include "import_cue/preferences.h"
#include "MyTextField/mytextfield.h"
#include "support/audiofixture.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>

using namespace std::chrono_literals;

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
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        const auto album = velvane::test::makeAlbum(m_dir.path(), velvane::test::AlbumFormat::Mp3Cbr, {1, 1, 1});
        QVERIFY(album);
        m_album = album->path;
    }

    void checksComeInOrderAndStopTheRequest()
    {
        ControllerFixture f;
        f.controller.mp3_file->setText(QStringLiteral("/nowhere/a.mp3"));
        f.controller.home_dir->setText(QStringLiteral("/nowhere"));
        f.controller.startSplit(); // nothing read yet
        QCOMPARE(f.alerts.size(), 1);
        QCOMPARE(f.alerts.last().title, QStringLiteral("ERROR!"));
        QCOMPARE(f.alerts.last().message, QStringLiteral("Cue-file not found!\nPlease select one!"));
        QCOMPARE(f.alerts.last().buttons, QStringList{QStringLiteral("Ok")});

        QTemporaryDir work;
        const QString cue = work.filePath(QStringLiteral("a.cue"));
        writeCue(cue, threeTrackCue("missing.mp3"));
        f.readCue(cue);
        f.controller.startSplit();
        QCOMPARE(f.alerts.last().message, QStringLiteral("Audio-file not found!\nPlease select one!"));

        f.controller.mp3_file->setText(m_album);
        f.controller.home_dir->clear();
        f.controller.startSplit();
        QCOMPARE(f.alerts.last().message, QStringLiteral("Destination directory not found!\nPlease select one!"));

        f.controller.home_dir->setText(work.path());
        QAbstractItemModel *model = f.controller.table->model();
        model->setData(model->index(2, 4), QStringLiteral("00:00:50")); // before track 2
        f.controller.startSplit();
        QCOMPARE(f.alerts.size(), 4);
        QCOMPARE(f.alerts.last().title, QStringLiteral("ERROR!"));
        QVERIFY2(f.alerts.last().message.contains(QLatin1Char('3')), qPrintable(f.alerts.last().message));

        QVERIFY(!f.controller.statusFenster->isVisible());
        QVERIFY(!f.controller.isSplitting());
        QCOMPARE(QDir(work.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.cue")});
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
        QCOMPARE(f.controller.processing->text(), QStringLiteral("03 Tones - Three.mp3"));

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

    void aMissingSplitterFailsEveryTrackAndSaysSo()
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

        QCOMPARE(f.controller.processed->text(), QStringLiteral("3 of 3"));
        QCOMPARE(f.controller.statusBar->value(), f.controller.statusBar->maximum());
        const QString sentence = f.controller.processing->text();
        QVERIFY2(sentence.contains(QLatin1Char('3')) && sentence.contains(QLatin1Char('1')), qPrintable(sentence));
        QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::AllDirs | QDir::NoDotAndDotDot).size(), 2);
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

    void quittingDuringAJobNeitherHangsNorLeavesItsWorkFolder()
    {
        QTemporaryDir work;
        const QString cue = prepareAlbum(work);
        {
            ControllerFixture f;
            f.readCue(cue);
            f.controller.startSplit();
            QTest::qWait(50);
            f.controller.shutdown(); // as main does once the event loop has ended
            QVERIFY(f.controller.isSplitting());
        }
        const QStringList left = QDir(work.path()).entryList(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(','))));
    }
};

QTEST_MAIN(SplitSheetTest)
#include "tst_splitsheet.moc"
