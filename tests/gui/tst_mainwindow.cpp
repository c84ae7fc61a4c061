#include "controllerfixture.h"

#include "MyTextField/mytextfield.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

// No letter marked with "&" twice; "&&" is a literal ampersand.
bool uniqueMnemonics(const QStringList &texts)
{
    QSet<QChar> seen;
    for (const QString &text : texts) {
        for (qsizetype i = text.indexOf(u'&'); i >= 0 && i + 1 < text.size(); i = text.indexOf(u'&', i + 2)) {
            if (text.at(i + 1) == u'&')
                continue;
            const QChar key = text.at(i + 1).toLower();
            if (seen.contains(key))
                return false;
            seen.insert(key);
        }
    }
    return true;
}

} // namespace

using namespace Qt::StringLiterals;

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { useOwnSettings(); }

    void startsWithSortedGenresYearAndNoSheet()
    {
        ControllerFixture f;
        QComboBox *genre = f.controller.genre;
        QCOMPARE(genre->count(), 192); // the interface file's placeholder item is gone
        for (int i = 1; i < genre->count(); ++i)
            QVERIFY(QString::compare(genre->itemText(i - 1), genre->itemText(i), Qt::CaseSensitive) < 0);
        QCOMPARE(genre->currentText(), QStringLiteral("Techno"));
        QCOMPARE(f.controller.album_year->text(), QString::number(QDate::currentDate().year()));
        QVERIFY(!f.controller._filePath);
        QCOMPARE(f.controller.table->model()->rowCount(), 0);
    }

    void readsASheetIntoFieldsAndAnEditableTable()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Live 1999"));
        QDir().mkpath(folder);
        const QString cue = folder + QStringLiteral("/live.cue");
        writeText(cue, workedExampleCue());
        ControllerFixture f;
        f.readCue(cue);
        f.readCue(cue); // a second read replaces, never doubles

        QCOMPARE(f.controller.home_dir->text(), folder);
        QCOMPARE(f.controller.album_title->text(), QStringLiteral("Live 1999"));
        QCOMPARE(f.interface.mainWindow()->windowTitle(), QStringLiteral("live.cue – Velvane"));
        QCOMPARE(f.controller.mp3_file->text(), folder + QStringLiteral("/Live Album.mp3"));
        QAbstractItemModel *model = f.controller.table->model();
        QCOMPARE(model->rowCount(), 3);
        QStringList row;
        for (int column = 0; column < model->columnCount(); ++column)
            row << model->index(1, column).data().toString();
        QCOMPARE(row, (QStringList{QStringLiteral("2"), QStringLiteral("The Band feat. Guest"), QStringLiteral(" - "),
                                   QStringLiteral("Second Song"), QStringLiteral("04:00:12")}));

        QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(model->setData(model->index(0, 3), QStringLiteral("  New: Title \"")));
        QCOMPARE(f.controller._tabData.at(0).value(QStringLiteral("title")), QStringLiteral("  New: Title \""));

        // A sheet naming no usable audio file keeps the audio field and type; the table shows the new rows.
        const QString wave = dir.filePath(QStringLiteral("wave.cue"));
        writeText(wave, "FILE \"song.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"Only\"\nINDEX 01 00:00:00\n");
        f.controller._isOgg = true;
        QSignalSpy reset(model, &QAbstractItemModel::modelReset);
        f.readCue(wave);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 3).data().toString(), QStringLiteral("Only"));
        QCOMPARE(f.controller.mp3_file->text(), folder + QStringLiteral("/Live Album.mp3"));
        QVERIFY(f.controller._isOgg);

        // A file without tracks says so when read, and the next good sheet takes the note away.
        auto *notice = f.interface.mainWindow()->findChild<QLabel *>(QStringLiteral("sheetNotice"));
        QVERIFY(notice->isHidden());
        const QString binary = dir.filePath(QStringLiteral("cover.cue"));
        writeText(binary, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
        f.readCue(binary);
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(!notice->isHidden());
        QCOMPARE(notice->text(), QStringLiteral("“cover.cue” lists no tracks; it may not be a cue sheet."));
        f.readCue(cue);
        QVERIFY(notice->isHidden());
    }

    // Alt+letter reaches one control per window (one item per menu); Tab leaves the table, arrows walk its cells.
    void keyboard()
    {
        ControllerFixture f;
        for (QWidget *window :
             {static_cast<QWidget *>(f.interface.mainWindow()), static_cast<QWidget *>(f.interface.statusSheet()),
              static_cast<QWidget *>(f.interface.feedbackSheet())}) {
            QStringList texts;
            // The sheets are the main window's children, but windows of their own.
            for (const QLabel *label : window->findChildren<QLabel *>())
                texts << (label->window() == window ? label->text() : QString());
            for (const QAbstractButton *button : window->findChildren<QAbstractButton *>())
                texts << (button->window() == window ? button->text() : QString());
            for (const QGroupBox *box : window->findChildren<QGroupBox *>())
                texts << box->title();
            if (auto *main = qobject_cast<QMainWindow *>(window)) {
                for (const QAction *menu : main->menuBar()->actions())
                    texts << menu->text();
                for (const QMenu *menu : main->menuBar()->findChildren<QMenu *>()) {
                    QStringList items;
                    for (const QAction *item : menu->actions())
                        items << item->text();
                    QVERIFY2(uniqueMnemonics(items), qPrintable(items.join(u'|')));
                }
            }
            QVERIFY2(uniqueMnemonics(texts), qPrintable(window->objectName() + u": "_s + texts.join(u'|')));
        }

        QTemporaryDir dir;
        const QString cue = dir.filePath(QStringLiteral("live.cue"));
        writeText(cue, workedExampleCue());
        f.readCue(cue);
        QMainWindow *window = f.interface.mainWindow();
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTableView *table = f.controller.table;
        table->setFocus();
        table->setCurrentIndex(table->model()->index(0, 1));
        QTest::keyClick(table, Qt::Key_Right);
        QTest::keyClick(table, Qt::Key_Down);
        QCOMPARE(table->currentIndex(), table->model()->index(1, 2));
        QTest::keyClick(table, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->findChild<QWidget *>(QStringLiteral("numberFiles")));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
