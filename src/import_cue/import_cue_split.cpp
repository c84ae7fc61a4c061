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
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

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

void import_cue::startSplit()
{
    if (m_split)
        return;
    commitOpenEdit();
    if (const std::optional<QString> problem =
            velvane::splitRequestProblem(_filePath.value_or(QString()), mp3_file->text(), home_dir->text())) {
        m_services.alert(errorAlert(*problem));
        return;
    }
    if (const std::optional<QString> problem = velvane::checkStartTimes(_tabData)) {
        m_services.alert(errorAlert(*problem));
        return;
    }

    velvane::SplitSettings settings;
    settings.tracks = _tabData;
    settings.destination = home_dir->text();
    settings.audioFile = mp3_file->text();
    settings.isOgg = _isOgg;
    settings.numbered = velvane::preference(QLatin1String(velvane::kNumberFilesKey));
    settings.writeTags = !_isOgg && velvane::preference(QLatin1String(velvane::kSetID3Key));
    settings.year = velvane::intValue(album_year->text());
    settings.album = album_title->text();
    if (genre->currentIndex() >= 0)
        settings.genre = genre->currentText();

    const int count = int(_tabData.size());
    statusBar->setValue(0);
    statusBar->setMaximum(count);
    closeButton->hide();
    processed->setText(QStringLiteral("0 of %1").arg(count));
    processing->clear();
    statusFenster->open();

    m_split = std::make_unique<SplitSession>(std::move(settings),
                                             StatusOutlets{processing, processed, statusBar, closeButton}, this);
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
