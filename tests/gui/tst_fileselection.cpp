#include "controllerfixture.h"

#include "MyTextField/mytextfield.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct DropOutcome
{
    bool entered = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

// Drags data over a field and drops it, the way a file manager's drag arrives.
DropOutcome dragAndDrop(QWidget *field, QMimeData *mime)
{
    DropOutcome outcome;
    const QPoint centre = field->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, mime, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(field, &enter);
    outcome.entered = enter.isAccepted();
    outcome.action = enter.dropAction();
    if (outcome.entered) {
        QDropEvent drop(QPointF(centre), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, mime, Qt::LeftButton,
                        Qt::NoModifier);
        QCoreApplication::sendEvent(field, &drop);
    }
    return outcome;
}

QMimeData *filesDrag(const QStringList &paths, bool withPlainText = false)
{
    auto *mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    mime->setUrls(urls);
    if (withPlainText)
        mime->setText(urls.constFirst().toString());
    return mime;
}

} // namespace

class FileSelectionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_cue, m_upperCue, m_mp3, m_ogg, m_folderNamedCue;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_cue = path(QStringLiteral("album.cue"));
        writeText(m_cue, workedExampleCue("album.ogg"));
        m_upperCue = path(QStringLiteral("LOUD.CUE"));
        writeText(m_upperCue, workedExampleCue());
        m_mp3 = path(QStringLiteral("album.mp3"));
        writeText(m_mp3, "x");
        m_ogg = path(QStringLiteral("album.ogg"));
        writeText(m_ogg, "x");
        m_folderNamedCue = path(QStringLiteral("folder.cue"));
        QDir().mkpath(m_folderNamedCue);
    }

    void drops_data()
    {
        QTest::addColumn<int>("field"); // the path-kind tag of the field dropped on
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("withPlainText");
        QTest::addColumn<QString>("expectedText"); // empty: the drop is ignored
        QTest::addColumn<int>("expectedRows");

        QTest::newRow("cue on cue field") << 1 << QStringList{m_cue} << false << m_cue << 3;
        QTest::newRow("capital .CUE ignored") << 1 << QStringList{m_upperCue} << false << QString() << 0;
        QTest::newRow("uri-list with plain text") << 1 << QStringList{m_cue} << true << m_cue << 3;
        QTest::newRow("first of three is not a cue")
            << 1 << QStringList{m_mp3, m_cue, m_cue} << false << QString() << 0;
        QTest::newRow("folder named .cue on cue field")
            << 1 << QStringList{m_folderNamedCue} << false << QString() << 0;
        QTest::newRow("mp3 on audio field") << 2 << QStringList{m_mp3} << false << m_mp3 << 0;
        QTest::newRow("ogg on audio field") << 2 << QStringList{m_ogg} << false << m_ogg << 0;
        QTest::newRow("cue on audio field") << 2 << QStringList{m_cue} << false << QString() << 0;
        QTest::newRow("folder on audio field") << 2 << QStringList{m_dir.path()} << false << QString() << 0;
        QTest::newRow("folder on destination") << 3 << QStringList{m_dir.path()} << false << m_dir.path() << 0;
        QTest::newRow("file on destination") << 3 << QStringList{m_mp3} << false << QString() << 0;
        QTest::newRow("path naming nothing")
            << 1 << QStringList{path(QStringLiteral("none.cue"))} << false << QString() << 0;
    }

    void drops()
    {
        QFETCH(int, field);
        QFETCH(QStringList, paths);
        QFETCH(bool, withPlainText);
        QFETCH(QString, expectedText);
        QFETCH(int, expectedRows);

        ControllerFixture f;
        MyTextField *target =
            QList<MyTextField *>{f.controller.cue_file, f.controller.mp3_file, f.controller.home_dir}[field - 1];
        target->setText(QStringLiteral("before"));
        std::unique_ptr<QMimeData> mime(filesDrag(paths, withPlainText));
        const DropOutcome outcome = dragAndDrop(target, mime.get());

        QVERIFY(outcome.entered);
        QCOMPARE(outcome.action, Qt::CopyAction);
        QCOMPARE(target->text(), expectedText.isEmpty() ? QStringLiteral("before") : expectedText);
        QCOMPARE(f.controller.table->model()->rowCount(), expectedRows);
    }

    void aDroppedAudioFileSetsTheAudioType()
    {
        ControllerFixture f;
        std::unique_ptr<QMimeData> ogg(filesDrag({m_ogg}));
        dragAndDrop(f.controller.mp3_file, ogg.get());
        QVERIFY(f.controller._isOgg);
        std::unique_ptr<QMimeData> mp3(filesDrag({m_mp3}));
        dragAndDrop(f.controller.mp3_file, mp3.get());
        QVERIFY(!f.controller._isOgg);
    }

    void aWebAddressAloneIsRefused()
    {
        ControllerFixture f;
        QMimeData mime;
        mime.setUrls({QUrl(QStringLiteral("https://example.org/album.cue"))});
        f.controller.cue_file->setText(QStringLiteral("before"));
        QVERIFY(!dragAndDrop(f.controller.cue_file, &mime).entered);
        QCOMPARE(f.controller.cue_file->text(), QStringLiteral("before"));
    }

    void selectByTag_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<bool>("chooseDirectories");
        QTest::addColumn<QStringList>("types");
        QTest::newRow("cue sheet") << 1 << false << QStringList{QStringLiteral("cue")};
        QTest::newRow("audio") << 2 << false << QStringList{QStringLiteral("mp3"), QStringLiteral("ogg")};
        QTest::newRow("destination") << 3 << true << QStringList{};
    }

    void selectByTag()
    {
        QFETCH(int, tag);
        QFETCH(bool, chooseDirectories);
        QFETCH(QStringList, types);
        ControllerFixture f;
        QObject sender;
        sender.setProperty("tag", tag);

        f.controller.select(&sender); // cancelled
        QCOMPARE(f.panelRequests.size(), 1);
        const PanelRequest request = f.panelRequests.constFirst();
        QCOMPARE(request.title, QStringLiteral("Please make your selection!"));
        QCOMPARE(request.chooseDirectories, chooseDirectories);
        QCOMPARE(request.chooseFiles, !chooseDirectories);
        QCOMPARE(request.types, types);
        QVERIFY(f.controller.cue_file->text().isEmpty());
        QVERIFY(f.controller.mp3_file->text().isEmpty());
        QVERIFY(f.controller.home_dir->text().isEmpty());

        f.panelChoice = QList<QString>{m_cue, m_ogg, m_dir.path()}[tag - 1];
        f.controller.select(&sender);
        MyTextField *field =
            QList<MyTextField *>{f.controller.cue_file, f.controller.mp3_file, f.controller.home_dir}[tag - 1];
        QCOMPARE(field->text(), *f.panelChoice);
        QCOMPARE(f.controller.table->model()->rowCount(), tag == 1 ? 3 : 0);
        QCOMPARE(f.controller._isOgg, tag != 3); // the cue sheet names an Ogg file too
        QVERIFY(f.alerts.isEmpty());
    }

    void otherTagsShowNoPanel()
    {
        ControllerFixture f;
        QObject sender;
        sender.setProperty("tag", 0);
        f.controller.select(&sender);
        sender.setProperty("tag", 4);
        f.controller.select(&sender);
        QVERIFY(f.panelRequests.isEmpty());
    }

    void chooseButtonsCarryTheirTags()
    {
        ControllerFixture f;
        f.panelChoice = m_dir.path();
        f.interface.mainWindow()->findChild<QPushButton *>(QStringLiteral("chooseDestinationButton"))->click();
        QCOMPARE(f.controller.home_dir->text(), m_dir.path());
        QCOMPARE(f.controller.cue_file->property("tag").toInt(), 1);
        QCOMPARE(f.controller.mp3_file->property("tag").toInt(), 2);
        QCOMPARE(f.controller.home_dir->property("tag").toInt(), 3);
    }

    void typingACuePathReadsNothing()
    {
        ControllerFixture f;
        QTest::keyClicks(f.controller.cue_file, m_cue);
        QCOMPARE(f.controller.table->model()->rowCount(), 0);
    }

    void openingSeveralFilesReadsTheFirst()
    {
        ControllerFixture f;
        f.controller.openFiles({m_cue, m_upperCue, m_mp3});
        QCOMPARE(f.controller.cue_file->text(), m_cue);
        QCOMPARE(f.controller._filePath.value_or(QString()), m_cue);
        QCOMPARE(f.controller.table->model()->rowCount(), 3);
    }

    void fileDialogConfiguration()
    {
        QFileDialog cue;
        cue.setOption(QFileDialog::DontUseNativeDialog);
        configureFileDialog(cue, {QStringLiteral("Please make your selection!"), true, false, {QStringLiteral("cue")}});
        QCOMPARE(cue.windowTitle(), QStringLiteral("Please make your selection!"));
        QCOMPARE(cue.fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(cue.nameFilters().size(), 1);
        QVERIFY(cue.nameFilters().constFirst().contains(QStringLiteral("*.[cC][uU][eE]")));

        QFileDialog audio;
        audio.setOption(QFileDialog::DontUseNativeDialog);
        configureFileDialog(audio, {QString(), true, false, {QStringLiteral("mp3"), QStringLiteral("ogg")}});
        QVERIFY(audio.nameFilters().constFirst().contains(QStringLiteral("*.[mM][pP]3 *.[oO][gG][gG]")));

        QFileDialog folder;
        folder.setOption(QFileDialog::DontUseNativeDialog);
        configureFileDialog(folder, {QString(), false, true, {}});
        QCOMPARE(folder.fileMode(), QFileDialog::Directory);
        QVERIFY(folder.testOption(QFileDialog::ShowDirsOnly));
    }
};

QTEST_MAIN(FileSelectionTest)
#include "tst_fileselection.moc"
