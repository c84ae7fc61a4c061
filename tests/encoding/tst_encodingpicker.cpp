#include "corpus.h"
#include "gui/controllerfixture.h"

#include "core/encoding/encodingcatalog.h"

#include <QStandardItemModel>

using namespace Qt::StringLiterals;

class EncodingPickerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useOwnSettings(); }

    // The box lists every encoding once under its language. Picking one reads the sheet again: the user's
    // destination, album and chosen audio stay, the sheet's genre the user left alone follows, and edits in the table
    // go only when the user agrees.
    void pickingReadsTheSheetAgain()
    {
        // A Russian sheet as an old Windows ripper wrote it; its audio file's name is Cyrillic too.
        const QString sheet =
            u"PERFORMER \"Ольга Смирнова\"\r\nREM GENRE \"Шансон\"\r\nFILE \"Зимняя сказка.mp3\" MP3\r\n"
            u"TRACK 01 AUDIO\r\nTITLE \"Снегопад\"\r\nINDEX 01 00:00:00\r\n"
            u"TRACK 02 AUDIO\r\nTITLE \"Вальс на Неве\"\r\nINDEX 01 03:20:00\r\n"_s;
        const auto misread = [](const QString &text) {
            return QString::fromLatin1(encodedWithIconv(text, u"KOI8-R"_s));
        };
        QTemporaryDir dir;
        const QString cue = dir.filePath(u"winter.cue"_s);
        QVERIFY(writeFile(cue, encodedWithIconv(sheet, u"KOI8-R"_s)));
        ControllerFixture f;
        QMainWindow *window = f.interface.mainWindow();
        QComboBox *box = window->findChild<QComboBox *>(u"encoding"_s);
        QVERIFY(!box->isEnabled());
        f.readCue(cue);
        QVERIFY(box->isEnabled());
        QCOMPARE(box->currentIndex(), 1); // right under the first heading
        QCOMPARE(box->currentText(), u"KOI8-R"_s);
        QCOMPARE(f.cell(0), u"Снегопад"_s);
        QStringList names;
        QString language;
        for (int row = 0; row < box->count(); ++row) {
            const bool heading = !qobject_cast<QStandardItemModel *>(box->model())->item(row)->isEnabled();
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
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_E, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), box);
        QTest::keyClick(box, Qt::Key_Down); // over the heading "Western European"
        QCOMPARE(box->currentText(), u"windows-1252"_s);
        QCOMPARE(f.cell(0), misread(u"Снегопад"_s));
        QCOMPARE(f.controller.mp3_file->text(), dir.filePath(misread(u"Зимняя сказка.mp3"_s)));
        QCOMPARE(f.controller.home_dir->text(), u"/somewhere/else"_s);
        QCOMPARE(f.controller.album_title->text(), u"Зима"_s);
        QCOMPARE(f.controller.genre->currentText(), misread(u"Шансон"_s));
        QVERIFY(f.alerts.isEmpty());

        // An edit in the table: asked first; Cancel keeps the edit and the encoding.
        QAbstractItemModel *model = f.controller.table->model();
        QVERIFY(model->setData(model->index(1, 3), u"Вальс"_s));
        f.alertAnswers = {1};
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(f.alerts.size(), 1);
        QVERIFY2(f.alerts.constLast().message.contains(u"replaces your edits in the table"_s),
                 qPrintable(f.alerts.constLast().message));
        QCOMPARE(f.cell(1), u"Вальс"_s);
        QCOMPARE(box->currentText(), u"windows-1252"_s);

        // Agreeing reads the sheet again; an audio file chosen by hand stays.
        const QString chosen = dir.filePath(u"by hand.mp3"_s);
        writeFile(chosen, "audio");
        f.chooseAudio(chosen);
        f.alertAnswers = {0};
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(f.alerts.size(), 2);
        QCOMPARE(box->currentText(), u"KOI8-R"_s);
        QCOMPARE(f.cell(0) + f.cell(1), u"СнегопадВальс на Неве"_s);
        QCOMPARE(f.controller.mp3_file->text(), chosen);
    }
};

QTEST_MAIN(EncodingPickerTest)
#include "tst_encodingpicker.moc"
