#pragma once
// Recordings read and analysed ahead of the run on worker threads. The run takes them
// back strictly in the file list's order, so aggregation and the result files never
// depend on how many workers there are or which of them finished first.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/file_pieces.h"
#include "engine/analyzer.h"
#include "engine/harmonic_result.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// A recording the run could not read or analyse, with the reason.
struct SkippedRecording {
    int index = 0;  ///< position in the file list
    std::string fileName;
    std::string reason;
    ErrorKind kind = ErrorKind::NotAnalysable;
    std::int64_t offset = -1;  ///< byte position of a malformed field, -1 when none
};

/// One recording as a worker leaves it: read (or not), analysed (or skipped).
struct AnalysedRecording {
    int index = -1;                           ///< position in the file list
    bool headerRead = false;                  ///< `recording.header` is this file's
    std::optional<SkippedRecording> skipped;  ///< set when it cannot be used
    Recording recording;
    AnalysisPeriod period;
    WindowWaveforms window;
    HarmonicResult result;
};

/// Reads recording `index` of `files` (only the rows the analysis needs, the whole table
/// when it reaches beyond them) and analyses it into `out`, reusing its buffers and
/// `file` (the storage of the file's pieces). Unreadable and unanalysable recordings leave
/// `out.skipped` set; other faults propagate.
void analyseRecording(const WaveformFileList& files, int index, Analyzer& analyzer,
                      AnalysedRecording& out, FilePieces& file);

/// Analyses the recordings of a list on `jobs` threads, the caller's and `jobs` − 1
/// workers, at most a few recordings ahead of the one last handed out (memory stays flat
/// however long the list). The caller analyses whichever recording is next to take when
/// the one it asks for is not ready; with one job there is no worker and each recording
/// is analysed on the caller's thread when it is asked for. Every thread keeps its
/// analyser and buffers for the whole run; all share one plan.
class ParallelAnalysis {
  public:
    /// Sets the workers going. `files` must outlive the analysis; `plan` is for the
    /// settings' sample count (`planFor`); `detail` is what each result holds.
    ParallelAnalysis(const ConversionSettings& settings, const FftPlan& plan,
                     const WaveformFileList& files, int jobs,
                     ResultDetail detail = ResultDetail::Full);
    /// Stops the workers after the recording each is on.
    ~ParallelAnalysis();
    ParallelAnalysis(const ParallelAnalysis&) = delete;
    ParallelAnalysis& operator=(const ParallelAnalysis&) = delete;

    int jobs() const { return m_jobs; }

    /// The next recording in list order, waiting for its worker when needed; null when the
    /// list is exhausted. The previous one goes back to the workers: it stays valid only
    /// until this call (swap its buffers out to keep them). Rethrows what a worker's
    /// analysis raised beyond a skipped recording.
    AnalysedRecording* next();

  private:
    enum class SlotState { Free, Busy, Ready };
    struct Slot {
        SlotState state = SlotState::Free;
        AnalysedRecording item;
        std::exception_ptr failure;
    };

    const WaveformFileList& m_files;
    int m_jobs;
    FftPlan m_plan;
    ResultDetail m_detail;
    std::vector<Slot> m_slots;                ///< recording i in slot i mod size
    std::unique_ptr<Analyzer> m_ownAnalyzer;  ///< the caller's thread's
    FilePieces m_ownFile;
    std::vector<std::thread> m_workers;

    std::mutex m_lock;
    // Two conditions, so that a finished recording wakes only the caller waiting for it
    // and a handed-back slot only a worker: no thread is woken for nothing.
    std::condition_variable m_slotReady;  ///< the caller waits for its recording
    std::condition_variable m_slotFree;   ///< workers wait for a slot to fill
    int m_nextToAssign = 0;               ///< next recording to take, by a worker or the caller
    int m_nextToHand = 0;                 ///< next recording `next()` hands out
    bool m_stopping = false;

    Slot& slotOf(int index) { return m_slots[static_cast<std::size_t>(index) % m_slots.size()]; }
    void work(const ConversionSettings& settings);
    /// Analyses recording `index` into its slot and marks it ready.
    void analyseSlot(int index, Analyzer& analyzer, FilePieces& file);
};

/// Workers for a run when none are asked for: the machine's cores (at least 1).
int defaultJobs();

}  // namespace waveharm
