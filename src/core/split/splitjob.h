#pragma once

#include "core/split/splitsettings.h"

#include <QList>
#include <QString>

namespace velvane {

struct TrackOutcome
{
    int number = 0; // 1-based position in the list; 0 for the audio before track 1 made a piece of its own
    bool ok = false;
    QString outputPath; // where the piece ended up: always when ok, and when a failed track's piece was kept
    QString reason;     // why it failed, in the user's words, when not ok
    QString name = {};  // the piece's name as showProcessing gives it
};

struct SplitSummary
{
    QList<TrackOutcome> tracks;

    [[nodiscard]] QList<int> failedNumbers() const;
    [[nodiscard]] bool allSucceeded() const { return failedNumbers().isEmpty(); }
};

// What a running job reports: showProcessing while a piece is being made, then trackFinished, showProcessed and
// advanceBar once the track is done (failed or not). A piece of the audio before track 1 gets showProcessing and
// trackFinished only, so the count and the bar follow the sheet's tracks. Called on the job's own thread. A
// stopped job makes no further calls; its tracks not made count as failed.
class SplitProgress
{
public:
    virtual ~SplitProgress() = default;
    virtual void showProcessing(const QString &outputName) = 0;
    virtual void showProcessed(int done, int total) = 0;
    virtual void advanceBar() = 0;
    // Just before showProcessed, with how the track went; for callers that list outcomes as they come.
    virtual void trackFinished(const TrackOutcome &) {}
    // Polled often, also while the splitter runs: true stops the splitter at once and ends the job (the application
    // is quitting, or the command line was interrupted). Tracks already made stay.
    [[nodiscard]] virtual bool stopRequested() const { return false; }
};

// Cuts, tags and names every track. Blocks until done.
[[nodiscard]] SplitSummary runSplitJob(const SplitSettings &settings, SplitProgress &progress);

// One plain sentence: how many tracks failed and which.
[[nodiscard]] QString failureSentence(const SplitSummary &summary);

} // namespace velvane
