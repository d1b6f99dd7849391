// The two interpolation modes of the analysis window: the linear mode kept bit for bit,
// and the band-limited mode with the fitted period, against the tones of the recording.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "engine/analysis.h"
#include "engine_test_support.h"

namespace waveharm {
namespace {

using test::makeRecording;
using test::Tones;

// FNV-1a over the bytes of the window and its period: any change of a resampled value,
// a sample position, a peak or the period shows.
std::uint64_t windowDigest(const AnalysisPeriod& period, const WindowWaveforms& w) {
    std::uint64_t h = 1469598103934665603ull;
    auto add = [&h](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    };
    add(&period.windowStart, sizeof period.windowStart);
    add(&period.windowEnd, sizeof period.windowEnd);
    for (std::size_t c = 0; c < w.columns.rows(); ++c)
        add(w.columns.row(c), w.columns.cols() * sizeof(float));
    add(w.samplePositions.data(), w.samplePositions.size() * sizeof(float));
    add(w.peakTable.data(), w.peakTable.size() * sizeof(std::int16_t));
    return h;
}

Tones distorted(double amplitude, double phaseDeg, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> phase(0, 360);
    Tones tones{{1, amplitude, phaseDeg}};
    for (int h = 2; h <= 49; ++h) tones.push_back({h, amplitude * 0.025, phase(rng)});
    return tones;
}

// The linear window of recordings that exercise every branch of the resampler
// (paired and unpaired channels, several feeders, measured and fixed periods), as it was
// before the band-limited mode existed. Result files of the linear mode stay comparable
// with those written earlier only while this digest holds.
TEST(LinearInterpolation, WindowIsBitForBitAsBefore) {
    struct Case {
        MeasurementType type;
        int feeders;
        SyncMode sync;
        double fs, f1;
        std::uint64_t digest;
    };
    const Case cases[] = {
        {MeasurementType::ThreePhase2M, 1, SyncMode::ZeroCross, 10000, 50, 1930946293937193111ull},
        {MeasurementType::ThreePhase2M, 2, SyncMode::ZeroCross, 20000, 60, 1631998502335492509ull},
        {MeasurementType::SinglePhase2W, 1, SyncMode::ZeroCross, 50000, 60, 10908369486068813957ull},
        {MeasurementType::ThreePhase1M, 2, SyncMode::Fixed60Hz, 10000, 60, 3478818989987419629ull},
    };
    for (const Case& c : cases) {
        std::vector<Tones> channels;
        for (int s = 0; s < 2 * c.feeders + 2; ++s)
            channels.push_back(distorted(1300 - 100 * s, 20 + 37 * s, 11 + s));
        // The search starts well inside the record, a period after its first sample.
        const Recording rec =
            makeRecording(c.fs, c.f1, std::llround(c.fs / c.f1 * 6), channels, 25);
        ConversionSettings s = test::engineSettings(c.type, c.feeders);
        s.syncMode = c.sync;
        const AnalysisPeriod period = findAnalysisPeriod(rec, s);
        ASSERT_EQ(period.fixed, c.sync != SyncMode::ZeroCross);
        WindowWaveforms w;
        resampleWindow(rec, s, period, w);
        EXPECT_EQ(windowDigest(period, w), c.digest) << c.fs << " S/s, " << c.f1 << " Hz";
    }
}

}  // namespace
}  // namespace waveharm
