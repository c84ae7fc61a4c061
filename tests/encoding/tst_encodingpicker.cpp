#include "corpus.h"
#include "gui/controllerfixture.h"

class EncodingPickerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useOwnSettings(); }

    // The box lists the encodings under their languages. Picking one reads the sheet again: the user's
    // destination, album and chosen audio stay, the sheet's genre the user left alone follows, and edits in the table
    // go only when the user agrees.
    void pickingReadsTheSheetAgain()
    {
        // A Russian sheet as an old Windows ripper wrote it; its audio file's name is Cyrillic too.
        const QString sheet =
            u"REM GENRE \"Шансон\"\r\nFILE \"Зимняя сказка.mp3\" MP3\r\nTRACK 01 AUDIO\r\n"
            u"TITLE \"Снегопад\"\r\nINDEX 01 00:00:00\r\nTRACK 02 AUDIO\r\nTITLE \"Вальс на Неве\"\r\n"
            u"INDEX 01 03:20:00\r\n"_s;
        const auto misread = [](const QString &text) {
            return QString::fromLatin1(encodedWithIconv(text, u"KOI8-R"_s));
        };
        ControllerFixture f;
        QMainWindow *window = f.interface.mainWindow();
        QComboBox *box = f.find<QComboBox>(u"encoding"_s);
        QVERIFY(!box->isEnabled());
        f.readCue(f.put(u"winter.cue"_s, encodedWithIconv(sheet, u"KOI8-R"_s)));
        QVERIFY(box->isEnabled());
        QCOMPARE(box->currentIndex(), 1); // right under the first heading
        QCOMPARE(box->currentText() + f.cell(0), u"KOI8-RСнегопад"_s);

        f.controller.home_dir->setText(u"/somewhere/else"_s);
        f.controller.album_title->setText(u"Зима"_s);
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_E, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), box);
        QTest::keyClick(box, Qt::Key_Down); // over the heading "Western European"
        QCOMPARE(
            (QStringList{box->currentText(), f.cell(0), f.controller.mp3_file->text(), f.controller.home_dir->text(),
                         f.controller.album_title->text(), f.controller.genre->currentText()}),
            (QStringList{u"windows-1252"_s, misread(u"Снегопад"_s), f.dir.filePath(misread(u"Зимняя сказка.mp3"_s)),
                         u"/somewhere/else"_s, u"Зима"_s, misread(u"Шансон"_s)}));
        QVERIFY(f.alerts.isEmpty());

        // An edit in the table: asked first; Cancel keeps the edit and the encoding.
        QAbstractItemModel *model = f.controller.table->model();
        QVERIFY(model->setData(model->index(1, 3), u"Вальс"_s));
        f.alertAnswers = {1};
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(f.alerts.size(), 1);
        QCOMPARE(box->currentText() + f.cell(1), u"windows-1252Вальс"_s);

        // Agreeing reads the sheet again; an audio file chosen by hand stays.
        f.chooseAudio(f.put(u"by hand.mp3"_s));
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(f.alerts.size(), 2);
        QCOMPARE(box->currentText() + f.cell(0) + f.cell(1), u"KOI8-RСнегопадВальс на Неве"_s);
        QCOMPARE(f.controller.mp3_file->text(), f.dir.filePath(u"by hand.mp3"_s));
    }
};

QTEST_MAIN(EncodingPickerTest)
#include "tst_encodingpicker.moc"
