#include "import_cue/import_cue.h"

#include "components/tagapi.h"
#include "core/cue/cuereading.h"
#include "core/cue/tracktablemodel.h"
#include "core/split/albumfields.h"
#include "import_cue/preferences.h"
#include "import_cue/splitsession.h"
#include "MyTextField/mytextfield.h"

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

// Outlets are found by objectName, so a control renamed in an interface file fails loudly at start.
template <typename T> T *outlet(QObject *root, const char *name)
{
    T *found = root->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("interface file lacks the outlet %s", name);
    return found;
}

} // namespace

import_cue::import_cue(QMainWindow *mainWindow, QDialog *statusSheet, QDialog *feedbackSheet,
                       ControllerServices services, QObject *parent)
    : QObject(parent)
    , hauptFenster(mainWindow)
    , statusFenster(statusSheet)
    , feedbackFenster(feedbackSheet)
    , m_services(std::move(services))
{
    connectOutlets();
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
    connectMainActions();
    connectSplitActions();
    connectFeedbackActions();
}

import_cue::~import_cue() = default;

void import_cue::connectOutlets()
{
    album_title = outlet<QLineEdit>(hauptFenster, "album_title");
    album_year = outlet<QLineEdit>(hauptFenster, "album_year");
    cue_file = outlet<MyTextField>(hauptFenster, "cue_file");
    cuePath = outlet<QLineEdit>(hauptFenster, "cuePath");
    genre = outlet<QComboBox>(hauptFenster, "genre");
    home_dir = outlet<MyTextField>(hauptFenster, "home_dir");
    mp3_file = outlet<MyTextField>(hauptFenster, "mp3_file");
    table = outlet<QTableView>(hauptFenster, "table");
    m_audioFilesNote = outlet<QLabel>(hauptFenster, "audioFilesNote");
    m_encoding = outlet<QComboBox>(hauptFenster, "encoding");
    m_sheetNotice = outlet<QLabel>(hauptFenster, "sheetNotice");
    processed = outlet<QLabel>(statusFenster, "processed");
    statusBar = outlet<QProgressBar>(statusFenster, "statusBar");
    processing = outlet<QLabel>(statusFenster, "processing");
    closeButton = outlet<QPushButton>(statusFenster, "closeButton");
    m_statusCaption = outlet<QLabel>(statusFenster, "processingCaption");
    m_failures = outlet<QPlainTextEdit>(statusFenster, "failures");
    m_stopButton = outlet<QPushButton>(statusFenster, "stopButton");
    charLeft = outlet<QLabel>(feedbackFenster, "charLeft");
    mailaddy = outlet<QLineEdit>(feedbackFenster, "mailaddy");
    feedbackInfos = outlet<QLabel>(feedbackFenster, "feedbackInfos");
    feedbackMessage = outlet<QPlainTextEdit>(feedbackFenster, "feedbackMessage");

    for (MyTextField *field : {cue_file, mp3_file, home_dir})
        field->setDelegate(this);
}

void import_cue::connectMainActions()
{
    for (const char *name : {"chooseCueButton", "chooseAudioButton", "chooseDestinationButton"}) {
        QPushButton *button = outlet<QPushButton>(hauptFenster, name);
        connect(button, &QPushButton::clicked, this, [this, button] { select(button); });
    }
    QAction *openCue = outlet<QAction>(hauptFenster, "actionOpenCue");
    openCue->setProperty("tag", 1);
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

    connect(outlet<QPushButton>(hauptFenster, "splitButton"), &QPushButton::clicked, this, &import_cue::startSplit);
    connect(m_encoding, &QComboBox::activated, this, &import_cue::pickEncoding);
    connect(outlet<QAction>(hauptFenster, "actionSplit"), &QAction::triggered, this, &import_cue::startSplit);
    connect(outlet<QAction>(hauptFenster, "actionQuit"), &QAction::triggered, hauptFenster, &QMainWindow::close);

    const auto both = [this](const char *button, const char *action, void (import_cue::*slot)()) {
        connect(outlet<QPushButton>(hauptFenster, button), &QPushButton::clicked, this, slot);
        connect(outlet<QAction>(hauptFenster, action), &QAction::triggered, this, slot);
    };
    both("feedbackButton", "actionFeedback", &import_cue::openFeedback);
    both("updateButton", "actionUpdate", &import_cue::search_for_update);
    both("websiteButton", "actionWebsite", &import_cue::gotoWebsite);
    both("donateDollarButton", "actionDonateDollar", &import_cue::donateDollar);
    both("donateEuroButton", "actionDonateEuro", &import_cue::donateEuro);

    for (const char *key : {velvane::kNumberFilesKey, velvane::kSetID3Key}) {
        QCheckBox *box = outlet<QCheckBox>(hauptFenster, key);
        box->setChecked(velvane::preference(QLatin1String(key)));
        connect(box, &QCheckBox::toggled, this, [key](bool on) { velvane::setPreference(QLatin1String(key), on); });
    }
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
        m_audioFilesNote->hide();
        return;
    }
    const bool chosen = m_audioSource == AudioSource::User;
    m_audioFilesNote->setText(chosen ? QStringLiteral("for all tracks")
                                     : QStringLiteral("first of %1 files").arg(files));
    // Tool tips take markup whenever they look like it, so the names are escaped.
    const QString intro = chosen
                              ? QStringLiteral("Chosen by hand, so every track is cut from this file. The sheet names:")
                              : QStringLiteral("Each track is cut from its own file. The sheet names:");
    m_audioFilesNote->setToolTip(QStringLiteral("<p style='white-space:pre'>%1\n%2</p>")
                                     .arg(intro, m_sheetAudioFiles.join(QLatin1Char('\n')).toHtmlEscaped()));
    m_audioFilesNote->show();
}

void import_cue::applyCueReading(const QString &path, const velvane::TextEncoding *encoding)
{
    const velvane::CueReading reading = velvane::readCueSheet(path, encoding);
    _tabData = reading.tracks;
    _filePath = path;
    // The destination and the album come from the sheet's place, which no encoding changes; they may be
    // the user's by now, as may an audio file chosen by hand.
    if (!encoding) {
        home_dir->setText(reading.destination);
        album_title->setText(reading.album);
        showAlbumFields(velvane::albumFieldsForSheet(QDate::currentDate()));
        m_likelyEncodings =
            reading.encodingCandidates.isEmpty() ? QStringList{reading.encoding} : reading.encodingCandidates;
    }
    const bool audioChosenByHand = encoding && m_audioSource == AudioSource::User;
    if (reading.audio && !audioChosenByHand) {
        mp3_file->setText(reading.audio->path);
        _isOgg = reading.audio->isOgg;
        m_audioSource = AudioSource::Sheet;
    } else if (!audioChosenByHand) {
        m_audioSource = AudioSource::Earlier;
    }
    m_sheetAudioFiles = reading.audioFiles;
    showAudioSource();
    // An empty table alone does not tell a sheet without tracks from one still to be read.
    m_sheetNotice->setText(
        QStringLiteral("“%1” lists no tracks; it may not be a cue sheet.").arg(QFileInfo(path).fileName()));
    m_sheetNotice->setVisible(_tabData.isEmpty());
    m_model->reload();
    table->resizeColumnsToContents();
    table->setColumnHidden(velvane::TrackTableModel::kFileColumn, m_sheetAudioFiles.size() < 2);
    hauptFenster->setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" – Velvane"));
    m_readTracks = reading.tracks;
    showEncoding(reading);
}
