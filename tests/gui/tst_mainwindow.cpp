#include "controllerfixture.h"

#include "core/cue/tracktablemodel.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "MyTextField/mytextfield.h"

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void startsWithSortedGenresYearAndNoSheet()
    {
        ControllerFixture f;
        QComboBox *genre = f.controller.genre;
        QCOMPARE(genre->count(), 192);
        QCOMPARE(genre->findText(QStringLiteral("Placeholder")), -1);
        for (int i = 1; i < genre->count(); ++i) {
            const QString a = genre->itemText(i - 1), b = genre->itemText(i);
            QVERIFY2(QString::compare(a, b, Qt::CaseSensitive) < 0, qPrintable(a + QStringLiteral(" / ") + b));
        }
        QCOMPARE(genre->currentText(), QStringLiteral("Techno"));

        QCOMPARE(f.controller.album_year->text(), QString::number(QDate::currentDate().year()));
        QCOMPARE(f.controller.album_year->text().size(), 4);
        QVERIFY(!f.controller._filePath);
        QCOMPARE(f.controller.table->model()->rowCount(), 0);
    }

    void readingTheWorkedExampleFillsFieldsAndTable()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Live 1999"));
        QDir().mkpath(folder);
        const QString cue = folder + QStringLiteral("/live.cue");
        writeText(cue, workedExampleCue());

        ControllerFixture f;
        f.readCue(cue);
        f.readCue(cue); // a second read replaces, never doubles

        QCOMPARE(f.controller._filePath.value_or(QString()), cue);
        QCOMPARE(f.controller.home_dir->text(), folder);
        QCOMPARE(f.controller.album_title->text(), QStringLiteral("Live 1999"));
        QCOMPARE(f.controller.mp3_file->text(), folder + QStringLiteral("/Live Album.mp3"));
        QVERIFY(!f.controller._isOgg);

        QAbstractItemModel *model = f.controller.table->model();
        QCOMPARE(model->rowCount(), 3);
        const auto cell = [model](int row, int column) {
            return model->index(row, column).data().toString();
        };
        QCOMPARE(cell(0, 0), QStringLiteral("1"));
        QCOMPARE(cell(2, 0), QStringLiteral("3"));
        QCOMPARE(cell(1, 1), QStringLiteral("The Band feat. Guest"));
        QCOMPARE(cell(1, 2), QStringLiteral(" - "));
        QCOMPARE(cell(1, 3), QStringLiteral("Second Song"));
        QCOMPARE(cell(1, 4), QStringLiteral("04:00:12"));
    }

    void editsAreStoredAsTypedAndANewReadingReloads()
    {
        QTemporaryDir dir;
        const QString cue = dir.filePath(QStringLiteral("a.cue"));
        writeText(cue, workedExampleCue());
        ControllerFixture f;
        f.readCue(cue);

        QAbstractItemModel *model = f.controller.table->model();
        QVERIFY(model->flags(model->index(0, 3)) & Qt::ItemIsEditable);
        QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(model->setData(model->index(0, 3), QStringLiteral("  New: Title \"")));
        QVERIFY(model->setData(model->index(2, 4), QStringLiteral("7:31")));
        QCOMPARE(f.controller._tabData.at(0).value(QStringLiteral("title")), QStringLiteral("  New: Title \""));
        QCOMPARE(f.controller._tabData.at(2).value(QStringLiteral("index")), QStringLiteral("7:31"));

        const QString other = dir.filePath(QStringLiteral("b.cue"));
        writeText(other, "FILE \"x.ogg\" OGG\nTRACK 01 AUDIO\nTITLE \"Only\"\nINDEX 01 00:00:00\n");
        QSignalSpy reset(model, &QAbstractItemModel::modelReset);
        f.readCue(other);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 3).data().toString(), QStringLiteral("Only"));
        QVERIFY(f.controller._isOgg);
    }

    void aSheetWithoutUsableAudioKeepsTheAudioFieldAndType()
    {
        QTemporaryDir dir;
        const QString ogg = dir.filePath(QStringLiteral("ogg.cue"));
        writeText(ogg, "FILE \"song.ogg\" OGG\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        const QString wave = dir.filePath(QStringLiteral("wave.cue"));
        writeText(wave, "FILE \"song.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
        ControllerFixture f;
        f.readCue(ogg);
        f.readCue(wave);
        QVERIFY(f.controller._isOgg);
        QCOMPARE(f.controller.mp3_file->text(), dir.filePath(QStringLiteral("song.ogg")));
        QCOMPARE(f.controller._filePath.value_or(QString()), wave);
    }

    void aMissingSheetEmptiesTheListButTakesItsPath()
    {
        QTemporaryDir dir;
        const QString cue = dir.filePath(QStringLiteral("a.cue"));
        writeText(cue, workedExampleCue());
        ControllerFixture f;
        f.readCue(cue);
        const QString gone = dir.filePath(QStringLiteral("gone/x.cue"));
        f.readCue(gone);
        QCOMPARE(f.controller.table->model()->rowCount(), 0);
        QCOMPARE(f.controller.home_dir->text(), dir.filePath(QStringLiteral("gone")));
        QCOMPARE(f.controller.album_title->text(), QStringLiteral("gone"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
