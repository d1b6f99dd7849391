// The two interpolation modes of the analysis window: the linear mode kept bit for bit,
// and the band-limited mode with the fitted period, against the tones of the recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "engine/analyzer.h"
#include "engine/band_limited.h"
#include "engine/linear_interpolation.h"
#include "engine/resampling.h"
#include "engine/wiring_check.h"
#include "engine_test_support.h"

namespace waveharm {
namespace {

using test::makeRecording;
using test::Tones;

/// Compares the windows point by point; a difference names the column and the point.
void expectSameWindow(const WindowWaveforms& got, const WindowWaveforms& expected) {
    ASSERT_EQ(got.columns.rows(), expected.columns.rows());
    ASSERT_EQ(got.columns.cols(), expected.columns.cols());
    for (std::size_t c = 0; c < got.columns.rows(); ++c)
        for (std::size_t i = 0; i < got.columns.cols(); ++i)
            ASSERT_EQ(got.columns(c, i), expected.columns(c, i))
                << "column " << c << ", point " << i;
    EXPECT_EQ(got.samplePositions, expected.samplePositions);
    EXPECT_EQ(got.peakTable, expected.peakTable);
}

Tones distorted(double amplitude, double phaseDeg, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> phase(0, 360);
    Tones tones{{1, amplitude, phaseDeg}};
    for (int h = 2; h <= 49; ++h) tones.push_back({h, amplitude * 0.025, phase(rng)});
    return tones;
}

// The linear window of recordings that exercise every branch of the resampler
// (paired and unpaired channels, several feeders, measured and fixed periods): the
// period found as before the band-limited mode existed, and every point the straight
// line between the two recorded samples around start + i · period / N, worked out in
// double and rounded once to float. Result files of the linear mode stay comparable with
// those written earlier only while these hold to the bit.
TEST(LinearInterpolation, WindowIsTheStraightLineBetweenTheRecordedSamples) {
    struct Case {
        MeasurementType type;
        int feeders;
        SyncMode sync;
        double fs, f1;
        double windowStart, windowEnd;
    };
    const Case cases[] = {
        {MeasurementType::ThreePhase2M, 1, SyncMode::ZeroCross, 10000, 50, 190.69636964797974,
         390.69636964797974},
        {MeasurementType::ThreePhase2M, 2, SyncMode::ZeroCross, 20000, 60, 317.3320848941803,
         650.66187047958374},
        {MeasurementType::SinglePhase2W, 1, SyncMode::ZeroCross, 50000, 60, 795.17917676270008,
         1628.5063291192055},
        {MeasurementType::ThreePhase1M, 2, SyncMode::Fixed60Hz, 10000, 60, 0, 10000.0 / 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fs) + " S/s, " + std::to_string(c.f1) + " Hz");
        std::vector<Tones> channels;
        for (int s = 0; s < 2 * c.feeders + 2; ++s)
            channels.push_back(distorted(1300 - 100 * s, 20 + 37 * s, 11 + s));
        // The search starts well inside the record, a period after its first sample.
        const Recording rec =
            makeRecording(c.fs, c.f1, std::llround(c.fs / c.f1 * 6), channels, 25);
        ConversionSettings s = test::engineSettings(c.type, c.feeders);
        s.syncMode = c.sync;
        const AnalysisPeriod period = findAnalysisPeriod(rec, s);
        EXPECT_EQ(period.fixed, c.sync != SyncMode::ZeroCross);
        EXPECT_EQ(period.windowStart, c.windowStart);
        EXPECT_EQ(period.windowEnd, c.windowEnd);
        WindowWaveforms w;
        resampleWindow(rec, s, period, w);

        const int n = s.sampleCount();
        const double width = period.windowEnd - period.windowStart;
        const int step = pairedChannels(c.type) ? 1 : 2;
        for (int e = 0; e <= 2 * c.feeders + 1; e += step) {
            const auto x = rec.samples.column(sourceSlot(s, e));
            double largest = 0;
            for (int i = 0; i <= n; ++i) {
                const double p = period.windowStart + i * width / n;
                const auto row = static_cast<std::size_t>(p);
                const double v = (p - row) * (x[row + 1] - x[row]) + x[row];
                largest = std::max(largest, std::fabs(v));
                ASSERT_EQ(w.columns(e + e / 2, i), static_cast<float>(v))
                    << "entry " << e << ", point " << i;
                ASSERT_EQ(w.samplePositions[i], static_cast<float>(p)) << "point " << i;
            }
            EXPECT_EQ(w.peakTable[e], std::nearbyint(largest)) << "entry " << e;
        }
    }
}

// The vector path of the linear interpolation against the one-point-at-a-time path on
// full-scale samples and steps, fractions just below 1 and lengths that leave a tail.
TEST(LinearInterpolation, VectorPathGivesTheSameBitsAsOnePointAtATime) {
    const std::vector<std::int16_t> x = {-32768, 32767, -32768, 0, 1, -1, 32767, 32767, -7, 3, 5};
    for (std::size_t count = 0; count < x.size(); ++count) {
        std::vector<detail::RowStep> fast(count), slow(count);
        detail::fillRowSteps(x.data(), count, fast.data());
        detail::fillRowStepsScalar(x.data(), count, slow.data());
        // An empty vector's data() may be null, which memcmp must not be given.
        if (count > 0) {
            ASSERT_EQ(std::memcmp(fast.data(), slow.data(), count * sizeof(detail::RowStep)), 0)
                << count << " rows";
        }
    }
    std::vector<detail::RowStep> rows(x.size() - 1);
    detail::fillRowStepsScalar(x.data(), rows.size(), rows.data());
    std::mt19937 random(7);
    std::vector<std::size_t> below;
    std::vector<double> fraction;
    const double awkward[] = {0, 0.5, 1 - 1e-16, std::nextafter(1.0, 0.0), 1.0 / 3, 0.1, 1e-300};
    for (int i = 0; i < 203; ++i) {
        below.push_back(random() % rows.size());
        fraction.push_back(i < 7 ? awkward[i] : std::generate_canonical<double, 53>(random));
    }
    for (std::size_t points : {std::size_t{0}, std::size_t{3}, std::size_t{5}, below.size()}) {
        std::vector<float> fast(points), slow(points);
        const double largestFast = detail::interpolateColumn(rows.data(), below.data(),
                                                             fraction.data(), points, fast.data());
        const double largestSlow = detail::interpolateColumnScalar(
            rows.data(), below.data(), fraction.data(), points, slow.data());
        EXPECT_EQ(largestFast, largestSlow) << points << " points";
        if (points > 0) {
            EXPECT_EQ(std::memcmp(fast.data(), slow.data(), points * sizeof(float)), 0)
                << points << " points";
        }
    }
}

// The kernel against tones from near DC to 0.44 of the sampling rate, at positions all
// over the sample interval: within a count and a half of 30 000 (the rounding of the
// samples to whole counts), where straight lines miss by thousands above 0.2 fs.
TEST(BandLimitedKernel, PassesTonesUpToNearlyHalfTheSamplingRate) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> where(40, 960);
    for (double nu : {0.001, 0.05, 0.2, 0.3, 0.44}) {
        std::vector<std::int16_t> x(1001);
        auto tone = [nu](double n) {
            return 30000 * std::sin(2 * std::numbers::pi * nu * n + 0.3);
        };
        for (int n = 0; n < 1000; ++n) x[n] = static_cast<std::int16_t>(std::nearbyint(tone(n)));
        std::vector<double> positions{100.0, 100.5};
        for (int i = 0; i < 300; ++i) positions.push_back(where(rng));
        std::vector<float> values(positions.size());
        float* column = values.data();
        int peak = 0;
        const std::span<const std::int16_t> slot(x);
        resampleBandLimited({&slot, 1}, 1000, positions, {&column, 1}, {&peak, 1});
        EXPECT_EQ(values[0], x[100]) << "a whole position is its own sample";
        double worst = 0, truePeak = 0;
        for (std::size_t i = 0; i < positions.size(); ++i) {
            worst = std::max(worst, std::fabs(values[i] - tone(positions[i])));
            truePeak = std::max(truePeak, std::fabs(tone(positions[i])));
        }
        EXPECT_LT(worst, 1.5) << nu;
        EXPECT_NEAR(peak, truePeak, 2) << nu;
    }
}

TEST(BandLimitedKernel, RefusesPositionsWhoseTapsLeaveTheRecord) {
    const std::vector<std::int16_t> x(200, 5);
    const std::span<const std::int16_t> slot(x);
    std::vector<float> values(1);
    float* column = values.data();
    int peak = 0;
    for (double p : {30.5, 168.5, -1.0, 1e300}) {
        const double positions[] = {p};
        EXPECT_THROW(resampleBandLimited({&slot, 1}, 200, positions, {&column, 1}, {&peak, 1}),
                     AnalysisError)
            << p;
    }
    const double inside[] = {31.0, 167.9};
    std::vector<float> two(2);
    float* twoColumn = two.data();
    resampleBandLimited({&slot, 1}, 200, inside, {&twoColumn, 1}, {&peak, 1});
    EXPECT_NEAR(two[0], 5, 1e-6);
    EXPECT_NEAR(two[1], 5, 1e-6) << "a steady level passes unchanged";
    EXPECT_THROW(resampleBandLimited({&slot, 1}, 201, inside, {&twoColumn, 1}, {&peak, 1}),
                 AnalysisError)
        << "more rows declared than the slot holds";
}

// Real values (records of other instruments) go through the 256-tap kernel: a tone at
// 0.49 of the rate within 0.05 %, and its taps need 127 rows before and 128 after.
TEST(BandLimitedKernel, RealValuesPassTonesUpTo049OfTheRate) {
    std::vector<double> x(1001);
    auto tone = [](double n) { return 1000 * std::sin(2 * std::numbers::pi * 0.49 * n + 0.3); };
    for (int n = 0; n < 1000; ++n) x[n] = tone(n);
    std::vector<double> positions{300.0};
    for (int i = 0; i < 200; ++i) positions.push_back(300 + i * 1.37);
    std::vector<float> values(positions.size());
    float* column = values.data();
    int peak = 0;
    const std::span<const double> slot(x);
    resampleBandLimited({&slot, 1}, 1000, positions, {&column, 1}, {&peak, 1});
    EXPECT_FLOAT_EQ(values[0], static_cast<float>(x[300]));
    for (std::size_t i = 0; i < positions.size(); ++i)
        EXPECT_NEAR(values[i], tone(positions[i]), 0.5) << positions[i];
    for (const double p : {126.5, 872.5}) {
        const double outside[] = {p};
        EXPECT_THROW(resampleBandLimited({&slot, 1}, 1000, outside, {&column, 1}, {&peak, 1}),
                     AnalysisError)
            << p;
    }
}

// The fit from a crossing estimate several percent off, on a distorted 60 Hz voltage of
// 20 periods at 10 kS/s; and the cases where the estimate must stand.
TEST(PeriodFit, FindsThePeriodToAFewThousandthsOfASample) {
    const double truth = 10000.0 / 60;
    const Recording rec = makeRecording(10000, 60, 3334, {distorted(1300, 40, 3)});
    const auto x = rec.samples.column(0);
    for (double start : {truth * 0.97, truth - 0.3, truth * 1.04})
        EXPECT_NEAR(fitFundamentalPeriod(x, 3334, start), truth, 0.002) << start;
    EXPECT_EQ(fitFundamentalPeriod(x, 450, 166.0), 166.0) << "under three periods";
    const std::vector<std::int16_t> dead(3335, 0);
    EXPECT_EQ(fitFundamentalPeriod(dead, 3334, 166.0), 166.0) << "no fundamental";
}

ConversionSettings bandLimitedSettings(SyncMode sync) {
    ConversionSettings s = test::engineSettings(MeasurementType::ThreePhase2M, 1);
    s.syncMode = sync;
    s.interpolation = InterpolationMode::BandLimited;
    return s;
}

// A fixed period from the record's first sample leaves no room for the kernel's taps
// before it: the window moves on by one whole period and is interpolated band-limited.
// A record with no room anywhere keeps its window and falls back to straight lines.
TEST(BandLimitedWindow, MovesByWholePeriodsOrFallsBackToLinear) {
    std::vector<Tones> channels;
    for (int s = 0; s < 4; ++s) channels.push_back(distorted(1300, 20 + 37 * s, 11 + s));
    const Recording rec = makeRecording(10000, 50, 2000, channels);
    const ConversionSettings accurate = bandLimitedSettings(SyncMode::Fixed50Hz);
    const AnalysisPeriod moved = findAnalysisPeriod(rec, accurate);
    EXPECT_TRUE(moved.fixed);
    EXPECT_EQ(moved.windowStart, 200);
    EXPECT_EQ(moved.windowEnd, 400);
    WindowWaveforms w;
    resampleWindow(rec, accurate, moved, w);
    EXPECT_EQ(w.columns(0, 0), rec.samples.at(200, 0));
    EXPECT_EQ(w.columns(3, 1024), rec.samples.at(400, 2));
    EXPECT_NEAR(w.columns(0, 512), test::toneValue(channels[0], 3 * std::numbers::pi), 1.5);

    const Recording tight = makeRecording(10000, 50, 240, channels);
    const AnalysisPeriod kept = findAnalysisPeriod(tight, accurate);
    EXPECT_EQ(kept.windowStart, 0);
    EXPECT_EQ(kept.windowEnd, 200);
    ConversionSettings linear = accurate;
    linear.interpolation = InterpolationMode::Linear;
    WindowWaveforms expected;
    resampleWindow(tight, linear, kept, expected);
    resampleWindow(tight, accurate, kept, w);
    expectSameWindow(w, expected);
}

// The wiring check shows what the run will analyse: in the accurate mode the fitted
// period, so its frequency reads the recording's own 60 Hz to the hundredth.
TEST(BandLimitedWindow, WiringCheckUsesTheFittedPeriod) {
    std::vector<Tones> channels;
    for (int s = 0; s < 4; ++s) channels.push_back(distorted(1300, 20 + 37 * s, 21 + s));
    const Recording rec = makeRecording(10000, 59.987, 4000, channels, 25);
    const ConversionSettings accurate = bandLimitedSettings(SyncMode::ZeroCross);
    const AnalysisPeriod run = findAnalysisPeriod(rec, accurate);
    WindowWaveforms w;
    const WiringCheckResult check = runWiringCheck(rec, accurate, w);
    EXPECT_NEAR(check.t2 - check.t1, 10000 / 59.987, 0.002);
    EXPECT_NEAR(check.t2 - check.t1, run.windowEnd - run.windowStart, 1e-4);
    EXPECT_NEAR(check.frequencyHz, 59.987, 0.005);
}

}  // namespace
}  // namespace waveharm
