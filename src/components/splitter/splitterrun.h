#pragma once

#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace velvane {

struct SplitterRunRequest
{
    QString audioFile; // made absolute before it reaches the splitter
    bool isOgg = false;
    QList<qint64> starts;      // cue frames (1/75 s), rising; one piece per start
    std::optional<qint64> end; // cue frames; none: to the audio's last sample
    QString workFolder;        // private; the splitter runs in it and leaves its pieces there
    std::chrono::milliseconds stallTimeout{60000};
    // Bytes of tag room to keep in front of each piece (one per start), so that its tags can later be written over
    // that room without moving the audio; empty: the pieces get no tags at all.
    QList<int> tagRoom = {};
    // MP3 only: cut at frame boundaries, without bit-reservoir handling, for an album the splitter will not cut
    // exactly. Its pieces come as PieceInexact, never PieceReady.
    bool onFrames = false;
};

struct SplitterEvent
{
    enum Kind
    {
        PieceReady, // the piece is complete and checked; it is the caller's from now on
        PieceBad,   // the piece is missing, damaged or of the wrong length; nothing of it is left
        // A whole piece cut at MP3 frame boundaries, each end up to a frame off; the reason says how far. The piece
        // is the caller's, but it is not its track.
        PieceInexact,
        Finished, // the run is over; every piece has had its PieceReady, PieceInexact or PieceBad
        Failed    // the run ended early; pieces without an event were not made and nothing of them is left
    };
    Kind kind = Failed;
    int piece = -1; // index into starts (PieceReady, PieceInexact, PieceBad)
    QString path;   // the piece (PieceReady, PieceInexact)
    QString reason; // in the user's words (PieceBad, PieceInexact, Failed)
    // Failed: the splitter was stopped because its pieces had not grown for the stall time-out.
    bool stalled = false;
    // Failed: the splitter would not handle this MP3's bit reservoir (frames too small for its header), so it can
    // cut it only on frames.
    bool reservoirRefused = false;
};

// One splitter process cutting every piece of one audio file: "-f -b" for MP3, exact to the sample, the splitter's
// numbered names in the work folder. Pieces are reported one by one as the splitter finishes them. A run never
// cuts again on its own: what it did not make is the caller's to retry.
class SplitterRun
{
public:
    explicit SplitterRun(SplitterRunRequest request);
    // Kills the splitter if it still runs and removes the pieces it had not finished.
    ~SplitterRun();
    SplitterRun(const SplitterRun &) = delete;
    SplitterRun &operator=(const SplitterRun &) = delete;

    // Starts the splitter, measures the album while it starts (starting it over, once, where the measure moves a
    // cut) and returns without waiting for it, so that it can run while the caller waits on another run; next()
    // starts it too, when this was not called.
    void start();

    // Blocks until the next event. Asks stopRequested at least every 100 ms and kills the splitter at once when
    // it says so (then Failed). Kills it, too, when its pieces have not grown for the stall time-out. After
    // Finished or Failed, returns that event again.
    [[nodiscard]] SplitterEvent next(const std::function<bool()> &stopRequested = {});

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace velvane
