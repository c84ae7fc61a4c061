#include "import_cue/import_cue.h"

#include "core/split/albumfields.h"
#include "core/split/splitjob.h"
#include "core/split/splitrequest.h"
#include "core/split/starttimes.h"
#include "import_cue/preferences.h"
#include "import_cue/sheetguard.h"
#include "import_cue/splitsession.h"
#include "MyTextField/mytextfield.h"
#include "ui_statusFenster.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

#include <algorithm>

namespace {

Alert errorAlert(const QString &message)
{
    return {QStringLiteral("ERROR!"), message, {QStringLiteral("Ok")}};
}

} // namespace

void import_cue::connectSplitActions()
{
    closeButton->hide();
    connect(closeButton, &QPushButton::clicked, this, &import_cue::close);
    connect(m_status->stopButton, &QPushButton::clicked, this, &import_cue::stopSplit);
    // Escape on a finished job's sheet closes it like the button does; on a running one it stops the job.
    connect(statusFenster, &QDialog::finished, this, &import_cue::close);
    new SheetGuard(
        statusFenster, [this] { return isJobRunning(); }, [this] { stopSplit(); }, [this] { confirmQuit(); }, this);
    hauptFenster->installEventFilter(this);
}

bool import_cue::isJobRunning() const
{
    return m_split && !m_split->finished();
}

void import_cue::stopSplit()
{
    if (!isJobRunning())
        return;
    m_split->requestStop();
    m_status->stopButton->setEnabled(false);
    m_status->stopButton->setText(QStringLiteral("Stopping…"));
}

// Quitting in the middle of a job would lose the track being made; the user says so first.
bool import_cue::confirmQuit()
{
    if (!isJobRunning() || m_quitConfirmed)
        return true;
    const int answer = m_services.alert({QStringLiteral("Attention!"),
                                         QStringLiteral("A split is running. Stop it and quit Velvane?\nThe tracks "
                                                        "made so far are kept."),
                                         {QStringLiteral("Stop and Quit"), QStringLiteral("Continue")}});
    if (answer != 0 || !isJobRunning())
        return answer == 0;
    m_quitConfirmed = true;
    m_split->requestStop();
    // The sheet keeps the main window from closing while it is up.
    statusFenster->hide();
    hauptFenster->close();
    return true;
}

bool import_cue::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == hauptFenster && event->type() == QEvent::Close && !confirmQuit()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// The request's checks: the sheet, then its tracks, then the audio file and the destination. With a file per
// track, the audio field only shows the first file, and one readable file of the sheet is enough to start: the
// tracks whose file is missing fail with that reason.
std::optional<QString> import_cue::splitProblem(bool filePerTrack) const
{
    QString audio = mp3_file->text();
    if (filePerTrack && !m_sheetAudioFiles.isEmpty())
        audio = velvane::firstReadableAudioFile(m_sheetAudioFiles);
    if (const std::optional<QString> typedOver = velvane::sheetFieldProblem(_filePath, cue_file->text()))
        return typedOver;
    // A sheet whose only file is in a format that is not cut leaves the field as it was; that file is named too.
    QStringList cutFiles = filePerTrack ? m_sheetAudioFiles : QStringList{mp3_file->text()};
    if (m_audioSource == AudioSource::Earlier)
        cutFiles += m_sheetAudioFiles;
    if (const std::optional<QString> refused = velvane::refusedFormatProblem(cutFiles))
        return refused;
    const std::optional<QString> problem =
        velvane::splitRequestProblem(_filePath.value_or(QString()), audio, home_dir->text());
    if (problem != velvane::cueFileNotFoundMessage() && _tabData.isEmpty())
        return QStringLiteral("The cue sheet lists no tracks.\nPlease select another one!");
    if (problem)
        return problem;
    if (!velvane::yearFromText(album_year->text()))
        return yearHint();
    std::optional<QString> startProblem = velvane::checkStartTimes(_tabData, filePerTrack);
    // Start times that rise within each of the sheet's files start again in the next; one file for all cannot
    // take them, and the user may not see why.
    if (startProblem && m_sheetAudioFiles.size() > 1 && m_audioSource == AudioSource::User) {
        *startProblem += QStringLiteral("\n\nThe audio file chosen by hand now serves all tracks. Reading the cue "
                                        "sheet again (Enter in its field) restores its own files.");
    }
    return startProblem;
}

bool import_cue::confirmAudioFromBefore()
{
    const QString message = QStringLiteral("This cue sheet names no MP3, Ogg, FLAC or WAV file, so the audio file is "
                                           "still "
                                           "the one from before:\n%1\nCut it into this sheet's tracks?")
                                .arg(QDir::toNativeSeparators(mp3_file->text()));
    return m_services.alert(
               {QStringLiteral("Attention!"), message, {QStringLiteral("Split"), QStringLiteral("Cancel")}}) == 0;
}

void import_cue::startSplit()
{
    if (m_split)
        return;
    commitOpenEdit();
    // A sheet naming several files cuts each track from its own, unless the user chose one file for all.
    const bool filePerTrack = m_sheetAudioFiles.size() > 1 && m_audioSource != AudioSource::User;
    if (const std::optional<QString> problem = splitProblem(filePerTrack)) {
        Alert alert = errorAlert(*problem);
        // The fixed message does not say which file it looked for.
        if (*problem == velvane::audioFileNotFoundMessage() && !mp3_file->text().isEmpty())
            alert.details = QDir::toNativeSeparators(mp3_file->text());
        m_services.alert(alert);
        return;
    }
    if (!filePerTrack && m_audioSource == AudioSource::Earlier && !confirmAudioFromBefore())
        return;

    velvane::SplitSettings settings;
    settings.tracks = _tabData;
    settings.destination = home_dir->text();
    settings.audioFile = mp3_file->text();
    settings.filePerTrack = filePerTrack;
    settings.format = _audioFormat;
    settings.numbered = velvane::preference(QLatin1String(velvane::kNumberFilesKey));
    settings.writeTags = velvane::preference(QLatin1String(velvane::kSetID3Key));
    settings.wavAsFlac = velvane::preference(QLatin1String(velvane::kWavAsFlacKey));
    settings.stallTimeout = velvane::splitterStallTimeout();
    settings.year = velvane::yearFromText(album_year->text()).value_or(0);
    settings.album = album_title->text();
    if (const QString chosenGenre = genre->currentData().toString(); !chosenGenre.isEmpty())
        settings.genre = chosenGenre;

    const int count = int(_tabData.size());
    statusBar->setValue(0);
    statusBar->setMaximum(count);
    closeButton->hide();
    m_status->stopButton->setText(QStringLiteral("&Stop"));
    m_status->stopButton->setEnabled(true);
    m_status->stopButton->show();
    statusFenster->setWindowTitle(QStringLiteral("Splitting"));
    m_status->processingCaption->setText(QStringLiteral("Making:"));
    m_status->failures->hide();
    m_status->failures->clear();
    processed->setText(QStringLiteral("0 of %1").arg(count));
    processing->clear();
    statusFenster->adjustSize();
    statusFenster->open();

    m_split =
        std::make_unique<SplitSession>(std::move(settings),
                                       StatusOutlets{m_status->processingCaption, processing, processed, statusBar,
                                                     closeButton, m_status->failures, m_status->stopButton},
                                       this);
    m_split->start();
}

void import_cue::close()
{
    if (!m_split || !m_split->finished() || m_closing)
        return;
    m_closing = true;
    statusFenster->done(0);
    m_split.reset();
    m_closing = false;

    // A cue sheet that arrived during the job is read now; the last one to arrive counts.
    if (const std::optional<QString> pending = std::exchange(m_pendingCue, std::nullopt)) {
        cue_file->setText(*pending);
        readCueFile();
    }
}

// Ctrl+Return reaches us before a cell being typed in has given up its text; the job must see that text.
void import_cue::commitOpenEdit()
{
    if (QWidget *editor = table->indexWidget(table->currentIndex()))
        QMetaObject::invokeMethod(table, "commitData", Qt::DirectConnection, Q_ARG(QWidget *, editor));
}

bool import_cue::isSplitting() const
{
    return m_split != nullptr;
}

void import_cue::shutdown()
{
    if (m_split)
        m_split->stopAndJoin();
}
