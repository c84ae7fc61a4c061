#include "controllerfixture.h"

#include "MyTextField/mytextfield.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QMainWindow>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

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
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
