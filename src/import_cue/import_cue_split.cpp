#include "import_cue/import_cue.h"

#include "core/split/outputname.h"
#include "core/split/splitjob.h"
#include "core/split/splitrequest.h"
#include "core/text/intvalue.h"
#include "import_cue/preferences.h"
#include "import_cue/sheetguard.h"
#include "import_cue/splitsession.h"
#include "MyTextField/mytextfield.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
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
    // Escape on a finished job's sheet closes it like the button does.
    connect(statusFenster, &QDialog::finished, this, &import_cue::close);
    new SheetGuard(
        statusFenster, [this] { return m_split && !m_split->finished(); }, this);
}

// The request's checks: the sheet, then its tracks, then the audio file and the destination. With a file per
// track, the audio field only shows the first file, and one readable file of the sheet is enough to start: the
// tracks whose file is missing fail with that reason.
std::optional<QString> import_cue::splitProblem(bool filePerTrack) const
{
    QString audio = mp3_file->text();
    if (filePerTrack) {
        const auto readable = std::find_if(m_sheetAudioFiles.cbegin(), m_sheetAudioFiles.cend(),
                                           [](const QString &file) { return QFileInfo(file).isReadable(); });
        if (readable != m_sheetAudioFiles.cend())
            audio = *readable;
    }
    const std::optional<QString> problem =
        velvane::splitRequestProblem(_filePath.value_or(QString()), audio, home_dir->text());
    if (problem != velvane::cueFileNotFoundMessage() && _tabData.isEmpty())
        return QStringLiteral("The cue sheet lists no tracks.\nPlease select another one!");
    if (problem)
        return problem;
    return velvane::checkStartTimes(_tabData, filePerTrack);
}

bool import_cue::confirmAudioFromBefore()
{
    const QString message = QStringLiteral("This cue sheet names no MP3 or Ogg file, so the audio file is still "
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
        m_services.alert(errorAlert(*problem));
        return;
    }
    if (!filePerTrack && m_audioSource == AudioSource::Earlier && !confirmAudioFromBefore())
        return;

    velvane::SplitSettings settings;
    settings.tracks = _tabData;
    settings.destination = home_dir->text();
    settings.audioFile = mp3_file->text();
    settings.filePerTrack = filePerTrack;
    settings.isOgg = _isOgg;
    settings.numbered = velvane::preference(QLatin1String(velvane::kNumberFilesKey));
    settings.writeTags = velvane::preference(QLatin1String(velvane::kSetID3Key));
    settings.stallTimeout = velvane::splitterStallTimeout();
    settings.year = velvane::intValue(album_year->text());
    settings.album = album_title->text();
    if (genre->currentIndex() >= 0)
        settings.genre = genre->currentText();

    const int count = int(_tabData.size());
    statusBar->setValue(0);
    statusBar->setMaximum(count);
    closeButton->hide();
    m_statusCaption->setText(QStringLiteral("Making:"));
    m_failures->hide();
    m_failures->clear();
    processed->setText(QStringLiteral("0 of %1").arg(count));
    processing->clear();
    statusFenster->adjustSize();
    statusFenster->open();

    m_split = std::make_unique<SplitSession>(
        std::move(settings), StatusOutlets{m_statusCaption, processing, processed, statusBar, closeButton, m_failures},
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

QString import_cue::cleanedFilename(const QString &text) const
{
    return velvane::cleanedFilename(text);
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
