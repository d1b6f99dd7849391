// The accurate ("高精度") interpolation against the linear one: the analysis of one
// recording (period, resampling, every transform, quantities) and the whole cost of a
// recording (file read and decode, then the analysis) for 1, 2 and 7 feeders at
// 10 kS/s, N = 1024, on records of 20 and 100 periods. Prints the ratios at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "engine/analyzer.h"
#include "input/recording.h"
#include "input/recording_writer.h"
#include "ratio_reporter.h"

namespace {

using namespace waveharm;

constexpr int kPeriods[] = {20, 100};

// A two-wattmeter recording of `feeders` feeders, 10 kS/s, 50 Hz, every channel with
// orders 2..49 at 2-3 %, written once per shape.
std::filesystem::path recordingFile(int feeders, int periods) {
    static std::map<std::pair<int, int>, std::filesystem::path> files;
    auto& path = files[{feeders, periods}];
    if (!path.empty()) return path;
    path = std::filesystem::temp_directory_path() /
           ("waveharm_bench_interp_" + std::to_string(feeders) + "_" + std::to_string(periods) +
            ".MEM");
    RecordingContent content;
    content.totalSamples = 200 * periods;
    content.pretriggerPercent = 10;
    for (int c = 0; c < 2 + 2 * feeders; ++c) {
        ChannelSignal ch;
        ch.tones = {{1, 1300, 30.0 * c}};
        for (int h = 2; h <= 49; ++h) ch.tones.push_back({h, 26.0 + h % 13, 37.0 * h + c});
        ch.noise = 1;
        ch.rangeText = c < 2 ? "20V" : "50mV";
        content.channels.push_back(ch);
    }
    writeRecording(path, content);
    return path;
}

ConversionSettings settingsFor(int feeders, InterpolationMode mode) {
    ConversionSettings s;
    s.measurementType = MeasurementType::ThreePhase2M;
    s.setFeederCount(feeders);
    s.setHarmonicOption(HarmonicOption::HighOrder256);
    s.interpolation = mode;
    return s;
}

void analysisOnly(benchmark::State& state, InterpolationMode mode) {
    const int feeders = static_cast<int>(state.range(0));
    const int periods = static_cast<int>(state.range(1));
    const ConversionSettings settings = settingsFor(feeders, mode);
    const Recording rec =
        readRecording(recordingFile(feeders, periods), ReadOptions::from(settings));
    Analyzer analyzer(settings);
    WindowWaveforms window;
    HarmonicResult result;
    for (auto _ : state) {
        benchmark::DoNotOptimize(analyzer.analyze(rec, window, result));
        benchmark::ClobberMemory();
    }
}

void wholeRecording(benchmark::State& state, InterpolationMode mode) {
    const int feeders = static_cast<int>(state.range(0));
    const int periods = static_cast<int>(state.range(1));
    const ConversionSettings settings = settingsFor(feeders, mode);
    const auto path = recordingFile(feeders, periods);
    Analyzer analyzer(settings);
    WindowWaveforms window;
    HarmonicResult result;
    for (auto _ : state) {
        const Recording rec = readRecording(path, ReadOptions::from(settings));
        benchmark::DoNotOptimize(analyzer.analyze(rec, window, result));
        benchmark::ClobberMemory();
    }
}

void shapes(benchmark::internal::Benchmark* b) {
    for (int feeders : {1, 2, 7})
        for (int periods : kPeriods) b->Args({feeders, periods});
}

BENCHMARK_CAPTURE(analysisOnly, linear, InterpolationMode::Linear)->Apply(shapes);
BENCHMARK_CAPTURE(analysisOnly, accurate, InterpolationMode::BandLimited)->Apply(shapes);
BENCHMARK_CAPTURE(wholeRecording, linear, InterpolationMode::Linear)->Apply(shapes);
BENCHMARK_CAPTURE(wholeRecording, accurate, InterpolationMode::BandLimited)->Apply(shapes);

void printRatio(const bench::RatioReporter& reporter, const std::string& what,
                const std::string& shape) {
    const auto r = reporter.ratio(what + "/accurate/" + shape, what + "/linear/" + shape);
    if (!r) return;
    std::printf("%-15s %-7s accurate / linear: %.2f (%.2f in CPU time)\n", what.c_str(),
                shape.c_str(), r->real, r->cpu);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* what : {"analysisOnly", "wholeRecording"})
        for (int feeders : {1, 2, 7})
            for (int periods : kPeriods)
                printRatio(reporter, what, std::to_string(feeders) + "/" + std::to_string(periods));
    benchmark::Shutdown();
    return 0;
}
