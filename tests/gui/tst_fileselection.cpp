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

QPushButton *chooseButton(ControllerFixture &f, int tag)
{
    const char *names[] = {"chooseCueButton", "chooseAudioButton", "chooseDestinationButton"};
    return f.interface.mainWindow()->findChild<QPushButton *>(QLatin1String(names[tag - 1]));
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
        f.controller._audioFormat = paths.constFirst() == m_mp3 ? velvane::AudioFormat::Ogg : velvane::AudioFormat::Mp3;

        QVERIFY(dragAndDrop(field(f, tag), paths, withPlainText)); // every file drag offers a copy
        QCOMPARE(field(f, tag)->text(), taken ? paths.constFirst() : u"before"_s);
        const bool sheetRead = taken && tag == 1;
        QCOMPARE(f.controller.table->model()->rowCount(), sheetRead ? 3 : 0);
        if (taken && tag == 2) // the audio type follows a dropped file
            QCOMPARE(f.controller._audioFormat == velvane::AudioFormat::Ogg, paths.constFirst() == m_ogg);
    }

    void aWebAddressAloneIsRefused()
    {
        ControllerFixture f;
        QVERIFY(!dragAndDrop(f.controller.cue_file, {u"https://example.org/a.cue"_s}));
    }

    // Each Choose button's panel lists only what its field takes, in any letter case, and what is chosen there
    // lands in that field and counts as if dropped on it.
    void eachPanelOffersWhatItsFieldTakes_data()
    {
        QTest::addColumn<int>("tag");            // of the button and of the field the choice lands in
        QTest::addColumn<QStringList>("listed"); // of a folder holding one of each kind, sorted
        const QString folder = u"sub.cue"_s;     // a folder is listed to be opened, whatever its name
        QTest::newRow("cue sheet") << 1 << QStringList{u"B.CUE"_s, u"a.cue"_s, u"c.Cue"_s, u"j.flac"_s, folder};
        QTest::newRow("audio") << 2 << QStringList{u"f.mp3"_s, u"g.OGG"_s, u"h.ogg"_s, u"i.wav"_s, u"j.flac"_s, folder};
        QTest::newRow("destination") << 3 << QStringList{folder};
    }
    void eachPanelOffersWhatItsFieldTakes()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, listed);
        QTemporaryDir dir;
        for (const char *name :
             {"a.cue", "B.CUE", "c.Cue", "d.txt", "e.cue.txt", "f.mp3", "g.OGG", "h.ogg", "i.wav", "j.flac", "k.ape"})
            writeFile(dir.filePath(QLatin1String(name)), "x");
        QVERIFY(QDir().mkpath(dir.filePath(u"sub.cue"_s)));
        ControllerFixture f;
        QPushButton *choose = chooseButton(f, tag);
        choose->click(); // cancelled
        QCOMPARE(f.panelRequests.size(), 1);
        QVERIFY(field(f, tag)->text().isEmpty());

        PanelRequest request = f.panelRequests.constFirst();
        request.startFolder = dir.path();
        QFileDialog panel;
        panel.setOption(QFileDialog::DontUseNativeDialog);
        configureFileDialog(panel, request);
        auto *files = panel.findChild<QFileSystemModel *>();
        QVERIFY(files);
        const QModelIndex shown = files->index(dir.path());
        QTRY_COMPARE(files->rowCount(shown), listed.size());
        QStringList names;
        for (int row = 0; row < files->rowCount(shown); ++row)
            names << files->index(row, 0, shown).data().toString();
        names.sort();
        QCOMPARE(names, listed);
        // A folder is entered, not chosen, unless the panel chooses folders.
        QCOMPARE(panel.fileMode() == QFileDialog::Directory, tag == 3);

        f.panelChoice = QStringList{m_cue, m_ogg, m_dir.path()}[tag - 1];
        choose->click();
        QCOMPARE(field(f, tag)->text(), *f.panelChoice);
        QCOMPARE(f.controller.table->model()->rowCount(), tag == 1 ? 3 : 0);
        QCOMPARE(f.controller._audioFormat == velvane::AudioFormat::Ogg,
                 tag != 3); // the sheet names an Ogg file; the chosen audio is one
    }

    void onlyAChosenOrOpenedSheetIsRead()
    {
        ControllerFixture f;
        QTest::keyClicks(f.controller.cue_file, m_cue); // typing reads nothing
        QCOMPARE(f.controller.table->model()->rowCount(), 0);
        f.controller.openFiles({m_cue, m_upperCue, m_mp3});
        QCOMPARE(f.controller._filePath.value_or(QString()), m_cue);
        QCOMPARE(f.controller.table->model()->rowCount(), 3);
        f.panelChoice = m_upperCue; // the menu's Open offers sheets alone
        f.interface.mainWindow()->findChild<QAction *>(u"actionOpenCue"_s)->trigger();
        QCOMPARE(f.panelRequests.constFirst().types, (QStringList{u"cue"_s, u"flac"_s}));
        QCOMPARE(f.controller._filePath.value_or(QString()), m_upperCue);
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
        {
            ControllerFixture f;
            chooseButton(f, 3)->click();
            QCOMPARE(f.panelRequests.last().startFolder, QString()); // nothing known yet
            f.panelChoice = albumFolder + u"/x.cue"_s;
            chooseButton(f, 1)->click();
            f.panelChoice.reset();
            chooseButton(f, 2)->click(); // the sheet named "A/Live Album.mp3"
            QCOMPARE(f.panelRequests.last().startFolder, albumFolder);
            f.controller.mp3_file->setText(u"/nowhere/a.mp3"_s);
            chooseButton(f, 2)->click();
            QCOMPARE(f.panelRequests.last().startFolder, albumFolder);
            f.panelChoice = otherFolder;
            chooseButton(f, 3)->click();
        }
        ControllerFixture next; // the last folder outlives the window
        chooseButton(next, 1)->click();
        QCOMPARE(next.panelRequests.last().startFolder, otherFolder);
    }
};

QTEST_MAIN(FileSelectionTest)
#include "tst_fileselection.moc"
