#include "import_cue/import_cue.h"

#include "components/tags/tagapi.h"
#include "core/cue/embeddedsheet.h"
#include "core/cue/tracktablemodel.h"
#include "core/split/albumfields.h"
#include "import_cue/encodingpicker.h"
#include "import_cue/preferences.h"
#include "import_cue/splitsession.h"
#include "import_cue/webactions.h"
#include "MyTextField/mytextfield.h"
#include "ui_feedbackFenster.h"
#include "ui_hauptFenster.h"
#include "ui_statusFenster.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QToolTip>

#include <algorithm>

namespace {

template <typename Form, typename Window> std::unique_ptr<Form> builtOn(Window *window)
{
    auto form = std::make_unique<Form>();
    form->setupUi(window);
    return form;
}

} // namespace

import_cue::import_cue(QMainWindow *mainWindow, QDialog *statusSheet, QDialog *feedbackSheet,
                       ControllerServices services, QObject *parent)
    : QObject(parent)
    , m_main(builtOn<Ui::hauptFenster>(mainWindow))
    , m_status(builtOn<Ui::statusFenster>(statusSheet))
    , m_web(std::make_unique<WebActions>(feedbackSheet, mainWindow, m_main->updateButton, m_main->actionUpdate,
                                         services.alert, services.browser))
    , album_title(m_main->album_title)
    , album_year(m_main->album_year)
    , cue_file(m_main->cue_file)
    , cuePath(m_main->cuePath)
    , genre(m_main->genre)
    , hauptFenster(mainWindow)
    , home_dir(m_main->home_dir)
    , mp3_file(m_main->mp3_file)
    , processed(m_status->processed)
    , statusBar(m_status->statusBar)
    , statusFenster(statusSheet)
    , table(m_main->table)
    , processing(m_status->processing)
    , charLeft(m_web->form().charLeft)
    , mailaddy(m_web->form().mailaddy)
    , feedbackFenster(feedbackSheet)
    , feedbackInfos(m_web->form().feedbackInfos)
    , feedbackMessage(m_web->form().feedbackMessage)
    , closeButton(m_status->closeButton)
    , m_services(std::move(services))
{
    for (MyTextField *field : {cue_file, mp3_file, home_dir})
        field->setDelegate(this);
    m_encoding = new EncodingPicker(
        m_main->encoding, [this](const velvane::TextEncoding &encoding) { return readAgainWith(encoding); }, this);
    setUpTable();
    connectMainActions();
    connectSplitActions();
}

import_cue::~import_cue() = default;

void import_cue::setUpTable()
{
    m_model = new velvane::TrackTableModel(_tabData, this);
    table->setModel(m_model);
    // The title takes the spare width, so long titles stay readable and the columns fill the table.
    QHeaderView *header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(3, QHeaderView::Stretch);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    // One line a row: a long title is cut with an ellipsis, and its tool tip shows it whole.
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideRight);
    table->setColumnHidden(velvane::TrackTableModel::kFileColumn, true);
}

void import_cue::connectMainActions()
{
    for (QPushButton *button : {m_main->chooseCueButton, m_main->chooseAudioButton, m_main->chooseDestinationButton})
        connect(button, &QPushButton::clicked, this, [this, button] { select(button); });
    QAction *openCue = m_main->actionOpenCue;
    openCue->setProperty("tag", int(PathKind::CueSheet));
    connect(openCue, &QAction::triggered, this, [this, openCue] { select(openCue); });

    // A typed path counts like a chosen one; textEdited leaves out the changes the program makes itself.
    connect(mp3_file, &QLineEdit::textEdited, this, &import_cue::takeAudioFromUser);
    // Each keystroke in the cue sheet field reads nothing; Enter reads the sheet it names, as choosing it would.
    connect(cue_file, &QLineEdit::returnPressed, this, &import_cue::readTypedCue);

    album_year->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")), album_year));
    connect(album_year, &QLineEdit::inputRejected, this, [this] {
        QToolTip::showText(album_year->mapToGlobal(QPoint(0, album_year->height())), yearHint(), album_year);
    });

    connect(m_main->splitButton, &QPushButton::clicked, this, &import_cue::startSplit);
    connect(m_main->actionSplit, &QAction::triggered, this, &import_cue::startSplit);
    connect(m_main->actionQuit, &QAction::triggered, hauptFenster, &QMainWindow::close);

    const auto both = [this](QPushButton *button, QAction *action, void (WebActions::*slot)()) {
        connect(button, &QPushButton::clicked, m_web.get(), slot);
        connect(action, &QAction::triggered, m_web.get(), slot);
    };
    both(m_main->feedbackButton, m_main->actionFeedback, &WebActions::openFeedback);
    both(m_main->updateButton, m_main->actionUpdate, &WebActions::search_for_update);
    both(m_main->websiteButton, m_main->actionWebsite, &WebActions::gotoWebsite);
    both(m_main->donateDollarButton, m_main->actionDonateDollar, &WebActions::donateDollar);
    both(m_main->donateEuroButton, m_main->actionDonateEuro, &WebActions::donateEuro);

    const auto remembered = [this](QCheckBox *box, const char *key) {
        box->setChecked(velvane::preference(QLatin1String(key)));
        connect(box, &QCheckBox::toggled, this, [key](bool on) { velvane::setPreference(QLatin1String(key), on); });
    };
    remembered(m_main->numberFiles, velvane::kNumberFilesKey);
    remembered(m_main->setID3, velvane::kSetID3Key);
    remembered(m_main->wavAsFlac, velvane::kWavAsFlacKey);
}

void import_cue::awakeFromNib()
{
    _filePath.reset();
    _tabData.clear();
    m_model->reload();

    QStringList genres = TagAPI().getGenreList();
    // Case-sensitive, by character value: capitals sort before small letters.
    std::sort(genres.begin(), genres.end(),
              [](const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseSensitive) < 0; });
    genre->clear();
    // The first entry writes no genre, as the command line does without --genre.
    genre->addItem(QStringLiteral("(none)"), QString());
    for (const QString &name : std::as_const(genres))
        genre->addItem(name, name);
    showAlbumFields(velvane::albumFieldsForSheet(QDate::currentDate()));
}

void import_cue::showAlbumFields(const velvane::AlbumFields &fields)
{
    album_year->setText(fields.year);
    const int index = fields.genre.isEmpty()
                          ? 0
                          : genre->findData(fields.genre, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    genre->setCurrentIndex(qMax(0, index));
}

QString import_cue::yearHint()
{
    return QStringLiteral("A year is up to four digits, such as 1998; leave it empty for no year.");
}

void import_cue::readTypedCue()
{
    const QString typed = cue_file->text();
    if (typed.isEmpty())
        return;
    commitOpenEdit();
    if (_filePath == typed && _tabData != m_readTracks &&
        m_services.alert({QStringLiteral("Attention!"),
                          QStringLiteral("Reading the cue sheet again replaces your edits in the table with the "
                                         "sheet's own text."),
                          {QStringLiteral("Read Again"), QStringLiteral("Cancel")}}) != 0)
        return;
    controlTextDidChange(QStringLiteral("newCue"));
}

void import_cue::readCueFile()
{
    applyCueReading(cue_file->text());
}

void import_cue::showAudioSource()
{
    const auto files = m_sheetAudioFiles.size();
    if (files < 2) {
        m_main->audioFilesNote->hide();
        return;
    }
    const bool chosen = m_audioSource == AudioSource::User;
    m_main->audioFilesNote->setText(chosen ? QStringLiteral("for all tracks")
                                           : QStringLiteral("first of %1 files").arg(files));
    // Tool tips take markup whenever they look like it, so the names are escaped.
    const QString intro = chosen
                              ? QStringLiteral("Chosen by hand, so every track is cut from this file. The sheet names:")
                              : QStringLiteral("Each track is cut from its own file. The sheet names:");
    m_main->audioFilesNote->setToolTip(QStringLiteral("<p style='white-space:pre'>%1\n%2</p>")
                                           .arg(intro, m_sheetAudioFiles.join(QLatin1Char('\n')).toHtmlEscaped()));
    m_main->audioFilesNote->show();
}

void import_cue::applyCueReading(const QString &path, const velvane::TextEncoding *encoding)
{
    const velvane::CueReading reading = velvane::readSheetAt(path, encoding);
    _tabData = reading.tracks;
    _filePath = path;
    // The destination and the album come from the sheet's place, which no encoding changes; they may be
    // the user's by now, as may an audio file chosen by hand.
    if (!encoding) {
        home_dir->setText(reading.destination);
        album_title->setText(reading.album);
        showAlbumFields(velvane::albumFieldsForSheet(QDate::currentDate()));
    }
    const bool audioChosenByHand = encoding && m_audioSource == AudioSource::User;
    if (reading.audio && !audioChosenByHand) {
        mp3_file->setText(reading.audio->path);
        _audioFormat = reading.audio->format;
        m_audioSource = AudioSource::Sheet;
    } else if (!audioChosenByHand) {
        m_audioSource = AudioSource::Earlier;
    }
    m_sheetAudioFiles = reading.audioFiles;
    showAudioSource();
    // An empty table alone does not tell a sheet without tracks from one still to be read.
    // An album image opened as a sheet says which sheet it was read through.
    if (!reading.error.isEmpty() && !reading.sheetNote.isEmpty())
        m_main->sheetNotice->setText(reading.error);
    else if (_tabData.isEmpty())
        m_main->sheetNotice->setText(
            QStringLiteral("“%1” lists no tracks; it may not be a cue sheet.").arg(QFileInfo(path).fileName()));
    else
        m_main->sheetNotice->setText(reading.sheetNote);
    m_main->sheetNotice->setVisible(!m_main->sheetNotice->text().isEmpty());
    m_model->reload();
    table->resizeColumnsToContents();
    table->setColumnHidden(velvane::TrackTableModel::kFileColumn, m_sheetAudioFiles.size() < 2);
    hauptFenster->setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" – Velvane"));
    m_readTracks = reading.tracks;
    m_encoding->show(reading, !encoding);
}

bool import_cue::readAgainWith(const velvane::TextEncoding &encoding)
{
    if (!_filePath)
        return false;
    commitOpenEdit();
    if (_tabData != m_readTracks) {
        const QString message = QStringLiteral("Reading the cue sheet again as %1 replaces your edits in the "
                                               "table with the sheet's own text.")
                                    .arg(QString(encoding.name));
        if (m_services.alert(
                {QStringLiteral("Attention!"), message, {QStringLiteral("Read Again"), QStringLiteral("Cancel")}}) != 0)
            return false;
    }
    applyCueReading(*_filePath, &encoding);
    return true;
}

void import_cue::openFeedback()
{
    m_web->openFeedback();
}

void import_cue::closeFeedback()
{
    m_web->closeFeedback();
}

void import_cue::sendFeedback()
{
    m_web->sendFeedback();
}

void import_cue::textDidChange()
{
    m_web->textDidChange();
}

void import_cue::search_for_update()
{
    m_web->search_for_update();
}

void import_cue::donateDollar()
{
    m_web->donateDollar();
}

void import_cue::donateEuro()
{
    m_web->donateEuro();
}

void import_cue::gotoWebsite()
{
    m_web->gotoWebsite();
}
