#include "controllerfixture.h"

#include "core/cue/tracktablemodel.h"
#include "coverview/coverview.h"
#include "MyTextField/mytextfield.h"
#include "support/pictures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSet>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

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

void dropFile(QWidget *target, const QString &path)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPointF centre = QRectF(target->rect()).center();
    QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

QByteArray sheetWith(const QString &header, const QString &secondTrackLine = {})
{
    return (header + QStringLiteral("FILE \"album.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\n"
                                    "TRACK 02 AUDIO\nTITLE \"Two\"\n%1\nINDEX 01 01:00:00\n")
                         .arg(secondTrackLine))
        .toUtf8();
}

} // namespace

using namespace Qt::StringLiterals;

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
        // Genres sorted, the placeholder item gone; Techno and this year to start with.
        QComboBox *genre = f.controller.genre;
        for (int i = 2; i < genre->count(); ++i)
            QVERIFY(QString::compare(genre->itemText(i - 1), genre->itemText(i), Qt::CaseSensitive) < 0);
        QCOMPARE(genre->currentText(), u"Techno"_s);
        QCOMPARE(f.controller.album_year->text(), QString::number(QDate::currentDate().year()));
        // The first entry writes no genre; it stays first, out of the sort.
        QCOMPARE(genre->itemText(0), u"(none)"_s);
        QCOMPARE(genre->itemData(0).toString(), QString());
        f.readCue(cue);
        f.readCue(cue); // a second read replaces, never doubles

        QCOMPARE(f.controller.home_dir->text(), folder);
        QCOMPARE(f.controller.album_title->text(), u"Live Album"_s);
        QCOMPARE(f.interface.mainWindow()->windowTitle(), u"live.cue – Velvane"_s);
        QCOMPARE(f.controller.mp3_file->text(), folder + u"/Live Album.mp3"_s);
        QAbstractItemModel *model = f.controller.table->model();
        QCOMPARE(model->rowCount(), 3);
        QStringList row;
        for (int column = 0; column < model->columnCount(); ++column)
            row << model->index(1, column).data().toString();
        QCOMPARE(row, (QStringList{u"2"_s, u"The Band feat. Guest"_s, u" - "_s, u"Second Song"_s, u"04:00:12"_s,
                                   u"Live Album.mp3"_s, QString(), QString()}));
        QVERIFY(f.controller.table->isColumnHidden(5)); // one audio file: no File column

        // Performer, title and start time take edits; the number and the file do not, and the separator between
        // performer and title is out of reach of the keys and the mouse.
        QList<int> editable, reachable;
        for (int column = 0; column < model->columnCount(); ++column) {
            const Qt::ItemFlags flags = model->flags(model->index(1, column));
            if (flags & Qt::ItemIsEditable)
                editable << column;
            if (flags & Qt::ItemIsEnabled)
                reachable << column;
        }
        QCOMPARE(editable, (QList<int>{1, 3, 4, 6, 7}));
        QCOMPARE(reachable, (QList<int>{0, 1, 3, 4, 5, 6, 7}));
        QVERIFY(model->setData(model->index(0, 3), u"  New: Title \""_s));
        QCOMPARE(f.controller._tabData.at(0).value(u"title"_s), u"  New: Title \""_s);

        // A file without tracks says so when read, and the next good sheet takes the note away.
        auto *notice = f.interface.mainWindow()->findChild<QLabel *>(u"sheetNotice"_s);
        QVERIFY(notice->isHidden());
        const QString binary = dir.filePath(u"cover.cue"_s);
        writeFile(binary, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
        f.readCue(binary);
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(!notice->isHidden());
        QCOMPARE(notice->text(), u"“cover.cue” lists no tracks; it may not be a cue sheet."_s);
        f.readCue(cue);
        QVERIFY(notice->isHidden());
    }

    // Each sheet read starts again from its own genre and this year; the year field takes a year or nothing, and
    // says so.
    void yearAndGenreStartAfreshAndTheYearIsAYear()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(u"first.cue"_s);
        const QString second = dir.filePath(u"second.cue"_s);
        writeFile(first, workedExampleCue());
        writeFile(second, workedExampleCue());
        writeFile(dir.filePath(u"Live Album.mp3"_s), "audio");
        ControllerFixture f;
        f.readCue(first);
        f.controller.genre->setCurrentText(u"Jazz"_s);
        f.controller.album_year->setText(u"1998"_s);
        f.readCue(second);
        QCOMPARE(f.controller.genre->currentText(), u"Electronic"_s);
        QCOMPARE(f.controller.album_year->text(), QString::number(QDate::currentDate().year()));

        QLineEdit *year = f.controller.album_year;
        f.interface.mainWindow()->show();
        year->clear();
        year->setFocus();
        QTest::keyClicks(year, u"'98"_s);
        QCOMPARE(year->text(), u"98"_s);
        QTRY_COMPARE(QToolTip::text(), u"A year is up to four digits, such as 1998; leave it empty for no year."_s);
        QTest::keyClicks(year, u"765"_s);
        QCOMPARE(year->text(), u"9876"_s);
        // What bypasses the keyboard is checked before a split.
        year->setText(u"'98"_s);
        f.controller.startSplit();
        QCOMPARE(f.alerts.size(), 1);
        QCOMPARE(f.alerts.constFirst().message, QToolTip::text());
        QVERIFY(!f.controller.isSplitting());
    }

    // A long title is cut with an ellipsis and shown whole as its tool tip; several files add a File column.
    void theTableShowsWhatDoesNotFit()
    {
        QTemporaryDir dir;
        const QString cue = dir.filePath(u"sides.cue"_s);
        const QString title = u"Tres long titre "_s + QString(300, u'x');
        writeFile(cue, u"FILE \"side A.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"%1\"\nINDEX 01 00:00:00\n"
                       u"FILE \"side B.mp3\" MP3\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n"_s.arg(title)
                           .toUtf8());
        ControllerFixture f;
        f.readCue(cue);
        QTableView *table = f.controller.table;
        QVERIFY(!table->wordWrap());
        QCOMPARE(table->textElideMode(), Qt::ElideRight);
        QCOMPARE(table->model()->index(0, 3).data(Qt::ToolTipRole).toString(), title);
        QVERIFY(!table->isColumnHidden(5));
        QCOMPARE(table->model()->headerData(5, Qt::Horizontal).toString(), u"File"_s);
        QCOMPARE(table->model()->index(1, 5).data().toString(), u"side B.mp3"_s);
        QVERIFY(!(table->model()->flags(table->model()->index(1, 5)) & Qt::ItemIsEditable));
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
        const QList<QWidget *> windows{f.interface.mainWindow(), f.interface.statusSheet(),
                                       f.interface.feedbackSheet()};
        for (QWidget *window : windows) {
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
        for (const char *name : {"chooseCueButton", "chooseAudioButton", "chooseDestinationButton"}) {
            const QString text = f.interface.mainWindow()->findChild<QAbstractButton *>(QLatin1String(name))->text();
            QVERIFY2(text.contains(u'&'), qPrintable(text));
        }

        QTemporaryDir dir;
        const QString cue = dir.filePath(u"live.cue"_s);
        writeFile(cue, workedExampleCue());
        f.readCue(cue);
        QMainWindow *window = f.interface.mainWindow();
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTableView *table = f.controller.table;
        table->setFocus();
        table->setCurrentIndex(table->model()->index(0, 1));
        QTest::keyClick(table, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->findChild<QWidget *>(u"numberFiles"_s));
    }

    // The sheet's TITLE, REM DATE and REM GENRE fill the album fields, the genre matched in any case; one the list
    // lacks joins it for that album alone. What the sheet leaves out starts from the folder's name, this year and
    // Techno.
    void albumFieldsFromTheSheet_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("genre");
        QTest::addColumn<bool>("added");
        const QString folder = u"Queen - Jazz (1978) [MP3]"_s;
        const QString thisYear = QString::number(QDate::currentDate().year());
        QTest::newRow("all three") << u"TITLE \"Jazz\"\nREM DATE 1978\nREM GENRE Rock\n"_s << u"Jazz"_s << u"1978"_s
                                   << u"Rock"_s << false;
        QTest::newRow("genre in another case, a whole date")
            << u"REM GENRE \"hip-HOP\"\nREM DATE 1978-11-10\n"_s << folder << u"1978"_s << u"Hip-Hop"_s << false;
        QTest::newRow("a genre the list lacks")
            << u"REM GENRE \"Dream Pop\"\n"_s << folder << thisYear << u"Dream Pop"_s << true;
        QTest::newRow("none of them") << QString() << folder << thisYear << u"Techno"_s << false;
    }

    void albumFieldsFromTheSheet()
    {
        QFETCH(QString, header);
        QFETCH(QString, title);
        QFETCH(QString, year);
        QFETCH(QString, genre);
        QFETCH(bool, added);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"Queen - Jazz (1978) [MP3]"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString cue = folder + u"/jazz.cue"_s;
        const QString plain = dir.filePath(u"plain.cue"_s);
        QVERIFY(writeFile(cue, sheetWith(header)) && writeFile(plain, sheetWith({})));
        ControllerFixture f;
        const int genres = f.controller.genre->count();
        f.controller.album_year->setText(u"2001"_s);
        f.controller.genre->setCurrentText(u"Jazz"_s);

        f.readCue(cue);
        QCOMPARE(f.controller.album_title->text(), title);
        QCOMPARE(f.controller.album_year->text(), year);
        QCOMPARE(f.controller.genre->currentText(), genre);
        QCOMPARE(f.controller.genre->currentData().toString(), genre);
        QCOMPARE(f.controller.genre->count(), genres + int(added));
        for (int i = 2; i < f.controller.genre->count(); ++i)
            QVERIFY(QString::compare(f.controller.genre->itemText(i - 1), f.controller.genre->itemText(i)) < 0);

        f.readCue(plain);
        QCOMPARE(f.controller.genre->count(), genres);
        QCOMPARE(f.controller.genre->currentText(), u"Techno"_s);
    }

    // Composer and ISRC columns show only for a sheet that fills them, and hide again for one that does not.
    void composerAndIsrcColumns_data()
    {
        QTest::addColumn<QString>("trackLine");
        QTest::addColumn<bool>("composer");
        QTest::addColumn<bool>("isrc");
        QTest::newRow("neither") << QString() << false << false;
        QTest::newRow("a songwriter") << u"SONGWRITER \"Freddie Mercury\""_s << true << false;
        QTest::newRow("an ISRC") << u"ISRC GBUM71029604"_s << false << true;
    }

    void composerAndIsrcColumns()
    {
        QFETCH(QString, trackLine);
        QFETCH(bool, composer);
        QFETCH(bool, isrc);
        QTemporaryDir dir;
        const QString cue = dir.filePath(u"jazz.cue"_s);
        const QString plain = dir.filePath(u"plain.cue"_s);
        QVERIFY(writeFile(cue, sheetWith({}, trackLine)) && writeFile(plain, sheetWith({})));
        ControllerFixture f;
        f.readCue(cue);
        QTableView *table = f.controller.table;
        const int composerColumn = velvane::TrackTableModel::kComposerColumn;
        const int isrcColumn = velvane::TrackTableModel::kIsrcColumn;
        QCOMPARE(!table->isColumnHidden(composerColumn), composer);
        QCOMPARE(!table->isColumnHidden(isrcColumn), isrc);
        QCOMPARE(table->model()->index(1, composer ? composerColumn : isrcColumn).data().toString(),
                 trackLine.section(u' ', 1).remove(u'"'));
        f.readCue(plain);
        QVERIFY(table->isColumnHidden(composerColumn) && table->isColumnHidden(isrcColumn));
    }

    // The cover found beside the album shows beside its fields, and what was found but is no image is told. A
    // dropped file that is no image is told and leaves the cover as it was; the keys choose and clear it.
    void coverBesideTheAlbumFields()
    {
        QTemporaryDir dir;
        const QString cue = dir.filePath(u"jazz.cue"_s);
        QVERIFY(writeFile(cue, sheetWith({})));
        QVERIFY(writeFile(dir.filePath(u"Cover.jpg"_s), velvane::test::pictureBytes("JPG").first(400)));
        QVERIFY(writeFile(dir.filePath(u"folder.png"_s), velvane::test::pictureBytes("PNG")));
        QVERIFY(writeFile(dir.filePath(u"drawing.bmp"_s), velvane::test::pictureBytes("BMP")));
        QVERIFY(writeFile(dir.filePath(u"other.jpg"_s), velvane::test::pictureBytes("JPG", 90, 30)));
        ControllerFixture f;
        auto *view = f.interface.mainWindow()->findChild<CoverView *>(u"coverView"_s);
        auto *notice = f.interface.mainWindow()->findChild<QLabel *>(u"coverNotice"_s);
        QVERIFY(view && notice);
        QVERIFY(view->picture().isNull());

        f.readCue(cue);
        QCOMPARE(view->picture().size(), QSize(64, 48));
        QVERIFY(!notice->isHidden());
        QCOMPARE(notice->text(), u"The cover “Cover.jpg” is not embedded: it is a JPEG image cut short."_s);

        dropFile(view, dir.filePath(u"drawing.bmp"_s));
        QVERIFY2(notice->text().contains(u"“drawing.bmp”"_s), qPrintable(notice->text()));
        QCOMPARE(view->picture().size(), QSize(64, 48));
        dropFile(view, dir.filePath(u"other.jpg"_s));
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
