// `waveharm-cli convert`: the conversion run without a screen. The same driver the
// analysis window steps through is looped here, with progress on stderr.

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/cli_commands.h"
#include "app/cli_convert_options.h"
#include "display/run_texts.h"
#include "display/status_texts.h"
#include "input/recording.h"
#include "output/result_writer.h"
#include "run/conversion_driver.h"
#include "run/record_reading.h"

#ifdef _WIN32
#include <io.h>
#define WAVEHARM_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define WAVEHARM_ISATTY(fd) isatty(fd)
#endif

namespace waveharm::cli {

namespace {

constexpr const char* kPrefix = "waveharm-cli convert";

// The signal that asked the run to end (0: none). The run checks it between recordings,
// so that it ends as "終了" does, with the records written so far kept whole.
std::atomic<int> g_endSignal{0};

extern "C" void askToEnd(int signal) {
    // A second signal does not wait for the recording in progress: every record written
    // so far is with the system already, only the synchronisation to the disk is skipped.
    if (g_endSignal.exchange(signal) != 0) std::_Exit(128 + signal);
#ifdef _WIN32
    std::signal(signal, askToEnd);  // the handler is reset on each delivery there
#endif
}

// Ctrl+C and SIGTERM end the run in order while the result files are open.
class EndSignals {
  public:
    EndSignals() {
        g_endSignal = 0;
        m_interrupt = std::signal(SIGINT, askToEnd);
        m_terminate = std::signal(SIGTERM, askToEnd);
    }
    ~EndSignals() {
        std::signal(SIGINT, m_interrupt);
        std::signal(SIGTERM, m_terminate);
    }
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    int received() const { return g_endSignal.load(); }

  private:
    void (*m_interrupt)(int) = SIG_DFL;
    void (*m_terminate)(int) = SIG_DFL;
};

std::string stampText(DateTime stamp) {
    const CivilDateTime c = stamp.civil();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute);
    return buf;
}

std::string clockText(double seconds) {
    const long s = std::lround(seconds);
    char buf[32];
    if (s >= 3600) {
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    }
    return buf;
}

// Reports the run on the terminal: a progress bar on stderr when it is a terminal,
// warnings for skipped recordings and range over, a line per recording on request.
class ConsoleReporter : public ConversionObserver {
  public:
    ConsoleReporter(int total, bool verbose)
        : m_total(total),
          m_verbose(verbose),
          m_bar(WAVEHARM_ISATTY(2) != 0),
          m_start(std::chrono::steady_clock::now()) {}

    void onRecordingAnalysed(const RecordingReport& r) override {
        ++m_done;
        if (r.rangeOver)
            warn(r.fileName + ": range over (a peak above 2046 counts); analysed anyway");
        if (r.clipped)
            warn(r.fileName +
                 ": samples at the limit of the file's number format (clipped); "
                 "analysed anyway");
        if (m_verbose) {
            clearBar();
            // The first feeder's line, as the analysis window shows it at first.
            std::printf("[%d/%d] %s  %s  %s\n", r.index + 1, m_total, r.fileName.c_str(),
                        startTimeText(r.recording->header).c_str(),
                        statusLineText(*r.result, 0, r.period).c_str());
            std::fflush(stdout);
        }
        drawBar();
    }

    // Only a verbose run prints each recording's status line.
    bool showsRecordings() const override { return m_verbose; }

    void onRecordingSkipped(const SkippedRecording& s) override {
        ++m_done;
        warn(s.fileName + ": skipped: " + s.reason);
        if (m_verbose) {
            clearBar();
            std::printf("[%d/%d] %s  skipped\n", s.index + 1, m_total, s.fileName.c_str());
            std::fflush(stdout);
        }
        drawBar();
    }

    void warn(const std::string& text) {
        clearBar();
        std::fprintf(stderr, "warning: %s\n", text.c_str());
    }

    void clearBar() {
        if (!m_bar || !m_barShown) return;
        std::fputs("\r\033[K", stderr);
        m_barShown = false;
    }

    double elapsedSeconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

  private:
    void drawBar() {
        if (!m_bar || m_total <= 0) return;
        constexpr int kWidth = 30;
        const int filled = m_done * kWidth / m_total;
        const double seconds = elapsedSeconds();
        // Redrawn a few times a second at most: a terminal is slower than the run.
        if (m_done < m_total && seconds - m_drawnAt < 0.1) return;
        m_drawnAt = seconds;
        const double rate = seconds > 0 ? m_done / seconds : 0.0;
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(kWidth - filled), '.');
        std::string left;
        if (rate > 0 && m_done < m_total)
            left = "  " + clockText((m_total - m_done) / rate) + " left";
        std::fprintf(stderr, "\r\033[K[%s] %d/%d  %.1f recordings/s%s", bar.c_str(), m_done,
                     m_total, rate, left.c_str());
        std::fflush(stderr);
        m_barShown = true;
    }

    int m_total;
    bool m_verbose;
    bool m_bar;
    bool m_barShown = false;
    int m_done = 0;
    double m_drawnAt = -1;
    std::chrono::steady_clock::time_point m_start;
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kPrefix, message.c_str());
    return 2;
}

// The feeder count the settings screen would select after scanning the folder: the
// largest the first readable recording's channels hold for the measurement type.
// A record offers the feeders its channel map gives currents for.
std::optional<int> offeredFeeders(const WaveformFileList& files,
                                  const ConversionSettings& settings) {
    const ReadOptions read = ReadOptions::from(settings);
    const bool records = settings.records.format != RecordFormat::Recorder;
    for (int i = 0; i < files.count(); ++i) {
        try {
            if (records)
                return recordFeederCount(readChannelRecord(files.pathOf(i), settings.records),
                                         settings);
            return maxFeederCount(readHeader(files.pathOf(i), read), settings.measurementType);
        } catch (const InputError&) {
            // Reported as skipped when the run reaches it.
        }
    }
    return std::nullopt;
}

void printSummary(const ConversionSummary& s, double seconds, const char* verb, bool records) {
    if (records)
        std::printf("records analysed: %d, skipped: %d, clipped: %d; records written: %d",
                    s.analysed, s.skipped, s.clipped, s.recordsWritten);
    else
        std::printf("recordings analysed: %d, skipped: %d, range over: %d; records written: %d",
                    s.analysed, s.skipped, s.rangeOver, s.recordsWritten);
    if (seconds > 0) std::printf(" (%.1f s)", seconds);
    std::printf("\n");
    for (const auto& name : s.files) std::printf("%s %s\n", verb, name.c_str());
    std::fflush(stdout);
}

// Ended by a signal as "終了" ends a run: the records written so far stay, synchronised
// to the disk; the interval in progress is not written.
int endOnSignal(ConversionDriver& driver, ConsoleReporter& reporter, int signal, bool records) {
    reporter.clearBar();
    int status = 128 + signal;
    try {
        driver.abort();
    } catch (const OutputError& e) {
        std::fprintf(stderr, "%s: %s: %s\n", kPrefix, e.file().c_str(), e.reason().c_str());
    }
    const ConversionSummary& s = driver.summary();
    const char* name = signal == SIGINT ? "Ctrl+C" : "SIGTERM";
    std::string kept = std::to_string(s.recordsWritten) + " record(s) kept";
    kept +=
        s.lastRecordStamp ? ", the last stamped " + stampText(*s.lastRecordStamp) : std::string();
    std::fprintf(stderr,
                 "%s: ended by %s after %d of %d recordings: %s; the interval in "
                 "progress was not written\n",
                 kPrefix, name, driver.nextIndex(), driver.fileCount(), kept.c_str());
    printSummary(s, reporter.elapsedSeconds(), "kept:", records);
    return status;
}

int convert(const ConvertOptions& options) {
    std::error_code ec;
    if (!std::filesystem::is_directory(utf8Path(options.inputDir), ec))
        return usageError("'" + options.inputDir + "' is not a folder");
    WaveformFileList files;
    try {
        files = scanInputFolder(utf8Path(options.inputDir), options.settings,
                                options.jobs > 0 ? options.jobs : defaultJobs());
    } catch (const InputError& e) {
        return usageError(options.inputDir + ": " + e.reason());
    }
    for (const auto& note : files.renamed) std::fprintf(stderr, "renamed %s\n", note.c_str());
    const RecordFormat format = options.settings.records.format;
    const bool records = format != RecordFormat::Recorder;
    if (files.count() == 0)
        return usageError("no recordings in '" + options.inputDir + "'" +
                          (format == RecordFormat::Comtrade ? " (COMTRADE: *.cfg, *.cff)"
                           : format == RecordFormat::Csv    ? " (CSV: *.csv)"
                           : options.settings.wevFiles      ? " (8840 recordings: *.wav, *.wev)"
                                                       : " (*.MEM; --8840 for 8840 recordings)"));

    ConversionSettings settings;
    try {
        settings = resolveConvertSettings(options, offeredFeeders(files, options.settings));
        saveProfileIfAsked(options, settings);
    } catch (const UsageError& e) {
        return usageError(e.what());
    }

    // Results of an earlier run are never replaced unasked.
    if (const auto existing = existingResultFiles(settings);
        !existing.empty() && !options.overwrite) {
        std::string list;
        for (const auto& name : existing) list += "\n  " + name;
        return usageError(
            "result files exist already (nothing written; --overwrite replaces "
            "them, or choose another --output):" +
            list);
    }

    // Files the scan could not read stay in the list: the run reports them as skipped
    // when it reaches them.
    ConsoleReporter reporter(files.count(), options.verbose);
    ConversionDriver driver(settings, std::move(files), reporter,
                            options.jobs > 0 ? options.jobs : defaultJobs());
    EndSignals signals;
    try {
        driver.start();
        while (signals.received() == 0 && driver.step()) {
        }
        if (const int signal = signals.received())
            return endOnSignal(driver, reporter, signal, records);
        driver.finish();
    } catch (const OutputError& e) {
        reporter.clearBar();
        std::fprintf(stderr, "%s: %s: %s\n", kPrefix, e.file().c_str(), e.reason().c_str());
        try {
            driver.abort();
        } catch (const OutputError&) {
            // The first error is the one to report; the records flushed so far stay.
        }
        printSummary(driver.summary(), 0, "incomplete:", records);
        return 2;
    }
    reporter.clearBar();
    const ConversionSummary& summary = driver.summary();
    printSummary(summary, reporter.elapsedSeconds(), "wrote", records);
    return summary.skipped > 0 ? 1 : 0;
}

}  // namespace

Command declareConvert(CLI::App& program) {
    auto options = std::make_shared<ConvertOptions>();
    return {&addConvertCommand(program, *options), [options] { return convert(*options); }};
}

}  // namespace waveharm::cli
