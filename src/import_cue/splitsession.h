#pragma once

#include "core/split/splitjob.h"

#include <QPointer>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QLabel;
class QObject;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The status sheet's controls that a job changes.
struct StatusOutlets
{
    QPointer<QLabel> caption; // "Making:" while running, "Done." at the end
    QPointer<QLabel> processing;
    QPointer<QLabel> processed;
    QPointer<QProgressBar> statusBar;
    QPointer<QPushButton> closeButton;
    QPointer<QPlainTextEdit> failures; // shown at the end when a track failed
    QPointer<QPushButton> stopButton;  // shown while running
};

// One split job on a thread of its own. Every change to the status sheet is handed to the GUI thread and
// waited for, so the sheet follows the job step by step; the worker itself never touches a widget.
class SplitSession : public velvane::SplitProgress
{
public:
    // context lives on the GUI thread; hand-overs are delivered through it.
    SplitSession(velvane::SplitSettings settings, StatusOutlets outlets, QObject *context);
    ~SplitSession() override;
    SplitSession(const SplitSession &) = delete;
    SplitSession &operator=(const SplitSession &) = delete;

    void start();
    [[nodiscard]] bool finished() const;
    // Ends the job after its current track and waits for the thread. Hand-overs from then on return at once,
    // so this may be called when the event loop no longer runs.
    void stopAndJoin();
    // The user's Stop: the splitter is stopped at once and the job ends as an interrupted one, keeping the tracks
    // made; the sheet then says how it went. Returns at once.
    void requestStop();

    void showProcessing(const QString &outputName) override;
    void showProcessed(int done, int total) override;
    void advanceBar() override;
    void trackFinished(const velvane::TrackOutcome &outcome) override;
    [[nodiscard]] bool stopRequested() const override;

private:
    struct Shared;

    void split();
    void handOver(std::function<void()> change);

    velvane::SplitSettings m_settings;
    StatusOutlets m_outlets;
    QPointer<QObject> m_context;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    // Worker thread only: a line per failed track with its name and reason.
    QStringList m_failures;
};
