#pragma once
// The conversion run: walks the time-ordered recordings one per step, analyses
// each, reports its stages and results to an observer, aggregates per save
// interval and hands the interval to the result writers. The caller loops
// `step()` (CLI) or calls it from its event loop (GUI), which gives pause, wait
// and end on the caller's thread. With several jobs the recordings are read and
// analysed ahead on workers; reports, aggregation and writing stay in list order on
// the caller's thread, so the result files are the same for any number of jobs.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/analyzer.h"
#include "engine/harmonic_result.h"
#include "input/recording.h"
#include "run/parallel_analysis.h"
#include "settings/conversion_settings.h"

namespace waveharm {

class ResultWriter;  // output/result_writer.h

/// Where a recording is in its step, in the order it passes through them.
enum class RunStage {
    Reading,            ///< the recording is being read
    CheckingFrequency,  ///< its header was read; its fundamental period is looked for
    RangeOver,          ///< a channel peaked beyond the recorder's range (analysed anyway)
    Clipped,            ///< a record of another instrument holds samples at its format's limit
    Transforming,       ///< the spectra of the window's columns
    Computing,          ///< the electrical quantities
    Displaying,         ///< the results are shown
};

/// What the run knows of one analysed recording. Pointers stay valid until the next step.
struct RecordingReport {
    int index = 0;  ///< position in the file list
    std::string fileName;
    bool rangeOver = false;
    bool clipped = false;  ///< a record of another instrument with samples at its format's limit
    AnalysisPeriod period;
    const Recording* recording = nullptr;
    const WindowWaveforms* window = nullptr;
    const HarmonicResult* result = nullptr;
};

/// What a run reports, as it happens, in the order a recording passes through its step:
/// the stages, the header once read, the period once found, then the recording analysed
/// or skipped, and each record written. Only data; the screens and the console make the
/// texts.
class ConversionObserver {
  public:
    virtual ~ConversionObserver() = default;
    virtual void onStage(RunStage /*stage*/) {}
    /// The header of the recording in progress was read (its start time is known).
    virtual void onHeaderRead(const RecorderFileHeader& /*header*/) {}
    /// The analysis period of the recording in progress was found.
    virtual void onPeriodFound(const AnalysisPeriod& /*period*/) {}
    virtual void onRecordingAnalysed(const RecordingReport& /*report*/) {}
    /// A recording that could not be read or analysed; the run goes on.
    virtual void onRecordingSkipped(const SkippedRecording& /*skipped*/) {}
    /// A record stamped `stamp` was appended (one per result file set).
    virtual void onRecordWritten(DateTime /*stamp*/) {}
    /// Whether each analysed recording is shown. When it is not (a quiet console), the
    /// results' screen-only angles stay 0 (`ResultDetail::Records`). The result files are
    /// the same either way.
    virtual bool showsRecordings() const { return true; }
};

struct ConversionSummary {
    int analysed = 0;
    int skipped = 0;
    std::vector<SkippedRecording> skippedRecordings;  ///< every skipped file, in run order
    int rangeOver = 0;
    int clipped = 0;  ///< records of other instruments with samples at their format's limit
    int recordsWritten = 0;
    std::optional<DateTime> lastRecordStamp;  ///< the minute of the last record written
    std::vector<std::string> files;           ///< result files written
};

/// Largest raw sample magnitude a channel may reach without being over range.
inline constexpr int kRangeLimitCounts = 2046;

/// True when a channel of the voltage pair or of any measured feeder's pair peaked
/// above 2046 raw counts (2046 itself is in range).
bool isRangeOver(const std::array<std::int16_t, 21>& peakTable, int feederCount);

class ConversionDriver {
  public:
    /// `files` is the time-ordered list; `settings` must be valid (see settings rules).
    /// Records of other instruments run under `settingsForRecords` (run/record_reading.h),
    /// which `settings()` then returns.
    /// `jobs` recordings are analysed at once (1: each on the caller's thread in its step).
    ConversionDriver(const ConversionSettings& settings, WaveformFileList files,
                     ConversionObserver& observer, int jobs = 1);
    ~ConversionDriver();
    ConversionDriver(const ConversionDriver&) = delete;
    ConversionDriver& operator=(const ConversionDriver&) = delete;

    /// Opens the result file(s), truncating longer ones, and sets the workers going.
    /// Throws OutputError (output/result_writer.h) naming the file and the reason.
    void start();
    /// Processes the next recording in time order. Returns false when none is left.
    /// Throws OutputError when a record cannot be written (the run must stop).
    bool step();
    bool done() const;
    /// End of run: writes the interval still holding recordings, closes the files.
    void finish();
    /// "終了": closes the files; the interval in progress is dropped. Throws
    /// OutputError when a file cannot be closed.
    void abort();

    int nextIndex() const { return m_nextIndex; }
    int fileCount() const { return m_files.count(); }
    const WaveformFileList& files() const { return m_files; }
    const ConversionSettings& settings() const { return m_settings; }
    const ConversionSummary& summary() const { return m_summary; }
    /// The latest analysed recording (valid once `hasResult()`).
    bool hasResult() const { return m_hasResult; }
    const HarmonicResult& latestResult() const { return m_result; }
    const WindowWaveforms& latestWindow() const { return m_window; }
    const Recording& latestRecording() const { return m_recording; }

  private:
    ConversionSettings m_settings;
    WaveformFileList m_files;
    ConversionObserver& m_observer;
    int m_jobs;
    FftPlan m_plan;  ///< made once for the run, shared by every worker
    /// The latest good recording: a recording's buffers are swapped in only when its
    /// analysis succeeds, so the screens keep showing it after a skipped one.
    Recording m_recording;
    WindowWaveforms m_window;
    HarmonicResult m_result;
    IntervalAggregate m_interval;
    std::unique_ptr<ParallelAnalysis> m_analysis;
    std::unique_ptr<ResultWriter> m_writer;
    ConversionSummary m_summary;
    int m_nextIndex = 0;
    bool m_hasResult = false;
    /// Corrected start time of the latest analysed recording: the stamp of the last
    /// record written at the end of the run.
    std::optional<DateTime> m_lastRecordingTime;

    void skip(const SkippedRecording& skipped);
    void report(int index, const AnalysisPeriod& period);
    void offerInterval();
};

}  // namespace waveharm
