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
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Sends a drag of paths or addresses over a field and drops it, as a file manager's drag arrives. True when the
// field took the drag.
bool dragAndDrop(QWidget *field, const QStringList &paths, bool withPlainText = false)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromUserInput(path);
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

MyTextField *field(ControllerFixture &f, int tag)
{
    return QList<MyTextField *>{f.controller.cue_file, f.controller.mp3_file, f.controller.home_dir}[tag - 1];
}

} // namespace

using namespace Qt::StringLiterals;

class FileSelectionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_cue, m_upperCue, m_mp3, m_ogg, m_folderNamedCue;

private slots:
    void initTestCase()
    {
        useOwnSettings();
        m_cue = m_dir.filePath(u"album.cue"_s);
        m_upperCue = m_dir.filePath(u"LOUD.CUE"_s);
        m_mp3 = m_dir.filePath(u"album.mp3"_s);
        m_ogg = m_dir.filePath(u"album.Ogg.ogg"_s);
        m_folderNamedCue = m_dir.filePath(u"folder.cue"_s);
        QVERIFY(writeFile(m_cue, workedExampleCue(u"album.ogg"_s)) && writeFile(m_upperCue, workedExampleCue()) &&
                writeFile(m_mp3, "x") && writeFile(m_ogg, "x") && QDir().mkpath(m_folderNamedCue));
    }

    void drops_data()
    {
        QTest::addColumn<int>("tag"); // of the field dropped on
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("withPlainText");
        QTest::addColumn<bool>("taken");
        QTest::newRow("cue") << 1 << QStringList{m_cue} << false << true;
        QTest::newRow("uri-list with plain text") << 1 << QStringList{m_cue} << true << true;
        QTest::newRow("capital .CUE") << 1 << QStringList{m_upperCue} << false << false;
        QTest::newRow("first of three not a cue") << 1 << QStringList{m_mp3, m_cue, m_cue} << false << false;
        QTest::newRow("folder named .cue") << 1 << QStringList{m_folderNamedCue} << false << false;
        QTest::newRow("mp3 on audio") << 2 << QStringList{m_mp3} << false << true;
        QTest::newRow("ogg on audio") << 2 << QStringList{m_ogg} << false << true;
        QTest::newRow("cue on audio") << 2 << QStringList{m_cue} << false << false;
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
        field(f, tag)->setText(u"before"_s);
        f.controller._isOgg = paths.constFirst() == m_mp3;

        QVERIFY(dragAndDrop(field(f, tag), paths, withPlainText)); // every file drag offers a copy
        QCOMPARE(field(f, tag)->text(), taken ? paths.constFirst() : u"before"_s);
        const bool sheetRead = taken && tag == 1;
        QCOMPARE(f.controller.table->model()->rowCount(), sheetRead ? 3 : 0);
        if (taken && tag == 2) // the audio type follows a dropped file
            QCOMPARE(f.controller._isOgg, paths.constFirst() == m_ogg);
    }

    void aWebAddressAloneIsRefused()
    {
        ControllerFixture f;
        QVERIFY(!dragAndDrop(f.controller.cue_file, {u"https://example.org/a.cue"_s}));
    }

    void select_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QStringList>("types");
        QTest::newRow("cue sheet") << 1 << QStringList{u"cue"_s};
        QTest::newRow("audio") << 2 << QStringList{u"mp3"_s, u"ogg"_s};
        QTest::newRow("destination") << 3 << QStringList{};
    }

    void select()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, types);
        ControllerFixture f;
        QObject sender;
        sender.setProperty("tag", tag);
        f.controller.select(&sender); // cancelled
        QCOMPARE(f.panelRequests.size(), 1);
        const PanelRequest &request = f.panelRequests.constFirst();
        QCOMPARE(request.title, u"Please make your selection!"_s);
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
        f.interface.mainWindow()->findChild<QPushButton *>(u"chooseDestinationButton"_s)->click();
        f.interface.mainWindow()->findChild<QAction *>(u"actionOpenCue"_s)->trigger();
        QCOMPARE(f.panelRequests.size(), 2);
        QVERIFY(f.panelRequests.at(0).chooseDirectories);
        QCOMPARE(f.panelRequests.at(1).types, QStringList{u"cue"_s});
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

    // Enter in the cue sheet field reads the sheet it names; until then, and once the field is cleared, Split cuts
    // nothing rather than the sheet read before.
    void aTypedSheetIsReadOnEnterAndSplitCutsOnlyTheSheetShown()
    {
        QTemporaryDir dir;
        const QString other = dir.filePath(u"Other Album/other.cue"_s);
        QVERIFY(QDir().mkpath(dir.filePath(u"Other Album"_s)));
        writeFile(other, "FILE \"other.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"Only\"\nINDEX 01 00:00:00\n");
        ControllerFixture f;
        f.readCue(m_cue);
        MyTextField *cueField = f.controller.cue_file;
        const auto refusal = [&f] {
            f.alerts.clear();
            f.controller.startSplit();
            return f.alerts.isEmpty() ? QString() : f.alerts.constFirst().message;
        };

        cueField->selectAll();
        QTest::keyClicks(cueField, other);
        QCOMPARE(f.controller.table->model()->rowCount(), 3);
        QVERIFY2(refusal().startsWith(u"The cue sheet field names a sheet that has not been read:\n"_s + other),
                 qPrintable(refusal()));
        QVERIFY(!f.controller.isSplitting());

        QTest::keyClick(cueField, Qt::Key_Return);
        QCOMPARE(f.controller._filePath.value_or(QString()), other);
        QCOMPARE(f.controller.table->model()->rowCount(), 1);
        QCOMPARE(f.controller.home_dir->text(), dir.filePath(u"Other Album"_s));
        QCOMPARE(f.controller.album_title->text(), u"Other Album"_s);
        QCOMPARE(f.controller.mp3_file->text(), dir.filePath(u"Other Album/other.mp3"_s));
        QCOMPARE(refusal(), u"Audio-file not found!\nPlease select one!"_s); // the sheet shown passes

        cueField->clear();
        QVERIFY2(refusal().startsWith(u"The cue sheet field is empty"_s), qPrintable(refusal()));
        QTest::keyClick(cueField, Qt::Key_Return); // an empty field reads nothing
        QCOMPARE(f.controller.table->model()->rowCount(), 1);
    }

    // A panel opens in the folder of what its field holds, else in the last folder the user chose from.
    void panelsStartWhereTheFieldPointsElseWhereTheLastChoiceWas()
    {
        QSettings().clear();
        QTemporaryDir dir;
        const QString albumFolder = dir.filePath(u"A"_s);
        const QString otherFolder = dir.filePath(u"B"_s);
        QVERIFY(QDir().mkpath(albumFolder) && QDir().mkpath(otherFolder));
        writeFile(albumFolder + u"/x.cue"_s, workedExampleCue());
        QObject cue, audio, destination;
        cue.setProperty("tag", 1);
        audio.setProperty("tag", 2);
        destination.setProperty("tag", 3);
        {
            ControllerFixture f;
            f.controller.select(&destination);
            QCOMPARE(f.panelRequests.last().startFolder, QString()); // nothing known yet
            f.panelChoice = albumFolder + u"/x.cue"_s;
            f.controller.select(&cue);
            f.panelChoice.reset();
            f.controller.select(&audio); // the sheet named "A/Live Album.mp3"
            QCOMPARE(f.panelRequests.last().startFolder, albumFolder);
            f.controller.mp3_file->setText(u"/nowhere/a.mp3"_s);
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
            writeFile(dir.filePath(QLatin1String(name)), "x");
        QFileDialog cue;
        cue.setOption(QFileDialog::DontUseNativeDialog);
        configureFileDialog(cue,
                            {u"Please make your selection!"_s, true, false, {u"cue"_s}, u"Cue sheets"_s, dir.path()});
        QCOMPARE(cue.windowTitle(), u"Please make your selection!"_s);
        QCOMPARE(cue.fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(cue.nameFilters(), QStringList{u"Cue sheets (*.cue)"_s});
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
