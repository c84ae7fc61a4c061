#include "corpus.h"
#include "gui/controllerfixture.h"

#include "core/encoding/encodingcatalog.h"
#include "MyTextField/mytextfield.h"

#include <QApplication>
#include <QComboBox>
#include <QMainWindow>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A Russian sheet as an old Windows ripper wrote it; its audio file's name is Cyrillic too.
const QString russianSheet =
    u"PERFORMER \"Ольга Смирнова\"\r\nREM GENRE \"Шансон\"\r\nFILE \"Зимняя сказка.mp3\" MP3\r\n"
    u"TRACK 01 AUDIO\r\nTITLE \"Снегопад\"\r\nINDEX 01 00:00:00\r\n"
    u"TRACK 02 AUDIO\r\nTITLE \"Вальс на Неве\"\r\nINDEX 01 03:20:00\r\n"_s;

QString title(const ControllerFixture &f, int row)
{
    return f.controller.table->model()->index(row, 3).data().toString();
}

} // namespace

class EncodingPickerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useOwnSettings(); }
    void pickingReadsTheSheetAgain();
};

// The box lists every encoding once under its language. Picking one reads the sheet again: the user's destination,
// album and chosen audio stay, the sheet's genre the user left alone follows, and edits in the table go only when
// the user agrees.
void EncodingPickerTest::pickingReadsTheSheetAgain()
{
    QTemporaryDir dir;
    const QString cue = dir.filePath(u"winter.cue"_s);
    QVERIFY(writeFile(cue, encodedWithIconv(russianSheet, u"KOI8-R"_s)));
    ControllerFixture f;
    QComboBox *box = f.interface.mainWindow()->findChild<QComboBox *>(u"encoding"_s);
    QVERIFY(!box->isEnabled());
    f.readCue(cue);
    QVERIFY(box->isEnabled());
    QCOMPARE(box->currentText(), u"KOI8-R"_s);
    QCOMPARE(title(f, 0), u"Снегопад"_s);
    const auto *items = qobject_cast<QStandardItemModel *>(box->model());
    QCOMPARE(box->currentIndex(), 1); // right under the first heading
    QStringList names;
    QString language;
    for (int row = 0; row < box->count(); ++row) {
        const bool heading = !items->item(row)->isEnabled();
        QCOMPARE(heading, box->itemData(row).isNull());
        if (heading)
            language = box->itemText(row);
        else if (language != u"Likely"_s)
            names.append(box->itemText(row));
    }
    QCOMPARE(names.removeDuplicates(), 0);
    QCOMPARE(names.size(), velvane::textEncodings().size());

    f.controller.home_dir->setText(u"/somewhere/else"_s);
    f.controller.album_title->setText(u"Зима"_s);
    QMainWindow *window = f.interface.mainWindow();
    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), box);
    QTest::keyClick(box, Qt::Key_Down); // over the heading "Western European"
    QCOMPARE(box->currentText(), u"windows-1252"_s);
    QCOMPARE(title(f, 0), QString::fromLatin1(encodedWithIconv(u"Снегопад"_s, u"KOI8-R"_s)));
    QCOMPARE(f.controller.mp3_file->text(),
             dir.filePath(QString::fromLatin1(encodedWithIconv(u"Зимняя сказка.mp3"_s, u"KOI8-R"_s))));
    QCOMPARE(f.controller.home_dir->text(), u"/somewhere/else"_s);
    QCOMPARE(f.controller.album_title->text(), u"Зима"_s);
    QCOMPARE(f.controller.genre->currentText(), QString::fromLatin1(encodedWithIconv(u"Шансон"_s, u"KOI8-R"_s)));
    QVERIFY(f.alerts.isEmpty());

    // An edit in the table: asked first; Cancel keeps the edit and the encoding.
    QAbstractItemModel *model = f.controller.table->model();
    QVERIFY(model->setData(model->index(1, 3), u"Вальс"_s));
    f.alertAnswers = {1};
    QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(f.alerts.size(), 1);
    QVERIFY2(f.alerts.constLast().message.contains(u"replaces your edits in the table"_s),
             qPrintable(f.alerts.constLast().message));
    QCOMPARE(title(f, 1), u"Вальс"_s);
    QCOMPARE(box->currentText(), u"windows-1252"_s);

    // Agreeing reads the sheet again; an audio file chosen by hand stays.
    const QString chosen = dir.filePath(u"by hand.mp3"_s);
    writeFile(chosen, "audio");
    f.panelChoice = chosen;
    f.controller.select(window->findChild<QPushButton *>(u"chooseAudioButton"_s));
    f.alertAnswers = {0};
    QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(f.alerts.size(), 2);
    QCOMPARE(box->currentText(), u"KOI8-R"_s);
    QCOMPARE(title(f, 0), u"Снегопад"_s);
    QCOMPARE(title(f, 1), u"Вальс на Неве"_s);
    QCOMPARE(f.controller.mp3_file->text(), chosen);
}

QTEST_MAIN(EncodingPickerTest)
#include "tst_encodingpicker.moc"
