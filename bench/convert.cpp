// Converting a campaign of 300 recordings of the 8847 layout (seven feeders, 16 channels
// of 20 000 samples, 640 KB a file) against merely reading the same files whole, as `cat`
// does. The conversion is the whole run: scan, read, analyse, aggregate and write, with
// the machine's cores as workers and with one. Prints recordings per second and how many
// times each conversion takes the plain read.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "input/recording.h"
#include "input/recording_writer.h"
#include "ratio_reporter.h"
#include "run/conversion_driver.h"

namespace {

using namespace waveharm;
namespace fs = std::filesystem;

constexpr int kRecordings = 300;
constexpr int kFeeders = 7;
constexpr std::int64_t kSamples = 20000;

const fs::path& campaignFolder() {
    static const fs::path folder = [] {
        const fs::path dir = fs::temp_directory_path() / "waveharm_bench_convert";
        fs::remove_all(dir);
        DemoOptions options;
        options.model = "8847";
        options.feeders = kFeeders;
        options.samples = kSamples;
        options.count = kRecordings;
        options.intervalSeconds = 20;
        writeDemoCampaign(dir / "recordings", options);
        return dir;
    }();
    return folder;
}

// The campaign's two-wattmeter settings, results written beside the recordings.
ConversionSettings campaignSettings(HarmonicOption option) {
    ConversionSettings s;
    s.measurementType = MeasurementType::ThreePhase2M;
    s.setHarmonicOption(option);
    s.setFeederCount(kFeeders);
    s.ctRatio.fill(100);
    s.outputFileName = (campaignFolder() / "waveharm_bench_result").string() + s.outputExtension();
    return s;
}

// Every file of the folder read whole into one reused buffer, as `cat` does.
void readWhole(benchmark::State& state) {
    const fs::path folder = campaignFolder() / "recordings";
    std::vector<char> buffer(128 * 1024);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::FILE* f = std::fopen(entry.path().string().c_str(), "rb");
            if (!f) {
                state.SkipWithError("cannot open a recording");
                return;
            }
            std::size_t got = 0;
            while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
                bytes += static_cast<std::int64_t>(got);
            std::fclose(f);
        }
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * kRecordings);
}

// A console run without --verbose: nothing of each recording is shown.
class QuietRun : public ConversionObserver {
    bool showsRecordings() const override { return false; }
};

// jobs 0: the machine's cores.
void convert(benchmark::State& state, HarmonicOption option, int jobs) {
    const fs::path folder = campaignFolder() / "recordings";
    const ConversionSettings settings = campaignSettings(option);
    const int workers = jobs > 0 ? jobs : defaultJobs();
    QuietRun quiet;
    int analysed = 0;
    for (auto _ : state) {
        ConversionDriver driver(settings, scanFolder(folder, false, workers), quiet, workers);
        driver.start();
        while (driver.step()) {
        }
        driver.finish();
        analysed = driver.summary().analysed;
    }
    fs::remove(settings.outputFileName);
    if (analysed != kRecordings) state.SkipWithError("not every recording was analysed");
    state.SetItemsProcessed(state.iterations() * kRecordings);
    state.SetLabel(std::to_string(workers) + " job(s)");
}

BENCHMARK(readWhole)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK_CAPTURE(convert, odd49_default_jobs, HarmonicOption::Odd1To49, 0)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(convert, odd49_one_job, HarmonicOption::Odd1To49, 1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_CAPTURE(convert, order256_default_jobs, HarmonicOption::HighOrder256, 0)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// Recordings per second of the plain read and of each conversion, and how many times each
// conversion takes the plain read, in real time and in CPU time of the whole process (on a
// busy machine the CPU time says what the run itself costs).
void printRatios(const bench::RatioReporter& reporter) {
    const auto read = reporter.times("readWhole/process_time/real_time");
    if (!read || read->real <= 0) return;
    std::printf("\n%d recordings of %d channels x %lld samples (%d feeders), %d core(s):\n",
                kRecordings, 2 + 2 * kFeeders, static_cast<long long>(kSamples), kFeeders,
                defaultJobs());
    std::printf("  read whole (as cat): %.0f recordings/s\n", kRecordings / read->real);
    for (const char* name : {"convert/odd49_default_jobs/process_time/real_time",
                             "convert/odd49_one_job/process_time/real_time",
                             "convert/order256_default_jobs/process_time/real_time"}) {
        const auto conversion = reporter.times(name);
        if (!conversion || conversion->real <= 0) continue;
        std::printf(
            "  %s: %.0f recordings/s, %.2f times the plain read (%.2f in the "
            "process's CPU time)\n",
            name, kRecordings / conversion->real, conversion->real / read->real,
            read->cpu > 0 ? conversion->cpu / read->cpu : 0.0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    campaignFolder();  // written once, outside the timed loops
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(reporter);
    benchmark::Shutdown();
    fs::remove_all(campaignFolder());
    return 0;
}
