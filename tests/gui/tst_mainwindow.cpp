#include "controllerfixture.h"

#include "core/cue/tracktablemodel.h"
#include "coverview/coverview.h"
#include "support/pictures.h"
#include "support/splitters.h"

#include <QDate>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QMenuBar>
#include <QToolTip>

using velvane::TrackTableModel;

namespace {

// No letter marked with "&" twice; "&&" is a literal ampersand.
bool uniqueMnemonics(const QStringList &texts)
{
    QString seen;
    for (const QString &text : texts) {
        const QString key = QString(text).replace(u"&&"_s, u"__"_s).section(u'&', 1).left(1).toLower();
        if (!key.isEmpty() && std::exchange(seen, seen + key).contains(key))
            return false;
    }
    return true;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { useOwnSettings(); }

    // The year field takes a year or nothing, and says so; what bypasses the keyboard is checked before a split.
    void readsASheetIntoFieldsAndAnEditableTable()
    {
        ControllerFixture f;
        f.put(u"Live 1999/a.mp3"_s);
        const QString cue = f.put(u"Live 1999/live.cue"_s, cueSheet({u"One"_s, u"Two"_s, u"Three"_s}, u"a.mp3"_s,
                                                                    u"PERFORMER \"The Band\"\n"_s));
        f.readCue(cue);
        f.readCue(cue); // a second read replaces, never doubles
        QCOMPARE((QStringList{f.controller.home_dir->text() + u'/', f.controller.mp3_file->text(),
                              f.interface.mainWindow()->windowTitle(), QString::number(f.rows())}),
                 (QStringList{f.dir.filePath(u"Live 1999/"_s), f.dir.filePath(u"Live 1999/a.mp3"_s),
                              u"live.cue – Velvane"_s, u"3"_s}));
        QAbstractItemModel *model = f.controller.table->model();
        QStringList row, reach; // by column: "r" reached by the keys and the mouse, "e" edited too
        for (int column = 0; column < model->columnCount(); ++column) {
            const Qt::ItemFlags flags = model->flags(model->index(1, column));
            row << f.cell(1, column);
            reach << u"%1%2"_s.arg(flags & Qt::ItemIsEnabled ? u"r" : u"", flags & Qt::ItemIsEditable ? u"e" : u"");
        }
        QCOMPARE(row, (QStringList{u"2"_s, u"The Band"_s, u" - "_s, u"Two"_s, u"00:01:00"_s, u"a.mp3"_s, QString(),
                                   QString()}));
        // The number and the file take no edits, and the separator is out of reach.
        QCOMPARE(reach, (QStringList{u"r"_s, u"re"_s, QString(), u"re"_s, u"re"_s, u"r"_s, u"re"_s, u"re"_s}));
        QCOMPARE(model->index(1, 3).data(Qt::ToolTipRole).toString(), u"Two"_s); // whole, when cut short
        QVERIFY(model->setData(model->index(0, 3), u"  New: Title \""_s));
        QCOMPARE(f.controller._tabData.at(0).value(u"title"_s), u"  New: Title \""_s);

        // A file without tracks says so when read, and the next good sheet takes the note away.
        auto *notice = f.find<QLabel>(u"sheetNotice"_s);
        f.readCue(f.put(u"cover.cue"_s, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)));
        QVERIFY2(f.rows() == 0 && !notice->isHidden() && notice->text().startsWith(u"“cover.cue” lists no tracks"_s),
                 qPrintable(notice->text()));
        f.readCue(cue);
        QVERIFY(notice->isHidden());

        QLineEdit *year = f.controller.album_year;
        f.interface.mainWindow()->show();
        year->clear();
        year->setFocus();
        QTest::keyClicks(year, u"'98"_s);
        QCOMPARE(year->text(), u"98"_s);
        QTRY_COMPARE(QToolTip::text(), u"A year is up to four digits, such as 1998; leave it empty for no year."_s);
        year->setText(u"'98"_s);
        QCOMPARE(f.splitRefusal(), QToolTip::text());
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
        QTest::addColumn<int>("column");        // shown
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
        QComboBox *genres = f.controller.genre;
        QCOMPARE(genres->currentText(), u"Techno"_s); // as the window opens
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
        QCOMPARE(shownColumns(), QList<int>{column});

        f.readCue(plain);
        QCOMPARE((QStringList{f.controller.album_year->text(), genres->currentText()}),
                 (QStringList{QString::number(QDate::currentDate().year()), u"Techno"_s}));
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
        QCOMPARE(notice->isHidden() ? QString() : notice->text(),
                 u"The cover “Cover.jpg” is not embedded: it is a JPEG image cut short."_s);

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

    // A FLAC image dropped on the sheet field is read through the sheet inside it, and the window says so.
    void aFlacImageIsReadThroughItsSheet()
    {
        ControllerFixture f;
        const QString image = f.dir.filePath(u"image.flac"_s);
        f.put(u"ripped.cue.txt"_s, cueSheet({u"A"_s, u"B"_s, u"C"_s}, u"Range.wav"_s));
        const QString make = u"ffmpeg -loglevel error -f lavfi -i anoisesrc=d=2:c=pink image.flac && "
                             u"metaflac --set-tag-from-file=CUESHEET=ripped.cue.txt image.flac"_s;
        QCOMPARE(velvane::test::runTool(u"sh"_s, {u"-c"_s, make}, f.dir.path()).exitCode, 0);

        QVERIFY(dragAndDrop(f.controller.cue_file, {image}));
        QVERIFY(f.rows() == 3 && f.controller._audioFormat == velvane::AudioFormat::Flac &&
                f.controller.mp3_file->text() == image);
        const auto *notice = f.find<QLabel>(u"sheetNotice"_s);
        QVERIFY2(!notice->isHidden() && notice->text().contains(u"inside \"image.flac\""_s),
                 qPrintable(notice->text()));
    }

    // A field takes only what it is for, dropped or chosen in its Choose button's panel, which lists only that, in any
    // letter case: a sheet is read, and an audio file sets the type to cut. The panel opens in the folder the field
    // points to, else where the last choice was, in this window or the next.
    void eachFieldTakesWhatItIsFor_data()
    {
        QTest::addColumn<int>("tag");             // of the field and of its button
        QTest::addColumn<QStringList>("listed");  // of a folder holding one of each kind, sorted
        QTest::addColumn<QStringList>("refused"); // dropped in turn; "+" joins the names of one drag
        QTest::addColumn<QString>("taken");
        const QString folder = u"sub.cue"_s; // a folder is listed to be opened, whatever its name
        QTest::newRow("cue sheet") << 1 << QStringList{u"B.CUE"_s, u"a.cue"_s, u"c.Cue"_s, u"j.flac"_s, folder}
                                   << QStringList{u"B.CUE"_s, folder, u"f.mp3+a.cue"_s, u"https://example.org/a.cue"_s}
                                   << u"a.cue"_s;
        QTest::newRow("audio") << 2 << QStringList{u"f.mp3"_s, u"g.OGG"_s, u"h.ogg"_s, u"i.wav"_s, u"j.flac"_s, folder}
                               << QStringList{u"k.ape"_s} << u"h.ogg"_s;
        QTest::newRow("destination") << 3 << QStringList{folder} << QStringList{u"f.mp3"_s} << folder;
    }
    void eachFieldTakesWhatItIsFor()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, refused);
        QFETCH(QString, taken);
        QSettings().clear();
        ControllerFixture f;
        for (const char *name : {"a.cue", "B.CUE", "c.Cue", "d.txt", "e.cue.txt", "f.mp3", "g.OGG", "h.ogg", "i.wav",
                                 "j.flac", "k.ape", "sub.cue/x"})
            f.put(QLatin1String(name), cueSheet({u"One"_s, u"Two"_s, u"Three"_s}));
        auto *target = f.find<MyTextField>(QStringList{u"cue_file"_s, u"mp3_file"_s, u"home_dir"_s}[tag - 1]);
        const QString button =
            QStringList{u"chooseCueButton"_s, u"chooseAudioButton"_s, u"chooseDestinationButton"_s}[tag - 1];
        const auto lands = [&](const QString &text, int rows, velvane::AudioFormat format) {
            return target->text() == text && f.rows() == rows && f.controller._audioFormat == format;
        };
        const velvane::AudioFormat format = tag == 2 ? velvane::AudioFormat::Ogg : velvane::AudioFormat::Mp3;
        target->setText(u"before"_s);
        f.controller._audioFormat = velvane::AudioFormat::Mp3;
        for (const QString &drag : refused) {
            QStringList paths;
            for (const QString &name : drag.split(u'+'))
                paths << (name.startsWith(u"https:"_s) ? name : f.dir.filePath(name));
            // Every file drag offers a copy; a web address alone is no file drag.
            QCOMPARE(dragAndDrop(target, paths), !drag.startsWith(u"https:"_s));
        }
        f.find<QPushButton>(button)->click(); // cancelled
        QVERIFY(lands(u"before"_s, 0, velvane::AudioFormat::Mp3));

        PanelRequest request = f.panelRequests.constFirst();
        request.startFolder = f.dir.path();
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

        f.panelChoice = f.dir.filePath(taken);
        f.find<QPushButton>(button)->click();
        QVERIFY(lands(*f.panelChoice, tag == 1 ? 3 : 0, format));
        f.controller.awakeFromNib(); // an empty table
        target->setText(u"before"_s);
        f.controller._audioFormat = velvane::AudioFormat::Mp3;
        QVERIFY(dragAndDrop(target, {*f.panelChoice}));
        QVERIFY(lands(*f.panelChoice, tag == 1 ? 3 : 0, format));

        const QString sub = f.dir.filePath(u"sub.cue"_s), last = tag == 3 ? sub : f.dir.path();
        f.panelChoice.reset();
        target->setText(tag == 3 ? f.dir.path() : sub + u"/x"_s);
        f.find<QPushButton>(button)->click();
        target->setText(u"/nowhere/x"_s);
        f.find<QPushButton>(button)->click();
        ControllerFixture next;
        next.find<QPushButton>(button)->click();
        // Before any choice, and with no path in the field, there is nothing to go by.
        QCOMPARE((QStringList{f.panelRequests.at(0).startFolder, f.panelRequests.at(2).startFolder,
                              f.panelRequests.at(3).startFolder, next.panelRequests.constFirst().startFolder}),
                 (QStringList{QString(), tag == 3 ? f.dir.path() : sub, last, last}));
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

        QTest::keyClick(cueField, Qt::Key_Return);
        QCOMPARE(f.rows(), 1);
        QCOMPARE(f.controller.mp3_file->text(), f.dir.filePath(u"Other Album/other.mp3"_s));
        QCOMPARE(f.splitRefusal(), u"Audio-file not found!\nPlease select one!"_s); // the sheet shown passes

        cueField->clear();
        QVERIFY2(f.splitRefusal().startsWith(u"The cue sheet field is empty"_s), qPrintable(f.splitRefusal()));
        QTest::keyClick(cueField, Qt::Key_Return); // an empty field reads nothing
        QCOMPARE(f.rows(), 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
