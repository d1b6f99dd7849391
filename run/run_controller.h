#pragma once
// One conversion run as the engineer controls it on screen: the driver, whether the run
// is yet to start, running, held or over and why it ended, the feeder shown, the wait
// between recordings and the recordings skipped so far. The analysis window sends the
// engineer's presses here and shows what this holds; the event loop asks `nextStepIn()`
// and calls `step()` when a recording is due. Needs no window system.

#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "run/conversion_driver.h"

namespace waveharm {

enum class RunState {
    Ready,    ///< the result files are not open yet
    Running,  ///< recordings are analysed one per step
    Paused,   ///< held before the next recording
    Ended,    ///< the files are closed; see `RunController::endReason`
};

/// How a run came to its end.
enum class RunEnd {
    Finished,  ///< after the last recording: the interval in progress is written
    Ended,     ///< ended by the engineer: the interval in progress is not written
    Stopped,   ///< a fault stopped it (see `RunController::failure`)
};

/// Where a stopped run met its fault.
enum class RunFault {
    OpeningFiles,  ///< a result file could not be opened
    Writing,       ///< a record could not be written, or a file closed
    Analysing,     ///< anything else thrown while a recording was processed
};

struct RunFailure {
    RunFault fault = RunFault::Writing;
    std::exception_ptr error;  ///< the OutputError or other exception, for its message
};

class RunController {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    /// A run over `files` with `settings`; reports go to `observer` as the driver makes
    /// them. `jobs` recordings are analysed at once. `clock` times the wait option.
    RunController(const ConversionSettings& settings, WaveformFileList files,
                  ConversionObserver& observer, int jobs = 1,
                  Clock clock = std::chrono::steady_clock::now);

    // ---- the engineer's commands ---------------------------------------------------

    /// Opens the result files and starts the run (from Ready only). A file that cannot
    /// be opened ends the run as Stopped with `RunFault::OpeningFiles`.
    void start();
    /// Holds the run before the next recording, or lets it go on. A pause pressed before
    /// the start holds the run from its first recording.
    void setPaused(bool paused);
    /// Ends the run now: the files keep the records written so far and the interval in
    /// progress is dropped. Nothing happens once the run is over.
    void end();
    /// The feeder whose currents the status line, tables and graphs show (0-based).
    void setShownFeeder(int feeder);
    /// Whether consecutive recordings start at least `interval` apart.
    void setWait(bool on);
    void setWaitInterval(std::chrono::milliseconds interval);

    // ---- stepping ------------------------------------------------------------------

    /// How long until a step is due: nothing while the run is not started, held or
    /// over; zero when due now.
    std::optional<std::chrono::milliseconds> nextStepIn() const;
    /// When a step is due: processes the next recording, or finishes the run after the
    /// last one. A fault ends the run as Stopped. Returns the list index of the recording
    /// analysed and shown by this step, if any.
    std::optional<int> step();

    // ---- what the screen shows -----------------------------------------------------

    RunState state() const;
    /// Started and not yet over (running or held).
    bool underway() const { return m_started && !m_end; }
    bool paused() const { return m_paused; }
    std::optional<RunEnd> endReason() const { return m_end; }
    const std::optional<RunFailure>& failure() const { return m_failure; }
    int shownFeeder() const { return m_shownFeeder; }
    int feederCount() const { return m_driver.settings().feederCount; }
    bool waits() const { return m_wait; }
    std::chrono::milliseconds waitInterval() const { return m_waitInterval; }
    /// Recordings in the run, and those taken so far (analysed or skipped).
    int recordingCount() const { return m_driver.fileCount(); }
    int processedCount() const { return m_driver.nextIndex(); }
    /// Every recording skipped so far, in run order, with its reason.
    const std::vector<SkippedRecording>& skipped() const {
        return m_driver.summary().skippedRecordings;
    }
    const ConversionSummary& summary() const { return m_driver.summary(); }
    /// Time the run has spent running since its start, its holds left out.
    std::chrono::milliseconds activeTime() const;
    /// Time the recordings not yet taken should need at the pace so far (the wait
    /// included); nothing before the first recording or once the run is over.
    std::optional<std::chrono::milliseconds> timeLeft() const;
    const ConversionSettings& settings() const { return m_driver.settings(); }
    /// The latest analysed recording and its results.
    const ConversionDriver& driver() const { return m_driver; }

  private:
    void finish();
    void stop(RunFault fault);
    /// Starts or stops the running-time clock as the run goes on or is held or ends.
    void updateActiveClock();

    ConversionDriver m_driver;
    Clock m_clock;
    bool m_started = false;
    bool m_paused = false;
    int m_shownFeeder = 0;
    std::optional<RunEnd> m_end;
    std::optional<RunFailure> m_failure;
    bool m_wait = false;
    std::chrono::milliseconds m_waitInterval{1000};
    std::chrono::steady_clock::duration m_activeBefore{};  ///< running time before the hold
    std::optional<std::chrono::steady_clock::time_point> m_runningSince;
    /// When the latest recording was taken up: the wait counts from there.
    std::optional<std::chrono::steady_clock::time_point> m_lastStepAt;
};

}  // namespace waveharm
