#include "controllerfixture.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QProcess>

namespace {

MyTextField *field(ControllerFixture &f, int tag)
{
    return QList<MyTextField *>{f.controller.cue_file, f.controller.mp3_file, f.controller.home_dir}[tag - 1];
}

QPushButton *chooseButton(ControllerFixture &f, int tag)
{
    const char *names[] = {"chooseCueButton", "chooseAudioButton", "chooseDestinationButton"};
    return f.interface.mainWindow()->findChild<QPushButton *>(QLatin1String(names[tag - 1]));
}

int rows(const ControllerFixture &f)
{
    return f.controller.table->model()->rowCount();
}

} // namespace

using namespace Qt::StringLiterals;

class FileSelectionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_cue, m_upperCue, m_mp3, m_ogg;

    QString file(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void initTestCase()
    {
        useOwnSettings();
        m_cue = file("album.cue");
        m_upperCue = file("LOUD.CUE");
        m_mp3 = file("album.mp3");
        m_ogg = file("album.Ogg.ogg");
        QVERIFY(writeFile(m_cue, workedExampleCue(u"album.ogg"_s)) && writeFile(m_upperCue, workedExampleCue()) &&
                QDir().mkpath(file("folder.cue")));
        for (const QString &path : {m_mp3, m_ogg, file("image.flac"), file("image.wav"), file("image.ape")})
            QVERIFY(writeFile(path, "x"));
    }

    void drops_data()
    {
        QTest::addColumn<int>("tag"); // of the field dropped on
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("taken");
        QTest::newRow("cue") << 1 << QStringList{m_cue} << true;
        QTest::newRow("capital .CUE") << 1 << QStringList{m_upperCue} << false;
        QTest::newRow("first of three not a cue") << 1 << QStringList{m_mp3, m_cue, m_cue} << false;
        QTest::newRow("folder named .cue") << 1 << QStringList{file("folder.cue")} << false;
        QTest::newRow("web address") << 1 << QStringList{u"https://example.org/a.cue"_s} << false;
        QTest::newRow("mp3 on audio") << 2 << QStringList{m_mp3} << true;
        QTest::newRow("ogg on audio") << 2 << QStringList{m_ogg} << true;
        QTest::newRow("flac on audio") << 2 << QStringList{file("image.flac")} << true;
        QTest::newRow("wav on audio") << 2 << QStringList{file("image.wav")} << true;
        QTest::newRow("ape on audio") << 2 << QStringList{file("image.ape")} << false;
        QTest::newRow("cue on audio") << 2 << QStringList{m_cue} << false;
        QTest::newRow("folder on destination") << 3 << QStringList{m_dir.path()} << true;
        QTest::newRow("file on destination") << 3 << QStringList{m_mp3} << false;
    }
    void drops()
    {
        QFETCH(int, tag);
        QFETCH(QStringList, paths);
        QFETCH(bool, taken);
        ControllerFixture f;
        field(f, tag)->setText(u"before"_s);
        f.controller._audioFormat = paths.constFirst() == m_mp3 ? velvane::AudioFormat::Ogg : velvane::AudioFormat::Mp3;

        // Every file drag offers a copy; a web address alone is no file drag.
        QCOMPARE(dragAndDrop(field(f, tag), paths), !paths.constFirst().startsWith(u"https:"_s));
        QCOMPARE(field(f, tag)->text(), taken ? paths.constFirst() : u"before"_s);
        QCOMPARE(rows(f), taken && tag == 1 ? 3 : 0);
        if (taken && tag == 2) // the audio type follows a dropped file
            QCOMPARE(f.controller._audioFormat == velvane::AudioFormat::Ogg, paths.constFirst() == m_ogg);
    }

    // A FLAC image dropped on the sheet field is read through the sheet inside it, and the window says which it read.
    void aFlacImageIsReadThroughItsSheet_data()
    {
        QTest::addColumn<bool>("inside");
        QTest::addColumn<QString>("said");
        QTest::newRow("inside") << true << u"inside \"image.flac\""_s;
        QTest::newRow("none") << false << u"carries no cue sheet"_s;
    }
    void aFlacImageIsReadThroughItsSheet()
    {
        QFETCH(bool, inside);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString image = dir.filePath(u"image.flac"_s);
        const QString sheet = dir.filePath(u"ripped.cue.txt"_s);
        QVERIFY(writeFile(sheet, workedExampleCue(u"Range.wav"_s)));
        QCOMPARE(QProcess::execute(u"ffmpeg"_s, {u"-loglevel"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                                                 u"anoisesrc=d=2:c=pink"_s, u"-c:a"_s, u"flac"_s, image}),
                 0);
        if (inside)
            QCOMPARE(QProcess::execute(u"metaflac"_s, {u"--set-tag-from-file=CUESHEET="_s + sheet, image}), 0);

        ControllerFixture f;
        QVERIFY(dragAndDrop(f.controller.cue_file, {image}));
        QCOMPARE(rows(f), inside ? 3 : 0);
        QCOMPARE(f.controller.mp3_file->text(), inside ? image : QString());
        QCOMPARE(f.controller._audioFormat == velvane::AudioFormat::Flac, inside);
        const auto *notice = f.interface.mainWindow()->findChild<QLabel *>(u"sheetNotice"_s);
        QVERIFY2(!notice->isHidden() && notice->text().contains(said), qPrintable(notice->text()));
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
        QTemporaryDir dir;
        for (const char *name :
             {"a.cue", "B.CUE", "c.Cue", "d.txt", "e.cue.txt", "f.mp3", "g.OGG", "h.ogg", "i.wav", "j.flac", "k.ape"})
            writeFile(dir.filePath(QLatin1String(name)), "x");
        QVERIFY(QDir().mkpath(dir.filePath(u"sub.cue"_s)));
        ControllerFixture f;
        field(f, tag)->setText(u"before"_s);
        chooseButton(f, tag)->click(); // cancelled
        QCOMPARE(field(f, tag)->text(), u"before"_s);

        PanelRequest request = f.panelRequests.constFirst();
        request.startFolder = dir.path();
        QFileDialog panel;
        panel.setOption(QFileDialog::DontUseNativeDialog);
        configureFileDialog(panel, request);
        auto *files = panel.findChild<QFileSystemModel *>();
        const QModelIndex shown = files->index(dir.path());
        QTRY_COMPARE(files->rowCount(shown), listed.size());
        QStringList names;
        for (int row = 0; row < files->rowCount(shown); ++row)
            names << files->index(row, 0, shown).data().toString();
        names.sort();
        QCOMPARE(names, listed);
        // A folder is entered, not chosen, unless the panel chooses folders.
        QCOMPARE(panel.fileMode() == QFileDialog::Directory, tag == 3);

        f.panelChoice = QStringList{m_cue, m_ogg, m_dir.path()}[tag - 1];
        chooseButton(f, tag)->click();
        QCOMPARE(field(f, tag)->text(), *f.panelChoice);
        QCOMPARE(rows(f), tag == 1 ? 3 : 0);
        // The sheet names an Ogg file; the chosen audio is one.
        QCOMPARE(f.controller._audioFormat == velvane::AudioFormat::Ogg, tag != 3);
    }

    void onlyAChosenOrOpenedSheetIsRead()
    {
        ControllerFixture f;
        f.controller.openFiles({m_cue, m_upperCue, m_mp3});
        QCOMPARE(f.controller._filePath.value_or(QString()), m_cue);
        QCOMPARE(rows(f), 3);
        f.panelChoice = m_upperCue; // the menu's Open offers sheets alone
        f.interface.mainWindow()->findChild<QAction *>(u"actionOpenCue"_s)->trigger();
        QCOMPARE(f.panelRequests.constFirst().types, (QStringList{u"cue"_s, u"flac"_s}));
        QCOMPARE(f.controller._filePath.value_or(QString()), m_upperCue);
    }

    // Enter in the cue sheet field reads the sheet it names; until then, and once the field is cleared, Split cuts
    // nothing rather than the sheet read before.
    void aTypedSheetIsReadOnEnterAndSplitCutsOnlyTheSheetShown()
    {
        QTemporaryDir dir;
        const QString other = dir.filePath(u"Other Album/other.cue"_s);
        QVERIFY(QDir().mkpath(dir.filePath(u"Other Album"_s)));
        writeFile(other, "FILE \"other.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"Only\"\nINDEX 01 00:00:00\n");
        ControllerFixture f;
        f.readCue(m_cue);
        MyTextField *cueField = f.controller.cue_file;
        const auto refusal = [&f] {
            f.alerts.clear();
            f.controller.startSplit();
            return f.alerts.isEmpty() ? QString() : f.alerts.constFirst().message;
        };

        cueField->selectAll();
        QTest::keyClicks(cueField, other);
        QCOMPARE(rows(f), 3);
        QVERIFY2(refusal().startsWith(u"The cue sheet field names a sheet that has not been read:\n"_s + other),
                 qPrintable(refusal()));
        QVERIFY(!f.controller.isSplitting());

        QTest::keyClick(cueField, Qt::Key_Return);
        QCOMPARE(f.controller._filePath.value_or(QString()), other);
        QCOMPARE(rows(f), 1);
        QCOMPARE(f.controller.mp3_file->text(), dir.filePath(u"Other Album/other.mp3"_s));
        QCOMPARE(refusal(), u"Audio-file not found!\nPlease select one!"_s); // the sheet shown passes

        cueField->clear();
        QVERIFY2(refusal().startsWith(u"The cue sheet field is empty"_s), qPrintable(refusal()));
        QTest::keyClick(cueField, Qt::Key_Return); // an empty field reads nothing
        QCOMPARE(rows(f), 1);
    }

    // A panel opens in the folder of what its field holds, else in the last folder the user chose from.
    void panelsStartWhereTheFieldPointsElseWhereTheLastChoiceWas()
    {
        QSettings().clear();
        QTemporaryDir dir;
        const QString albumFolder = dir.filePath(u"A"_s);
        const QString otherFolder = dir.filePath(u"B"_s);
        QVERIFY(QDir().mkpath(albumFolder) && QDir().mkpath(otherFolder));
        writeFile(albumFolder + u"/x.cue"_s, workedExampleCue());
        {
            ControllerFixture f;
            chooseButton(f, 3)->click();
            QCOMPARE(f.panelRequests.last().startFolder, QString()); // nothing known yet
            f.panelChoice = albumFolder + u"/x.cue"_s;
            chooseButton(f, 1)->click();
            f.panelChoice = otherFolder;
            chooseButton(f, 3)->click();
            f.panelChoice.reset();
            chooseButton(f, 2)->click(); // the sheet named "A/Live Album.mp3"
            QCOMPARE(f.panelRequests.last().startFolder, albumFolder);
            f.controller.mp3_file->setText(u"/nowhere/a.mp3"_s);
            chooseButton(f, 2)->click();
            QCOMPARE(f.panelRequests.last().startFolder, otherFolder);
        }
        ControllerFixture next; // the last folder outlives the window
        chooseButton(next, 1)->click();
        QCOMPARE(next.panelRequests.last().startFolder, otherFolder);
    }
};

QTEST_MAIN(FileSelectionTest)
#include "tst_fileselection.moc"
