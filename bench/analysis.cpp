// The analysis of one recording (period, resampling, every transform, quantities) for 1,
// 2 and 7 feeders at N = 1024, and one transform alone (the library's and the engine's
// radix-2 one behind the same interface), each against a plain loop that reads the same
// samples once. Prints the ratios at the end.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "engine/analyzer.h"
#include "ratio_reporter.h"

namespace {

using namespace waveharm;

constexpr double kRate = 10000;  // samples per second
constexpr double kMains = 50;
constexpr std::int64_t kSamples = 20000;

// A two-wattmeter recording: line voltages on slots 0 and 1, then R and T currents of each
// feeder, all with 5th, 7th and 11th harmonics.
Recording recordingFor(int feeders) {
    Recording rec;
    const int channels = 2 + 2 * feeders;
    RecorderFileHeader& h = rec.header;
    h.model = "8841";
    h.recorderFamily = 41;
    h.channelCount = static_cast<std::int16_t>(channels);
    h.countsPerDiv = 80;
    h.totalSamples = kSamples;
    h.samplingRateKHz = kRate / 1000;
    h.pretrigger = 2;
    rec.samples = SampleTable(kSamples, channels);
    for (int s = 0; s < channels; ++s) {
        h.rangePerDiv[s] = s < 2 ? 200 : 0.5f;
        const double shift = (s % 2 == 0 ? 30 : 90) * std::numbers::pi / 180;
        for (std::int64_t i = 0; i < kSamples; ++i) {
            const double t = 2 * std::numbers::pi * kMains * static_cast<double>(i) / kRate;
            const double v = 1500 * std::sin(t + shift) + 120 * std::sin(5 * t + shift) +
                             80 * std::sin(7 * t) + 40 * std::sin(11 * t + 1);
            rec.samples.at(i, s) = static_cast<std::int16_t>(std::nearbyint(v));
        }
    }
    return rec;
}

ConversionSettings settingsFor(int feeders) {
    ConversionSettings s;
    s.measurementType = MeasurementType::ThreePhase2M;
    s.setFeederCount(feeders);
    s.setHarmonicOption(HarmonicOption::HighOrder256);
    s.setSampleCount(1024);
    return s;
}

void fullAnalysis(benchmark::State& state) {
    const int feeders = static_cast<int>(state.range(0));
    const Recording rec = recordingFor(feeders);
    Analyzer analyzer(settingsFor(feeders));
    WindowWaveforms window;
    HarmonicResult result;
    for (auto _ : state) {
        benchmark::DoNotOptimize(analyzer.analyze(rec, window, result));
        benchmark::ClobberMemory();
    }
}

// Reads once every sample the analysis reads from the record: one period of every used
// channel.
void plainPeriodLoop(benchmark::State& state) {
    const int feeders = static_cast<int>(state.range(0));
    const Recording rec = recordingFor(feeders);
    const AnalysisPeriod period = findAnalysisPeriod(rec, settingsFor(feeders));
    const auto first = static_cast<std::size_t>(period.windowStart);
    const auto last = static_cast<std::size_t>(period.windowEnd) + 1;
    for (auto _ : state) {
        long sum = 0;
        for (int s = 0; s < rec.samples.channelCount(); ++s) {
            const auto x = rec.samples.column(s);
            for (std::size_t i = first; i <= last; ++i) sum += x[i];
        }
        benchmark::DoNotOptimize(sum);
    }
}

std::vector<float> transformInput() {
    std::vector<float> column(1025);
    for (int i = 0; i <= 1024; ++i) {
        const double t = 2 * std::numbers::pi * i / 1024;
        column[i] = static_cast<float>(1500 * std::sin(t) + 120 * std::sin(5 * t));
    }
    return column;
}

// One 1024-point transform of a window column through the engine's interface, by the
// library or by the engine's own radix-2 transform, with the buffers a worker keeps.
void transformAlone(benchmark::State& state, TransformKind kind) {
    const FftPlan plan = FftPlan::make(1024, 10, kind);
    const std::vector<float> column = transformInput();
    std::vector<float> re, im;
    FftWorkspace work(plan.n);
    for (auto _ : state) {
        computeFft(plan, column, re, im, work);
        benchmark::DoNotOptimize(re.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel(plan.transformName());
}

void plainTransformLoop(benchmark::State& state) {
    const std::vector<float> column = transformInput();
    for (auto _ : state) {
        float sum = 0;
        for (int i = 0; i < 1024; ++i) sum += column[i];
        benchmark::DoNotOptimize(sum);
    }
}

BENCHMARK(fullAnalysis)->Arg(1)->Arg(2)->Arg(7);
BENCHMARK(plainPeriodLoop)->Arg(1)->Arg(2)->Arg(7);
BENCHMARK_CAPTURE(transformAlone, library, TransformKind::Library);
BENCHMARK_CAPTURE(transformAlone, radix2, TransformKind::Radix2);
BENCHMARK(plainTransformLoop);

// How many times the analysis (or the transform) takes the plain loop over its samples.
void printRatio(const bench::RatioReporter& reporter, const std::string& work,
                const std::string& plain, const std::string& what) {
    const auto r = reporter.ratio(work, plain);
    if (!r) return;
    std::printf("%s takes %.0f times the plain loop over its samples (%.0f in CPU time)\n",
                what.c_str(), r->real, r->cpu);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* f : {"1", "2", "7"}) {
        printRatio(reporter, std::string("fullAnalysis/") + f, std::string("plainPeriodLoop/") + f,
                   std::string("analysis of one recording, ") + f + " feeder(s),");
    }
    printRatio(reporter, "transformAlone/library", "plainTransformLoop",
               "one 1024-point transform (library)");
    printRatio(reporter, "transformAlone/radix2", "plainTransformLoop",
               "one 1024-point transform (radix-2)");
    const auto library = reporter.times("transformAlone/library");
    const auto radix2 = reporter.times("transformAlone/radix2");
    if (library && radix2 && library->real > 0) {
        std::printf(
            "one 1024-point transform: library %.2f us, radix-2 %.2f us, radix-2 takes "
            "%.1f times the library\n",
            library->real * 1e6, radix2->real * 1e6, radix2->real / library->real);
    }
    benchmark::Shutdown();
    return 0;
}
