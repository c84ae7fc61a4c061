#include "controllerfixture.h"

#include "MyTextField/mytextfield.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Sends a drag over a field and drops it, as a file manager's drag arrives. True when the field took the drag.
bool dragAndDrop(QWidget *field, const QList<QUrl> &urls, bool withPlainText = false)
{
    QMimeData mime;
    mime.setUrls(urls);
    if (withPlainText)
        mime.setText(urls.constFirst().toString());
    const QPoint centre = field->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(field, &enter);
    if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction)
        return false;
    QDropEvent drop(QPointF(centre), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(field, &drop);
    return true;
}

QList<QUrl> files(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    return urls;
}

MyTextField *field(ControllerFixture &f, int tag)
{
    return QList<MyTextField *>{f.controller.cue_file, f.controller.mp3_file, f.controller.home_dir}[tag - 1];
}

} // namespace

class FileSelectionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_cue, m_upperCue, m_mp3, m_ogg, m_folderNamedCue;

private slots:
    void initTestCase()
    {
        useOwnSettings();
        m_cue = m_dir.filePath(QStringLiteral("album.cue"));
        writeText(m_cue, workedExampleCue("album.ogg"));
        m_upperCue = m_dir.filePath(QStringLiteral("LOUD.CUE"));
        writeText(m_upperCue, workedExampleCue());
        m_mp3 = m_dir.filePath(QStringLiteral("album.mp3"));
        writeText(m_mp3, "x");
        m_ogg = m_dir.filePath(QStringLiteral("album.Ogg.ogg"));
        writeText(m_ogg, "x");
        m_folderNamedCue = m_dir.filePath(QStringLiteral("folder.cue"));
        QDir().mkpath(m_folderNamedCue);
    }

    void drops_data()
    {
        QTest::addColumn<int>("tag"); // of the field dropped on
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("withPlainText");
        QTest::addColumn<bool>("taken");
        const QString none = m_dir.filePath(QStringLiteral("none.cue"));
        QTest::newRow("cue") << 1 << QStringList{m_cue} << false << true;
        QTest::newRow("uri-list with plain text") << 1 << QStringList{m_cue} << true << true;
        QTest::newRow("capital .CUE") << 1 << QStringList{m_upperCue} << false << false;
        QTest::newRow("first of three not a cue") << 1 << QStringList{m_mp3, m_cue, m_cue} << false << false;
        QTest::newRow("folder named .cue") << 1 << QStringList{m_folderNamedCue} << false << false;
        QTest::newRow("path naming nothing") << 1 << QStringList{none} << false << false;
        QTest::newRow("mp3 on audio") << 2 << QStringList{m_mp3} << false << true;
        QTest::newRow("ogg on audio") << 2 << QStringList{m_ogg} << false << true;
        QTest::newRow("cue on audio") << 2 << QStringList{m_cue} << false << false;
        QTest::newRow("folder on audio") << 2 << QStringList{m_dir.path()} << false << false;
        QTest::newRow("folder on destination") << 3 << QStringList{m_dir.path()} << false << true;
        QTest::newRow("file on destination") << 3 << QStringList{m_mp3} << false << false;
    }

    void drops()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, paths);
        QFETCH(bool, withPlainText);
        QFETCH(bool, taken);
        ControllerFixture f;
        field(f, tag)->setText(QStringLiteral("before"));
        f.controller._isOgg = paths.constFirst() == m_mp3;

        QVERIFY(dragAndDrop(field(f, tag), files(paths), withPlainText)); // every file drag offers a copy
        QCOMPARE(field(f, tag)->text(), taken ? paths.constFirst() : QStringLiteral("before"));
        const bool sheetRead = taken && tag == 1;
        QCOMPARE(f.controller.table->model()->rowCount(), sheetRead ? 3 : 0);
        if (taken && tag == 2) // the audio type follows a dropped file
            QCOMPARE(f.controller._isOgg, paths.constFirst() == m_ogg);
    }

    void aWebAddressAloneIsRefused()
    {
        ControllerFixture f;
        QVERIFY(!dragAndDrop(f.controller.cue_file, {QUrl(QStringLiteral("https://example.org/a.cue"))}));
    }

    void select_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QStringList>("types");
        QTest::newRow("cue sheet") << 1 << QStringList{QStringLiteral("cue")};
        QTest::newRow("audio") << 2 << QStringList{QStringLiteral("mp3"), QStringLiteral("ogg")};
        QTest::newRow("destination") << 3 << QStringList{};
        QTest::newRow("no such tag") << 0 << QStringList{};
    }

    void select()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, types);
        ControllerFixture f;
        QObject sender;
        sender.setProperty("tag", tag);
        f.controller.select(&sender); // cancelled
        if (tag == 0) {
            QVERIFY(f.panelRequests.isEmpty());
            return;
        }
        QCOMPARE(f.panelRequests.size(), 1);
        const PanelRequest &request = f.panelRequests.constFirst();
        QCOMPARE(request.title, QStringLiteral("Please make your selection!"));
        QCOMPARE(request.chooseDirectories, tag == 3);
        QCOMPARE(request.chooseFiles, tag != 3);
        QCOMPARE(request.types, types);
        QVERIFY(field(f, tag)->text().isEmpty());

        f.panelChoice = QStringList{m_cue, m_ogg, m_dir.path()}[tag - 1];
        f.controller.select(&sender);
        QCOMPARE(field(f, tag)->text(), *f.panelChoice);
        QCOMPARE(f.controller.table->model()->rowCount(), tag == 1 ? 3 : 0);
        QCOMPARE(f.controller._isOgg, tag != 3); // the sheet names an Ogg file; the chosen audio is one
    }

    void theChooseButtonsAndMenuOpenTheirPanels()
    {
        ControllerFixture f;
        f.interface.mainWindow()->findChild<QPushButton *>(QStringLiteral("chooseDestinationButton"))->click();
        f.interface.mainWindow()->findChild<QAction *>(QStringLiteral("actionOpenCue"))->trigger();
        QCOMPARE(f.panelRequests.size(), 2);
        QVERIFY(f.panelRequests.at(0).chooseDirectories);
        QCOMPARE(f.panelRequests.at(1).types, QStringList{QStringLiteral("cue")});
    }

    void onlyAChosenOrOpenedSheetIsRead()
    {
        ControllerFixture f;
        QTest::keyClicks(f.controller.cue_file, m_cue); // typing reads nothing
        QCOMPARE(f.controller.table->model()->rowCount(), 0);
        f.controller.openFiles({m_cue, m_upperCue, m_mp3});
        QCOMPARE(f.controller._filePath.value_or(QString()), m_cue);
        QCOMPARE(f.controller.table->model()->rowCount(), 3);
    }

    // A panel opens in the folder of what its field holds, else in the last folder the user chose from.
    void panelsStartWhereTheFieldPointsElseWhereTheLastChoiceWas()
    {
        QSettings().clear();
        QTemporaryDir dir;
        const QString albumFolder = dir.filePath(QStringLiteral("A"));
        const QString otherFolder = dir.filePath(QStringLiteral("B"));
        QVERIFY(QDir().mkpath(albumFolder) && QDir().mkpath(otherFolder));
        writeText(albumFolder + QStringLiteral("/x.cue"), workedExampleCue());
        QObject cue, audio, destination;
        cue.setProperty("tag", 1);
        audio.setProperty("tag", 2);
        destination.setProperty("tag", 3);
        {
            ControllerFixture f;
            f.controller.select(&destination);
            QCOMPARE(f.panelRequests.last().startFolder, QString()); // nothing known yet
            f.panelChoice = albumFolder + QStringLiteral("/x.cue");
            f.controller.select(&cue);
            f.panelChoice.reset();
            f.controller.select(&audio); // the sheet named "A/Live Album.mp3"
            QCOMPARE(f.panelRequests.last().startFolder, albumFolder);
            f.controller.mp3_file->setText(QStringLiteral("/nowhere/a.mp3"));
            f.controller.select(&audio);
            QCOMPARE(f.panelRequests.last().startFolder, albumFolder);
            f.panelChoice = otherFolder;
            f.controller.select(&destination);
        }
        ControllerFixture next; // the last folder outlives the window
        next.controller.select(&cue);
        QCOMPARE(next.panelRequests.last().startFolder, otherFolder);
    }

    void fileDialogConfiguration()
    {
        QTemporaryDir dir;
        for (const char *name : {"a.cue", "B.CUE", "c.Cue", "d.txt", "e.cue.txt"})
            writeText(dir.filePath(QLatin1String(name)), "x");
        QFileDialog cue;
        cue.setOption(QFileDialog::DontUseNativeDialog);
        configureFileDialog(cue, {QStringLiteral("Please make your selection!"),
                                  true,
                                  false,
                                  {QStringLiteral("cue")},
                                  QStringLiteral("Cue sheets"),
                                  dir.path()});
        QCOMPARE(cue.windowTitle(), QStringLiteral("Please make your selection!"));
        QCOMPARE(cue.fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(cue.nameFilters(), QStringList{QStringLiteral("Cue sheets (*.cue)")});
        QCOMPARE(cue.directory().absolutePath(), dir.path());
        // The filter takes sheets in any letter case and nothing else.
        auto *files = cue.findChild<QFileSystemModel *>();
        QVERIFY(files);
        QTRY_COMPARE(files->rowCount(files->index(dir.path())), 3);

        QFileDialog folder;
        folder.setOption(QFileDialog::DontUseNativeDialog);
        configureFileDialog(folder, {QString(), false, true, {}, {}, {}});
        QCOMPARE(folder.fileMode(), QFileDialog::Directory);
        QVERIFY(folder.testOption(QFileDialog::ShowDirsOnly));
    }
};

QTEST_MAIN(FileSelectionTest)
#include "tst_fileselection.moc"
