#include "import_cue/splitsession.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include <algorithm>

// Lives as long as the longest of the session and any hand-over still queued on the GUI thread.
struct SplitSession::Shared
{
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;  // the GUI thread is about to join: hand-overs end
    bool stopAsked = false; // the user stopped the job: it ends, and still reports its end
    bool finished = false;
};

SplitSession::SplitSession(velvane::SplitSettings settings, StatusOutlets outlets, QObject *context)
    : m_settings(std::move(settings))
    , m_outlets(std::move(outlets))
    , m_context(context)
    , m_shared(std::make_shared<Shared>())
{}

SplitSession::~SplitSession()
{
    stopAndJoin();
}

void SplitSession::start()
{
    m_thread = std::thread([this] { split(); });
}

bool SplitSession::finished() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->finished;
}

void SplitSession::stopAndJoin()
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
    }
    m_shared->changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SplitSession::requestStop()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->stopAsked = true;
}

bool SplitSession::stopRequested() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->stopping || m_shared->stopAsked;
}

namespace {

int madeCount(const velvane::SplitSummary &summary)
{
    return int(std::count_if(summary.tracks.cbegin(), summary.tracks.cend(),
                             [](const velvane::TrackOutcome &outcome) { return outcome.ok && outcome.number > 0; }));
}

// How the job went, in one sentence for the line under "Done.".
QString closingSentence(const velvane::SplitSummary &summary, const velvane::SplitSettings &settings, bool stopped)
{
    if (stopped) {
        return QStringLiteral("Stopped: %1 of %2 tracks made in %3.")
            .arg(madeCount(summary))
            .arg(settings.tracks.size())
            .arg(QDir::toNativeSeparators(settings.destination));
    }
    if (!summary.allSucceeded())
        return velvane::failureSentence(summary);
    return QStringLiteral("All %1 tracks made in %2.")
        .arg(settings.tracks.size())
        .arg(QDir::toNativeSeparators(settings.destination));
}

} // namespace

void SplitSession::split()
{
    const velvane::SplitSummary summary = velvane::runSplitJob(m_settings, *this);
    bool stopped = false;
    {
        std::lock_guard lock(m_shared->mutex);
        stopped = m_shared->stopAsked;
    }
    const QString closingText = closingSentence(summary, m_settings, stopped);
    const QString failures = m_failures.join(QLatin1Char('\n'));
    const int made = madeCount(summary);
    // Marked finished on the GUI thread before the close button appears, so a click on it always finds the
    // job done.
    handOver([shared = m_shared, outlets = m_outlets, closingText, failures, made, stopped] {
        {
            std::lock_guard lock(shared->mutex);
            shared->finished = true;
        }
        if (outlets.caption) {
            outlets.caption->setText(stopped ? QStringLiteral("Stopped.") : QStringLiteral("Done."));
            outlets.caption->window()->setWindowTitle(stopped ? QStringLiteral("Split Stopped")
                                                              : QStringLiteral("Split Done"));
        }
        // The bar ends at what was made: full only when every track was.
        if (outlets.statusBar)
            outlets.statusBar->setValue(made);
        // A stopped job counts the tracks it never came to as done; the count says what was made.
        if (stopped && outlets.processed && outlets.statusBar)
            outlets.processed->setText(QStringLiteral("%1 of %2").arg(made).arg(outlets.statusBar->maximum()));
        if (outlets.stopButton)
            outlets.stopButton->hide();
        if (outlets.processing)
            outlets.processing->setText(closingText);
        if (outlets.failures && !failures.isEmpty()) {
            outlets.failures->setPlainText(failures);
            outlets.failures->show();
            // Wide enough that most reasons take one line, and still over the middle of the main window.
            QWidget *sheet = outlets.failures->window();
            sheet->resize(qMax(sheet->width(), 640), sheet->minimumSizeHint().height());
            if (const QWidget *main = sheet->parentWidget())
                sheet->move(main->geometry().center() - sheet->rect().center());
        }
        if (outlets.closeButton) {
            outlets.closeButton->show();
            outlets.closeButton->setFocus();
        }
    });
    std::lock_guard lock(m_shared->mutex);
    m_shared->finished = true;
}

void SplitSession::trackFinished(const velvane::TrackOutcome &outcome)
{
    if (outcome.ok)
        return;
    const QString which =
        outcome.number > 0 ? QStringLiteral("Track %1").arg(outcome.number) : QStringLiteral("Pregap");
    // The reason says where a piece of a failed track was kept, if one was.
    m_failures.append(which + QStringLiteral(", ") + outcome.name + QStringLiteral(": ") + outcome.reason);
}

void SplitSession::showProcessing(const QString &outputName)
{
    handOver([label = m_outlets.processing, outputName] {
        if (label)
            label->setText(outputName);
    });
}

void SplitSession::showProcessed(int done, int total)
{
    handOver([label = m_outlets.processed, done, total] {
        if (label)
            label->setText(QStringLiteral("%1 of %2").arg(done).arg(total));
    });
}

void SplitSession::advanceBar()
{
    handOver([bar = m_outlets.statusBar] {
        if (bar)
            bar->setValue(bar->value() + 1);
    });
}

// Waits like a blocking queued call, but a stop request releases the wait: the GUI thread may be joining
// this thread with its event loop gone, and a plain blocking call would then never return.
void SplitSession::handOver(std::function<void()> change)
{
    if (!m_context)
        return;
    if (QThread::currentThread() == m_context->thread()) {
        change();
        return;
    }
    auto done = std::make_shared<bool>(false);
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->stopping)
            return;
    }
    QMetaObject::invokeMethod(
        m_context.data(),
        [shared = m_shared, done, change = std::move(change)] {
            {
                std::lock_guard lock(shared->mutex);
                if (shared->stopping)
                    return;
            }
            change();
            {
                std::lock_guard lock(shared->mutex);
                *done = true;
            }
            shared->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_shared->mutex);
    m_shared->changed.wait(lock, [&] { return *done || m_shared->stopping; });
}
