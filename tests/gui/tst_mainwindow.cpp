#include "controllerfixture.h"

#include "core/cue/tracktablemodel.h"
#include "coverview/coverview.h"
#include "support/pictures.h"

#include <QAction>
#include <QDate>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHash>
#include <QMenuBar>
#include <QProcess>
#include <QToolTip>

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

MyTextField *field(ControllerFixture &f, int tag)
{
    return QList<MyTextField *>{f.controller.cue_file, f.controller.mp3_file, f.controller.home_dir}[tag - 1];
}

QPushButton *chooseButton(ControllerFixture &f, int tag)
{
    return f.find<QPushButton>(
        QStringList{u"chooseCueButton"_s, u"chooseAudioButton"_s, u"chooseDestinationButton"_s}[tag - 1]);
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { useOwnSettings(); }

    void readsASheetIntoFieldsAndAnEditableTable()
    {
        ControllerFixture f;
        const QString cue = f.put(u"Live 1999/live.cue"_s, cueSheet({u"One"_s, u"Two"_s, u"Three"_s}, u"a.mp3"_s,
                                                                    u"PERFORMER \"The Band\"\n"_s));
        f.readCue(cue);
        f.readCue(cue); // a second read replaces, never doubles
        QCOMPARE((QStringList{f.controller.home_dir->text() + u'/', f.controller.mp3_file->text(),
                              f.interface.mainWindow()->windowTitle(), QString::number(f.rows())}),
                 (QStringList{f.dir.filePath(u"Live 1999/"_s), f.dir.filePath(u"Live 1999/a.mp3"_s),
                              u"live.cue – Velvane"_s, u"3"_s}));
        QAbstractItemModel *model = f.controller.table->model();
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
        QCOMPARE(row, (QStringList{u"2"_s, u"The Band"_s, u" - "_s, u"Two"_s, u"00:01:00"_s, u"a.mp3"_s, QString(),
                                   QString()}));
        // The number and the file take no edits, and the separator is out of reach of the keys and the mouse.
        QCOMPARE(editable, (QList<int>{1, 3, 4, 6, 7}));
        QCOMPARE(reachable, (QList<int>{0, 1, 3, 4, 5, 6, 7}));
        QCOMPARE(model->index(1, 3).data(Qt::ToolTipRole).toString(), u"Two"_s); // whole, when cut short
        QVERIFY(model->setData(model->index(0, 3), u"  New: Title \""_s));
        QCOMPARE(f.controller._tabData.at(0).value(u"title"_s), u"  New: Title \""_s);

        // A file without tracks says so when read, and the next good sheet takes the note away.
        auto *notice = f.find<QLabel>(u"sheetNotice"_s);
        f.readCue(f.put(u"cover.cue"_s, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)));
        QVERIFY(f.rows() == 0 && !notice->isHidden());
        QCOMPARE(notice->text(), u"“cover.cue” lists no tracks; it may not be a cue sheet."_s);
        f.readCue(cue);
        QVERIFY(notice->isHidden());
    }

    // The year field takes a year or nothing, and says so; what bypasses the keyboard is checked before a split.
    void theYearIsAYear()
    {
        ControllerFixture f;
        f.put(u"album.mp3"_s);
        f.readCue(f.put(u"live.cue"_s, cueSheet({u"One"_s})));
        QLineEdit *year = f.controller.album_year;
        f.interface.mainWindow()->show();
        year->clear();
        year->setFocus();
        QTest::keyClicks(year, u"'98"_s);
        QCOMPARE(year->text(), u"98"_s);
        QTRY_COMPARE(QToolTip::text(), u"A year is up to four digits, such as 1998; leave it empty for no year."_s);
        year->setText(u"'98"_s);
        QCOMPARE(f.splitRefusal(), QToolTip::text());
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
        QList<QStringList> groups;
        for (QWidget *window : QList<QWidget *>{main, f.interface.statusSheet(), f.interface.feedbackSheet()}) {
            groups << QStringList();
            // The sheets are the main window's children, but windows of their own.
            for (const QWidget *widget : window->findChildren<QWidget *>()) {
                if (widget->window() == window)
                    groups.last()
                        << widget->property(qobject_cast<const QGroupBox *>(widget) ? "title" : "text").toString();
            }
        }
        for (const QAction *menu : main->menuBar()->actions()) {
            groups.first() << menu->text();
            groups << QStringList();
            for (const QAction *item : menu->menu()->actions())
                groups.last() << item->text();
        }
        for (const QStringList &texts : groups)
            QVERIFY2(uniqueMnemonics(texts), qPrintable(texts.join(u'|')));

        f.readCue(f.put(u"live.cue"_s, cueSheet({u"One"_s})));
        main->show();
        QApplication::setActiveWindow(main);
        QVERIFY(QTest::qWaitForWindowActive(main));
        f.controller.table->setFocus();
        f.controller.table->setCurrentIndex(f.controller.table->model()->index(0, 1));
        QTest::keyClick(f.controller.table, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>(u"numberFiles"_s));
    }

    // The sheet's TITLE, REM DATE and REM GENRE fill the album fields, the genre matched in any case; one the list
    // lacks joins it for that album alone. The File, Composer and ISRC columns show only for a sheet that fills them.
    // The next sheet starts afresh from what it holds: else the folder's name, this year and Techno, whatever the
    // user or the sheet before set, and no extra columns.
    void readingASheetFillsAlbumFieldsAndColumns_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("line");      // ends the first track
        QTest::addColumn<QStringList>("album"); // title, year, genre
        QTest::addColumn<int>("column");        // shown; -1: none
        const QString folder = u"Queen - Jazz (1978) [MP3]"_s;
        const QString thisYear = QString::number(QDate::currentDate().year());
        QTest::newRow("all three; a songwriter")
            << u"TITLE \"Jazz\"\nREM DATE 1978\nREM GENRE Rock\n"_s << u"SONGWRITER \"Freddie Mercury\""_s
            << QStringList{u"Jazz"_s, u"1978"_s, u"Rock"_s} << TrackTableModel::kComposerColumn;
        QTest::newRow("genre in another case, a whole date; an ISRC")
            << u"REM GENRE \"hip-HOP\"\nREM DATE 1978-11-10\n"_s << u"ISRC GBUM71029604"_s
            << QStringList{folder, u"1978"_s, u"Hip-Hop"_s} << TrackTableModel::kIsrcColumn;
        QTest::newRow("a genre the list lacks; two files")
            << u"REM GENRE \"Dream Pop\"\n"_s << u"FILE \"side B.mp3\" MP3"_s
            << QStringList{folder, thisYear, u"Dream Pop"_s} << TrackTableModel::kFileColumn;
        QTest::newRow("none of them") << QString() << QString() << QStringList{folder, thisYear, u"Techno"_s} << -1;
    }
    void readingASheetFillsAlbumFieldsAndColumns()
    {
        QFETCH(QString, header);
        QFETCH(QString, line);
        QFETCH(QStringList, album);
        QFETCH(int, column);
        ControllerFixture f;
        const QString cue = f.put(u"Queen - Jazz (1978) [MP3]/jazz.cue"_s,
                                  cueSheet({u"One"_s, u"Two"_s}, u"album.mp3"_s, header)
                                      .replace("00:00:00\n", "00:00:00\n" + line.toUtf8() + '\n'));
        const QString plain = f.put(u"plain.cue"_s, cueSheet({u"One"_s, u"Two"_s}));
        const QString thisYear = QString::number(QDate::currentDate().year());
        QComboBox *genres = f.controller.genre;
        const int count = genres->count();
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
        QCOMPARE(
            (QStringList{f.controller.album_title->text(), f.controller.album_year->text(), genres->currentText()}),
            album);
        QCOMPARE(genres->count(), count + int(album.constLast() == u"Dream Pop"_s));
        for (int i = 2; i < genres->count(); ++i)
            QVERIFY(QString::compare(genres->itemText(i - 1), genres->itemText(i), Qt::CaseSensitive) < 0);
        QCOMPARE(shownColumns(), column < 0 ? QList<int>() : QList<int>{column});

        f.readCue(plain);
        QCOMPARE((QStringList{f.controller.album_year->text(), genres->currentText()}),
                 (QStringList{thisYear, u"Techno"_s}));
        QCOMPARE(genres->count(), count);
        QCOMPARE(shownColumns(), QList<int>());
    }

    // The cover found beside the album shows beside its fields, and what was found but is no image is told. A
    // dropped file that is no image is told and leaves the cover as it was; the keys choose and clear it.
    void coverBesideTheAlbumFields()
    {
        using velvane::test::pictureBytes;
        ControllerFixture f;
        f.put(u"Cover.jpg"_s, pictureBytes("JPG").first(400));
        const QString png = f.put(u"folder.png"_s, pictureBytes("PNG"));
        auto *view = f.find<CoverView>(u"coverView"_s);
        auto *notice = f.find<QLabel>(u"coverNotice"_s);

        f.readCue(f.put(u"jazz.cue"_s, cueSheet({u"One"_s})));
        QCOMPARE(view->picture().size(), QSize(64, 48));
        QVERIFY(!notice->isHidden());
        QCOMPARE(notice->text(), u"The cover “Cover.jpg” is not embedded: it is a JPEG image cut short."_s);

        dragAndDrop(view, {f.put(u"drawing.bmp"_s, pictureBytes("BMP"))});
        QVERIFY2(notice->text().contains(u"“drawing.bmp”"_s), qPrintable(notice->text()));
        QCOMPARE(view->picture().size(), QSize(64, 48));
        dragAndDrop(view, {f.put(u"other.jpg"_s, pictureBytes("JPG", 90, 30))});
        QVERIFY(notice->isHidden());
        QCOMPARE(view->picture().size(), QSize(90, 30));

        view->setFocus();
        QTest::keyClick(view, Qt::Key_Delete);
        QVERIFY(view->picture().isNull());
        f.panelChoice = png;
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(f.panelRequests.constFirst().types.contains(u"png"_s));
        QCOMPARE(view->picture().size(), QSize(64, 48));
    }

    // Only what a field takes lands in it: a sheet is read, and an audio file sets the type to cut.
    void drops_data()
    {
        QTest::addColumn<int>("tag");           // of the field dropped on
        QTest::addColumn<QStringList>("names"); // in the test's folder; a folder's ends with "/"
        QTest::addColumn<bool>("taken");
        QTest::newRow("cue") << 1 << QStringList{u"a.cue"_s} << true;
        QTest::newRow("capital .CUE") << 1 << QStringList{u"LOUD.CUE"_s} << false;
        QTest::newRow("first of two not a cue") << 1 << QStringList{u"a.mp3"_s, u"a.cue"_s} << false;
        QTest::newRow("folder named .cue") << 1 << QStringList{u"folder.cue/"_s} << false;
        QTest::newRow("web address") << 1 << QStringList{u"https://example.org/a.cue"_s} << false;
        QTest::newRow("ogg on audio") << 2 << QStringList{u"a.Ogg.ogg"_s} << true;
        QTest::newRow("ape on audio") << 2 << QStringList{u"a.ape"_s} << false;
        QTest::newRow("folder on destination") << 3 << QStringList{u"out/"_s} << true;
        QTest::newRow("file on destination") << 3 << QStringList{u"a.mp3"_s} << false;
    }
    void drops()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, names);
        QFETCH(bool, taken);
        ControllerFixture f;
        QStringList paths;
        for (const QString &name : names) {
            const bool folder = name.endsWith(u'/'), web = name.startsWith(u"https:"_s);
            if (!web)
                f.put(folder ? name + u".keep"_s : name, cueSheet({u"One"_s, u"Two"_s, u"Three"_s}));
            paths << (web ? name : f.dir.filePath(folder ? name.chopped(1) : name));
        }
        field(f, tag)->setText(u"before"_s);
        f.controller._audioFormat = velvane::AudioFormat::Mp3;

        // Every file drag offers a copy; a web address alone is no file drag.
        QCOMPARE(dragAndDrop(field(f, tag), paths), !paths.constFirst().startsWith(u"https:"_s));
        QCOMPARE(field(f, tag)->text(), taken ? paths.constFirst() : u"before"_s);
        QCOMPARE(f.rows(), taken && tag == 1 ? 3 : 0);
        QCOMPARE(f.controller._audioFormat == velvane::AudioFormat::Ogg, taken && tag == 2);
    }

    // A FLAC image dropped on the sheet field is read through the sheet inside it, and the window says so.
    void aFlacImageIsReadThroughItsSheet()
    {
        ControllerFixture f;
        const QString image = f.dir.filePath(u"image.flac"_s);
        const QString sheet = f.put(u"ripped.cue.txt"_s, cueSheet({u"A"_s, u"B"_s, u"C"_s}, u"Range.wav"_s));
        QCOMPARE(QProcess::execute(u"ffmpeg"_s, {u"-loglevel"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                                                 u"anoisesrc=d=2:c=pink"_s, u"-c:a"_s, u"flac"_s, image}),
                 0);
        QCOMPARE(QProcess::execute(u"metaflac"_s, {u"--set-tag-from-file=CUESHEET="_s + sheet, image}), 0);

        QVERIFY(dragAndDrop(f.controller.cue_file, {image}));
        QVERIFY(f.rows() == 3 && f.controller._audioFormat == velvane::AudioFormat::Flac);
        QCOMPARE(f.controller.mp3_file->text(), image);
        const auto *notice = f.find<QLabel>(u"sheetNotice"_s);
        QVERIFY2(!notice->isHidden() && notice->text().contains(u"inside \"image.flac\""_s),
                 qPrintable(notice->text()));
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
        ControllerFixture f;
        for (const char *name : {"a.cue", "B.CUE", "c.Cue", "d.txt", "e.cue.txt", "f.mp3", "g.OGG", "h.ogg", "i.wav",
                                 "j.flac", "k.ape", "sub.cue/x"})
            f.put(u"list/"_s + QLatin1String(name));
        field(f, tag)->setText(u"before"_s);
        chooseButton(f, tag)->click(); // cancelled
        QCOMPARE(field(f, tag)->text(), u"before"_s);

        PanelRequest request = f.panelRequests.constFirst();
        request.startFolder = f.dir.filePath(u"list"_s);
        QFileDialog panel;
        panel.setOption(QFileDialog::DontUseNativeDialog);
        configureFileDialog(panel, request);
        auto *files = panel.findChild<QFileSystemModel *>();
        const QModelIndex shown = files->index(request.startFolder);
        QTRY_COMPARE(files->rowCount(shown), listed.size());
        QStringList names;
        for (int row = 0; row < files->rowCount(shown); ++row)
            names << files->index(row, 0, shown).data().toString();
        names.sort();
        QCOMPARE(names, listed);
        // A folder is entered, not chosen, unless the panel chooses folders.
        QCOMPARE(panel.fileMode() == QFileDialog::Directory, tag == 3);

        // The sheet names an Ogg file; the chosen audio is one.
        f.panelChoice =
            QStringList{f.put(u"a.cue"_s, cueSheet({u"One"_s}, u"a.ogg"_s)), f.put(u"a.ogg"_s), f.dir.path()}[tag - 1];
        chooseButton(f, tag)->click();
        QCOMPARE(field(f, tag)->text(), *f.panelChoice);
        QCOMPARE(f.rows(), tag == 1 ? 1 : 0);
        QCOMPARE(f.controller._audioFormat == velvane::AudioFormat::Ogg, tag != 3);
    }

    // Of files opened together, the first is read; the menu's Open reads a sheet too. Enter in the cue sheet field
    // reads the sheet it names; until then, and once the field is cleared, Split cuts nothing rather than the sheet
    // read before.
    void aTypedSheetIsReadOnEnterAndSplitCutsOnlyTheSheetShown()
    {
        ControllerFixture f;
        const QString first = f.put(u"first.cue"_s, cueSheet({u"A"_s, u"B"_s}));
        const QString other = f.put(u"Other Album/other.cue"_s, cueSheet({u"Only"_s}, u"other.mp3"_s));
        f.controller.openFiles({f.put(u"LOUD.CUE"_s, cueSheet({u"A"_s, u"B"_s, u"C"_s})), first});
        QCOMPARE(f.rows(), 3);
        f.panelChoice = first;
        f.interface.mainWindow()->findChild<QAction *>(u"actionOpenCue"_s)->trigger();
        QCOMPARE(f.rows(), 2);
        MyTextField *cueField = f.controller.cue_file;

        cueField->selectAll();
        QTest::keyClicks(cueField, other);
        QCOMPARE(f.rows(), 2);
        QVERIFY2(f.splitRefusal().startsWith(u"The cue sheet field names a sheet that has not been read:\n"_s + other),
                 qPrintable(f.splitRefusal()));
        QVERIFY(!f.controller.isSplitting());

        QTest::keyClick(cueField, Qt::Key_Return);
        QCOMPARE(f.rows(), 1);
        QCOMPARE(f.controller.mp3_file->text(), f.dir.filePath(u"Other Album/other.mp3"_s));
        QCOMPARE(f.splitRefusal(), u"Audio-file not found!\nPlease select one!"_s); // the sheet shown passes

        cueField->clear();
        QVERIFY2(f.splitRefusal().startsWith(u"The cue sheet field is empty"_s), qPrintable(f.splitRefusal()));
        QTest::keyClick(cueField, Qt::Key_Return); // an empty field reads nothing
        QCOMPARE(f.rows(), 1);
    }

    // A panel opens in the folder of what its field holds, else in the last folder the user chose from.
    void panelsStartWhereTheFieldPointsElseWhereTheLastChoiceWas()
    {
        QSettings().clear();
        const QTemporaryDir lastChoice;
        const QString otherFolder = lastChoice.path();
        {
            ControllerFixture f;
            const QString cue = f.put(u"A/x.cue"_s, cueSheet({u"One"_s}));
            chooseButton(f, 3)->click();
            QCOMPARE(f.panelRequests.last().startFolder, QString()); // nothing known yet
            f.panelChoice = cue;
            chooseButton(f, 1)->click();
            f.panelChoice = otherFolder;
            chooseButton(f, 3)->click();
            f.panelChoice.reset();
            chooseButton(f, 2)->click(); // the sheet named "A/album.mp3"
            QCOMPARE(f.panelRequests.last().startFolder, f.dir.filePath(u"A"_s));
            f.controller.mp3_file->setText(u"/nowhere/a.mp3"_s);
            chooseButton(f, 2)->click();
            QCOMPARE(f.panelRequests.last().startFolder, otherFolder);
        }
        ControllerFixture next; // the last folder outlives the window
        chooseButton(next, 1)->click();
        QCOMPARE(next.panelRequests.last().startFolder, otherFolder);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
