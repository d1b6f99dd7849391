// Converting a folder of 500 demo recordings (scan, read, analyse, aggregate, write)
// against merely reading the same recordings (scan, header read and sample load).
// Prints recordings per second of both and their ratio at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "input/recording.h"
#include "input/recording_writer.h"
#include "ratio_reporter.h"
#include "run/conversion_driver.h"

namespace {

using namespace waveharm;
namespace fs = std::filesystem;

constexpr int kRecordings = 500;
constexpr int kFeeders = 2;

const fs::path& campaignFolder() {
    static const fs::path folder = [] {
        const fs::path dir = fs::temp_directory_path() / "waveharm_bench_convert";
        fs::remove_all(dir);
        DemoOptions options;
        options.model = "8841";
        options.feeders = kFeeders;
        options.count = kRecordings;
        options.intervalSeconds = 20;
        writeDemoCampaign(dir / "recordings", options);
        return dir;
    }();
    return folder;
}

// Where the result files go: next to the recordings, or in memory (/dev/shm, where a
// flush to disk costs nothing) to show the analysis without the per-record disk sync.
fs::path resultFolder(bool inMemory) {
    const fs::path shm = "/dev/shm";
    if (inMemory && fs::is_directory(shm)) return shm;
    return campaignFolder();
}

// The settings of the demo campaign: two feeders measured by the two-wattmeter method.
ConversionSettings campaignSettings(HarmonicOption option, bool inMemory = false) {
    ConversionSettings s;
    s.measurementType = MeasurementType::ThreePhase2M;
    s.setHarmonicOption(option);
    s.setFeederCount(kFeeders);
    s.ctRatio[0] = 100;
    s.ctRatio[1] = 200;
    s.outputFileName =
        (resultFolder(inMemory) / "waveharm_bench_result").string() + s.outputExtension;
    return s;
}

void readOnly(benchmark::State& state) {
    const fs::path folder = campaignFolder() / "recordings";
    const ReadOptions options = ReadOptions::from(campaignSettings(HarmonicOption::Odd1To49));
    for (auto _ : state) {
        const WaveformFileList files = scanFolder(folder, false);
        for (int i = 0; i < files.count(); ++i)
            benchmark::DoNotOptimize(readRecording(files.pathOf(i), options));
    }
    state.SetItemsProcessed(state.iterations() * kRecordings);
}

void convert(benchmark::State& state, HarmonicOption option, bool inMemory) {
    const fs::path folder = campaignFolder() / "recordings";
    const ConversionSettings settings = campaignSettings(option, inMemory);
    ConversionObserver quiet;
    int analysed = 0;
    for (auto _ : state) {
        ConversionDriver driver(settings, scanFolder(folder, false), quiet);
        driver.start();
        while (driver.step()) {
        }
        driver.finish();
        analysed = driver.summary().analysed;
    }
    fs::remove(settings.outputFileName);
    if (analysed != kRecordings) state.SkipWithError("not every recording was analysed");
    state.SetItemsProcessed(state.iterations() * kRecordings);
}

BENCHMARK(readOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convert, odd49, HarmonicOption::Odd1To49, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(convert, order256, HarmonicOption::HighOrder256, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(convert, odd49_results_in_memory, HarmonicOption::Odd1To49, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Recordings per second of reading alone and of each conversion, and how many times
// each conversion takes the reading alone, all in real time.
void printRatios(const bench::RatioReporter& reporter) {
    const auto read = reporter.times("readOnly/real_time");
    if (!read || read->real <= 0) return;
    std::printf("\n%d recordings: read only %.0f recordings/s\n", kRecordings,
                kRecordings / read->real);
    for (const char* name : {"convert/odd49/real_time", "convert/order256/real_time",
                             "convert/odd49_results_in_memory/real_time"}) {
        const auto conversion = reporter.times(name);
        if (!conversion || conversion->real <= 0) continue;
        std::printf("%s: %.0f recordings/s, %.2f times the read-only time\n", name,
                    kRecordings / conversion->real, conversion->real / read->real);
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
