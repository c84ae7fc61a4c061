#include "controllerfixture.h"

#include "core/cue/tracktablemodel.h"
#include "coverview/coverview.h"
#include "support/pictures.h"

#include <QAbstractButton>
#include <QDate>
#include <QDialog>
#include <QGroupBox>
#include <QHash>
#include <QMenu>
#include <QMenuBar>
#include <QToolTip>

using namespace Qt::StringLiterals;
using velvane::TrackTableModel;

namespace {

// No letter marked with "&" twice; "&&" is a literal ampersand.
bool uniqueMnemonics(const QStringList &texts)
{
    QHash<QChar, bool> seen;
    for (const QString &text : texts) {
        for (qsizetype i = text.indexOf(u'&'); i >= 0 && i + 1 < text.size(); i = text.indexOf(u'&', i + 2)) {
            if (text.at(i + 1) != u'&' && std::exchange(seen[text.at(i + 1).toLower()], true))
                return false;
        }
    }
    return true;
}

QByteArray sheetWith(const QString &header, const QString &lastLineOfFirstTrack = {})
{
    return (header + u"FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\n%1\n"
                     u"TRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 01 01:00:00\n"_s.arg(lastLineOfFirstTrack))
        .toUtf8();
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { useOwnSettings(); }

    void readsASheetIntoFieldsAndAnEditableTable()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"Live 1999"_s);
        const QString cue = folder + u"/live.cue"_s;
        QVERIFY(QDir().mkpath(folder) && writeFile(cue, workedExampleCue()));
        ControllerFixture f;
        f.readCue(cue);
        f.readCue(cue); // a second read replaces, never doubles

        QCOMPARE(f.controller.home_dir->text(), folder);
        QCOMPARE(f.interface.mainWindow()->windowTitle(), u"live.cue – Velvane"_s);
        QCOMPARE(f.controller.mp3_file->text(), folder + u"/Live Album.mp3"_s);
        QAbstractItemModel *model = f.controller.table->model();
        QCOMPARE(model->rowCount(), 3);
        QStringList row;
        QList<int> editable, reachable;
        for (int column = 0; column < model->columnCount(); ++column) {
            row << f.cell(1, column);
            const Qt::ItemFlags flags = model->flags(model->index(1, column));
            if (flags & Qt::ItemIsEditable)
                editable << column;
            if (flags & Qt::ItemIsEnabled)
                reachable << column;
        }
        QCOMPARE(row, (QStringList{u"2"_s, u"The Band feat. Guest"_s, u" - "_s, u"Second Song"_s, u"04:00:12"_s,
                                   u"Live Album.mp3"_s, QString(), QString()}));
        // The number and the file take no edits, and the separator is out of reach of the keys and the mouse.
        QCOMPARE(editable, (QList<int>{1, 3, 4, 6, 7}));
        QCOMPARE(reachable, (QList<int>{0, 1, 3, 4, 5, 6, 7}));
        QCOMPARE(model->index(1, 3).data(Qt::ToolTipRole).toString(), u"Second Song"_s); // whole, when cut short
        QVERIFY(model->setData(model->index(0, 3), u"  New: Title \""_s));
        QCOMPARE(f.controller._tabData.at(0).value(u"title"_s), u"  New: Title \""_s);

        // A file without tracks says so when read, and the next good sheet takes the note away.
        auto *notice = f.interface.mainWindow()->findChild<QLabel *>(u"sheetNotice"_s);
        const QString binary = dir.filePath(u"cover.cue"_s);
        writeFile(binary, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
        f.readCue(binary);
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(!notice->isHidden());
        QCOMPARE(notice->text(), u"“cover.cue” lists no tracks; it may not be a cue sheet."_s);
        f.readCue(cue);
        QVERIFY(notice->isHidden());
    }

    // The year field takes a year or nothing, and says so; what bypasses the keyboard is checked before a split.
    void theYearIsAYear()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"live.cue"_s), workedExampleCue()) &&
                writeFile(dir.filePath(u"Live Album.mp3"_s), "audio"));
        ControllerFixture f;
        f.readCue(dir.filePath(u"live.cue"_s));
        QLineEdit *year = f.controller.album_year;
        f.interface.mainWindow()->show();
        year->clear();
        year->setFocus();
        QTest::keyClicks(year, u"'98"_s);
        QCOMPARE(year->text(), u"98"_s);
        QTRY_COMPARE(QToolTip::text(), u"A year is up to four digits, such as 1998; leave it empty for no year."_s);
        QTest::keyClicks(year, u"765"_s);
        QCOMPARE(year->text(), u"9876"_s);
        year->setText(u"'98"_s);
        f.controller.startSplit();
        QCOMPARE(f.alerts.size(), 1);
        QCOMPARE(f.alerts.constFirst().message, QToolTip::text());
        QVERIFY(!f.controller.isSplitting());
    }

    // Without a browser, a web link shows its address, so that it can be copied.
    void aLinkWithoutABrowserShowsItsAddress()
    {
        ControllerFixture f;
        f.browserOpens = false;
        f.controller.gotoWebsite();
        QCOMPARE(f.alerts.size(), 1);
        QVERIFY2(f.alerts.constFirst().message.endsWith(u"\nhttps://velvane.org/"_s),
                 qPrintable(f.alerts.constFirst().message));
        f.browserOpens = true;
        f.controller.donateEuro();
        QCOMPARE(f.alerts.size(), 1);
    }

    // Alt+letter reaches one control per window (one item per menu); Tab leaves the table for the options.
    void keyboard()
    {
        ControllerFixture f;
        QMainWindow *main = f.interface.mainWindow();
        for (QWidget *window : QList<QWidget *>{main, f.interface.statusSheet(), f.interface.feedbackSheet()}) {
            QStringList texts;
            // The sheets are the main window's children, but windows of their own.
            for (const QLabel *label : window->findChildren<QLabel *>())
                texts << (label->window() == window ? label->text() : QString());
            for (const QAbstractButton *button : window->findChildren<QAbstractButton *>())
                texts << (button->window() == window ? button->text() : QString());
            for (const QGroupBox *box : window->findChildren<QGroupBox *>())
                texts << box->title();
            for (const QAction *menu : window == main ? main->menuBar()->actions() : QList<QAction *>())
                texts << menu->text();
            QVERIFY2(uniqueMnemonics(texts), qPrintable(window->objectName() + u": "_s + texts.join(u'|')));
        }
        for (const QMenu *menu : main->menuBar()->findChildren<QMenu *>()) {
            QStringList items;
            for (const QAction *item : menu->actions())
                items << item->text();
            QVERIFY2(uniqueMnemonics(items), qPrintable(items.join(u'|')));
        }

        QTemporaryDir dir;
        writeFile(dir.filePath(u"live.cue"_s), workedExampleCue());
        f.readCue(dir.filePath(u"live.cue"_s));
        main->show();
        QApplication::setActiveWindow(main);
        QVERIFY(QTest::qWaitForWindowActive(main));
        f.controller.table->setFocus();
        f.controller.table->setCurrentIndex(f.controller.table->model()->index(0, 1));
        QTest::keyClick(f.controller.table, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), main->findChild<QWidget *>(u"numberFiles"_s));
    }

    // The sheet's TITLE, REM DATE and REM GENRE fill the album fields, the genre matched in any case; one the list
    // lacks joins it for that album alone. The File, Composer and ISRC columns show only for a sheet that fills them.
    // The next sheet starts afresh from what it holds: else the folder's name, this year and Techno, whatever the
    // user or the sheet before set, and no extra columns.
    void readingASheetFillsAlbumFieldsAndColumns_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("line"); // ends the first track
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("genre");
        QTest::addColumn<bool>("added");
        QTest::addColumn<int>("column"); // shown; -1: none
        QTest::addColumn<QString>("value");
        const QString folder = u"Queen - Jazz (1978) [MP3]"_s;
        const QString thisYear = QString::number(QDate::currentDate().year());
        QTest::newRow("all three; a songwriter")
            << u"TITLE \"Jazz\"\nREM DATE 1978\nREM GENRE Rock\n"_s << u"SONGWRITER \"Freddie Mercury\""_s << u"Jazz"_s
            << u"1978"_s << u"Rock"_s << false << TrackTableModel::kComposerColumn << u"Freddie Mercury"_s;
        QTest::newRow("genre in another case, a whole date; an ISRC")
            << u"REM GENRE \"hip-HOP\"\nREM DATE 1978-11-10\n"_s << u"ISRC GBUM71029604"_s << folder << u"1978"_s
            << u"Hip-Hop"_s << false << TrackTableModel::kIsrcColumn << u"GBUM71029604"_s;
        QTest::newRow("a genre the list lacks; two files")
            << u"REM GENRE \"Dream Pop\"\n"_s << u"FILE \"side B.mp3\" MP3"_s << folder << thisYear << u"Dream Pop"_s
            << true << TrackTableModel::kFileColumn << u"side B.mp3"_s;
        QTest::newRow("none of them") << QString() << QString() << folder << thisYear << u"Techno"_s << false << -1
                                      << QString();
    }
    void readingASheetFillsAlbumFieldsAndColumns()
    {
        QFETCH(QString, header);
        QFETCH(QString, line);
        QFETCH(QString, title);
        QFETCH(QString, year);
        QFETCH(QString, genre);
        QFETCH(bool, added);
        QFETCH(int, column);
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"Queen - Jazz (1978) [MP3]"_s);
        const QString cue = folder + u"/jazz.cue"_s;
        const QString plain = dir.filePath(u"plain.cue"_s);
        QVERIFY(QDir().mkpath(folder) && writeFile(cue, sheetWith(header, line)) && writeFile(plain, sheetWith({})));
        ControllerFixture f;
        QComboBox *genres = f.controller.genre;
        const int count = genres->count();
        QCOMPARE(genres->itemText(0), u"(none)"_s); // first, out of the sort
        f.controller.album_year->setText(u"2001"_s);
        genres->setCurrentText(u"Jazz"_s);
        const auto shownColumns = [&f] {
            QList<int> shown;
            for (int c : {TrackTableModel::kFileColumn, TrackTableModel::kComposerColumn, TrackTableModel::kIsrcColumn})
                if (!f.controller.table->isColumnHidden(c))
                    shown << c;
            return shown;
        };

        f.readCue(cue);
        QCOMPARE(f.controller.album_title->text(), title);
        QCOMPARE(f.controller.album_year->text(), year);
        QCOMPARE(genres->currentText(), genre);
        QCOMPARE(genres->currentData().toString(), genre);
        QCOMPARE(genres->count(), count + int(added));
        for (int i = 2; i < genres->count(); ++i)
            QVERIFY(QString::compare(genres->itemText(i - 1), genres->itemText(i), Qt::CaseSensitive) < 0);
        QCOMPARE(shownColumns(), column < 0 ? QList<int>() : QList<int>{column});
        if (column >= 0)
            QCOMPARE(f.cell(column == TrackTableModel::kFileColumn ? 1 : 0, column), value);

        f.readCue(plain);
        QCOMPARE(genres->count(), count);
        QCOMPARE(genres->currentText(), u"Techno"_s);
        QCOMPARE(f.controller.album_year->text(), QString::number(QDate::currentDate().year()));
        QCOMPARE(shownColumns(), QList<int>());
    }

    // The cover found beside the album shows beside its fields, and what was found but is no image is told. A
    // dropped file that is no image is told and leaves the cover as it was; the keys choose and clear it.
    void coverBesideTheAlbumFields()
    {
        using velvane::test::pictureBytes;
        QTemporaryDir dir;
        const QString cue = dir.filePath(u"jazz.cue"_s);
        QVERIFY(writeFile(cue, sheetWith({})) &&
                writeFile(dir.filePath(u"Cover.jpg"_s), pictureBytes("JPG").first(400)) &&
                writeFile(dir.filePath(u"folder.png"_s), pictureBytes("PNG")) &&
                writeFile(dir.filePath(u"drawing.bmp"_s), pictureBytes("BMP")) &&
                writeFile(dir.filePath(u"other.jpg"_s), pictureBytes("JPG", 90, 30)));
        ControllerFixture f;
        auto *view = f.interface.mainWindow()->findChild<CoverView *>(u"coverView"_s);
        auto *notice = f.interface.mainWindow()->findChild<QLabel *>(u"coverNotice"_s);
        QVERIFY(view && notice);

        f.readCue(cue);
        QCOMPARE(view->picture().size(), QSize(64, 48));
        QVERIFY(!notice->isHidden());
        QCOMPARE(notice->text(), u"The cover “Cover.jpg” is not embedded: it is a JPEG image cut short."_s);

        dragAndDrop(view, {dir.filePath(u"drawing.bmp"_s)});
        QVERIFY2(notice->text().contains(u"“drawing.bmp”"_s), qPrintable(notice->text()));
        QCOMPARE(view->picture().size(), QSize(64, 48));
        dragAndDrop(view, {dir.filePath(u"other.jpg"_s)});
        QVERIFY(notice->isHidden());
        QCOMPARE(view->picture().size(), QSize(90, 30));

        view->setFocus();
        QTest::keyClick(view, Qt::Key_Delete);
        QVERIFY(view->picture().isNull());
        f.panelChoice = dir.filePath(u"folder.png"_s);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(f.panelRequests.size(), 1);
        QVERIFY(f.panelRequests.constFirst().types.contains(u"png"_s));
        QCOMPARE(view->picture().size(), QSize(64, 48));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
