// Accuracy of the whole analysis (period, resampling, transform) on recorded harmonics:
// magnitudes and angles against the tones the recording was made of.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

#include "engine/analyzer.h"
#include "engine/complex_math.h"
#include "engine_test_support.h"

namespace waveharm {
namespace {

using test::Tone;
using test::Tones;

constexpr double kCountsToAmperes = 20.0 / 80 / 0.1;  // range 20/div, 80 counts, 0.1 Ω
constexpr double kVoltagePhase = 17;                  // fundamental phase of the voltage

// One voltage on slot 0 and one current on slot 1, single-phase two-wire.
ConversionSettings twoWireSettings() {
    ConversionSettings s = test::engineSettings(MeasurementType::SinglePhase2W, 1);
    s.channelMap = {1, 0, 2, 0};
    return s;
}

// Large fundamentals keep the rounding of the samples to whole counts (about 0.01 count
// in a bin) well below 0.1 % of a 1 % harmonic. The voltage, whose crossings set the
// period, carries the low orders of a supply voltage.
Tones distortedVoltage() {
    return {{1, 10000, kVoltagePhase},
            {3, 300, 10},
            {5, 500, 200},
            {7, 400, 45},
            {11, 200, 300},
            {13, 150, 120}};
}

// Fundamental 8000 counts and every order 2..49 falling from 20 % to 1 %, random phases.
Tones distortedCurrent() {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> phase(0, 360);
    Tones tones{{1, 8000, -25}};
    for (int h = 2; h <= 49; ++h) {
        const double percent = 1 + 19.0 * (49 - h) / 47;
        tones.push_back({h, 80 * percent, phase(rng)});
    }
    return tones;
}

double peakOf(const Tones& tones) {
    double peak = 0;
    for (int i = 0; i < 20000; ++i) {
        peak = std::max(peak, std::fabs(test::toneValue(tones, 2 * std::numbers::pi * i / 20000)));
    }
    return peak;
}

struct Analysed {
    AnalysisPeriod period;
    HarmonicResult result;
};

double sinc2(double x) {
    const double a = std::numbers::pi * x;
    return std::pow(std::sin(a) / a, 2);
}

// `realValues`: the samples as a record of another instrument holds them, real values
// (the same numbers) rather than counts.
Analysed analyse(double fs, double f1, const Tones& voltage, const Tones& current,
                 InterpolationMode mode = InterpolationMode::Linear, double periods = 4,
                 bool realValues = false) {
    const auto total = static_cast<std::int64_t>(std::ceil(fs / f1 * periods));
    Recording rec = test::makeRecording(fs, f1, total, {voltage, current}, 25);
    if (realValues) {
        const SampleTable counts = rec.samples;
        rec.samples.resetReal(total, 2);
        for (int s = 0; s < 2; ++s)
            for (std::int64_t i = 0; i < total; ++i)
                rec.samples.realColumn(s)[static_cast<std::size_t>(i)] =
                    counts.column(s)[static_cast<std::size_t>(i)];
    }
    ConversionSettings settings = twoWireSettings();
    settings.interpolation = mode;
    Analyzer analyzer(settings);
    WindowWaveforms w;
    Analysed a;
    a.period = analyzer.analyze(rec, w, a.result);
    return a;
}

// Angle of order h of a phase-referenced phasor (column 3) in degrees.
double referencedAngleDeg(const HarmonicResult& r, int h, bool current) {
    const double im = current ? r.currentHarmonicIm(0, 3, h) : r.voltageHarmonicIm(3, h);
    const double re = current ? r.currentHarmonicRe(0, 3, h) : r.voltageHarmonicRe(3, h);
    return phaseAngle(im, re) * 180 / kPi;
}

class Accuracy : public ::testing::TestWithParam<double> {};

TEST_P(Accuracy, EveryHarmonicAt200kSps) {
    const double f1 = GetParam();
    ASSERT_LT(peakOf(distortedCurrent()), 32000) << "no sample clipped to 16 bits";
    const Analysed a = analyse(200000, f1, distortedVoltage(), distortedCurrent());
    ASSERT_FALSE(a.period.fixed);
    EXPECT_NEAR(a.period.frequencyHz, f1, 1e-3);
    const HarmonicResult& r = a.result;
    const double scaleV = 20.0 / 80 * 60 / kSqrt2;
    for (const Tone& t : distortedVoltage()) {
        const double truth = t.amplitude * scaleV;
        EXPECT_NEAR(r.voltageHarmonicMagnitude(0, t.order) / truth, 1.0, 1e-3) << "V" << t.order;
        const double angle = t.phaseDeg - t.order * kVoltagePhase;
        EXPECT_NEAR(test::angleDiffDeg(referencedAngleDeg(r, t.order, false), angle), 0, 0.5)
            << "V" << t.order;
    }
    double worstMagnitude = 0, worstAngle = 0;
    for (const Tone& t : distortedCurrent()) {
        const double truth = t.amplitude * kCountsToAmperes / kSqrt2;
        const double ratio = r.currentHarmonicMagnitude(0, 0, t.order) / truth;
        EXPECT_NEAR(ratio, 1.0, 1e-3) << "I" << t.order;
        const double angle = t.phaseDeg - t.order * kVoltagePhase;
        const double angleError = test::angleDiffDeg(referencedAngleDeg(r, t.order, true), angle);
        EXPECT_NEAR(angleError, 0, 0.5) << "I" << t.order;
        worstMagnitude = std::max(worstMagnitude, std::fabs(ratio - 1) * 100);
        worstAngle = std::max(worstAngle, std::fabs(angleError));
    }
    std::printf("%g Hz at 200 kS/s: largest current error %.4f %% and %.4f deg\n", f1,
                worstMagnitude, worstAngle);
}

INSTANTIATE_TEST_SUITE_P(FiftyAndSixtyHertz, Accuracy, ::testing::Values(50.0, 60.0));

// 60 Hz with the usual 2 % pre-trigger on short records: the pre-trigger span is shorter
// than half a 50 Hz cycle, so the first search starts before the record. The period is
// still measured, and every order reads within the linear interpolation's known loss.
TEST(AccuracyShortPreTrigger, SixtyHertzAtHighSamplingRates) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> phase(0, 360);
    Tones current{{1, 8000, -25}};
    for (int h = 2; h <= 49; ++h) current.push_back({h, 200, phase(rng)});
    const std::pair<double, std::int64_t> records[] = {
        {50000, 20000}, {100000, 40000}, {200000, 80000}};
    for (const auto& [fs, total] : records) {
        SCOPED_TRACE(fs);
        const Recording rec = test::makeRecording(fs, 60, total, {distortedVoltage(), current});
        Analyzer analyzer(twoWireSettings());
        WindowWaveforms w;
        HarmonicResult r;
        const AnalysisPeriod period = analyzer.analyze(rec, w, r);
        ASSERT_FALSE(period.fixed);
        EXPECT_NEAR(period.frequencyHz, 60, 0.005);
        for (int h = 2; h <= 49; ++h) {
            const double ratio =
                r.currentHarmonicMagnitude(0, 0, h) / (200 * kCountsToAmperes / kSqrt2);
            EXPECT_NEAR(ratio, sinc2(h * 60 / fs), 0.005) << h;
            EXPECT_LT(std::fabs(ratio - 1), 0.015) << h;
        }
    }
}

// Every order 2..49 at 2-3 % of a fundamental of about 1300 counts (a recorder's usual
// level), random phases; `shiftDeg` moves the whole waveform in time, so the recording
// starts at another point of the period.
Tones everyOrder(double fundamental, unsigned seed, double shiftDeg) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> phase(0, 360), percent(2, 3);
    Tones tones{{1, fundamental, shiftDeg}};
    for (int h = 2; h <= 49; ++h)
        tones.push_back({h, fundamental * percent(rng) / 100, phase(rng) + h * shiftDeg});
    return tones;
}

struct Worst {
    double magnitudePercent = 0, angleDeg = 0;
    void add(double ratio, double angleError) {
        magnitudePercent = std::max(magnitudePercent, std::fabs(ratio - 1) * 100);
        angleDeg = std::max(angleDeg, std::fabs(angleError));
    }
};

// At 50 Hz and 10 kS/s a period is 200 samples, twice the crossing search's stride: on this
// voltage the search start and every 100-sample move land where the sums are negative at
// both ends of the scanned stretch, with a short positive half-cycle in between.
TEST(CrossingSearch, FindsHalfCyclesShorterThanItsStride) {
    const Tones voltage = everyOrder(1300, 3, 0);
    const Analysed a = analyse(10000, 50, voltage, voltage, InterpolationMode::Linear, 20);
    EXPECT_FALSE(a.period.fixed);
    EXPECT_NEAR(a.period.windowEnd - a.period.windowStart, 200, 0.5);
}

// The band-limited window at the recorder's usual rates: every order within 0.5 % of its
// magnitude and 0.5° of its angle against the voltage's fundamental, for recordings that
// start at several points of the period (samples rounded to whole counts, 20 periods).
class BandLimitedAccuracy : public ::testing::TestWithParam<std::tuple<double, double>> {};

TEST_P(BandLimitedAccuracy, EveryOrderUpTo49) {
    const auto [fs, f1] = GetParam();
    const double scaleV = 20.0 / 80 * 60 / kSqrt2;
    const double scaleI = kCountsToAmperes / kSqrt2;
    Worst worst;
    // The start phases avoid those where this heavily distorted voltage (17 %) crosses
    // zero again near its falling edge, which the crossing search takes for the period's end.
    for (double shift : {30.0, 97.0, 188.5, 301.0}) {
        const Tones voltage = everyOrder(1300, 3, shift);
        const Tones current = everyOrder(1100, 5, shift - 25);
        const Analysed a = analyse(fs, f1, voltage, current, InterpolationMode::BandLimited, 20);
        ASSERT_FALSE(a.period.fixed) << shift;
        EXPECT_NEAR(a.period.windowEnd - a.period.windowStart, fs / f1, 0.002) << shift;
        const HarmonicResult& r = a.result;
        for (std::size_t i = 1; i < voltage.size(); ++i) {
            const int h = voltage[i].order;
            const double vRatio =
                r.voltageHarmonicMagnitude(0, h) / (voltage[i].amplitude * scaleV);
            const double vAngle = test::angleDiffDeg(referencedAngleDeg(r, h, false),
                                                     voltage[i].phaseDeg - h * shift);
            const double iRatio =
                r.currentHarmonicMagnitude(0, 0, h) / (current[i].amplitude * scaleI);
            const double iAngle =
                test::angleDiffDeg(referencedAngleDeg(r, h, true), current[i].phaseDeg - h * shift);
            EXPECT_NEAR(vRatio, 1, 0.005) << "V" << h << " shift " << shift;
            EXPECT_NEAR(vAngle, 0, 0.5) << "V" << h << " shift " << shift;
            EXPECT_NEAR(iRatio, 1, 0.005) << "I" << h << " shift " << shift;
            EXPECT_NEAR(iAngle, 0, 0.5) << "I" << h << " shift " << shift;
            worst.add(vRatio, vAngle);
            worst.add(iRatio, iAngle);
        }
    }
    std::printf("%g Hz at %g kS/s, band-limited: largest error %.3f %% and %.3f deg\n", f1,
                fs / 1000, worst.magnitudePercent, worst.angleDeg);
}

INSTANTIATE_TEST_SUITE_P(RecorderRates, BandLimitedAccuracy,
                         ::testing::Combine(::testing::Values(10000.0, 20000.0, 50000.0),
                                            ::testing::Values(50.0, 60.0)));

// Disturbance recorders sample at 1 to 6 kS/s, so the orders that matter come close to half
// the rate: every order of their records (real values) up to 0.49 of it reads within 0.5 %,
// whether a period holds a whole
// number of samples (3200 S/s at 50 Hz, 5760 at 60 Hz) or not (5760 at 50 Hz).
TEST(BandLimitedNearHalfTheRate, EveryOrderUpTo049OfTheRate) {
    std::mt19937 rng(13);
    std::uniform_real_distribution<double> phase(0, 360);
    for (const auto& [fs, f1] : {std::pair{3200.0, 50.0}, {5760.0, 50.0}, {5760.0, 60.0}}) {
        const int highest = static_cast<int>(0.49 * fs / f1);
        Tones current{{1, 8000, -25}};
        for (int h = 2; h <= highest; ++h) current.push_back({h, 200, phase(rng)});
        const Analysed a =
            analyse(fs, f1, distortedVoltage(), current, InterpolationMode::BandLimited, 40, true);
        ASSERT_FALSE(a.period.fixed) << fs;
        for (int h = 2; h <= highest; ++h) {
            const double ratio =
                a.result.currentHarmonicMagnitude(0, 0, h) / (200 * kCountsToAmperes / kSqrt2);
            EXPECT_NEAR(ratio, 1, 0.005) << "order " << h << " at " << fs << " S/s, " << f1;
        }
    }
}

// The linear interpolation of the resampling attenuates order h by about sinc²(h·f1/fs);
// the band-limited one keeps every order within 0.5 % and 0.5°. Prints the measured errors
// per order, rate and mode and checks them against those bounds.
TEST(AccuracyTable, MagnitudeErrorAtLowerSamplingRates) {
    const int orders[] = {3, 5, 7, 13, 25, 49};
    Tones current{{1, 3000, 0}};
    for (int h : orders) current.push_back({h, 300, 10.0 * h});
    for (const auto mode : {InterpolationMode::Linear, InterpolationMode::BandLimited}) {
        const bool linear = mode == InterpolationMode::Linear;
        for (double f1 : {50.0, 60.0}) {
            std::printf("magnitude error %% / angle error deg, %s, %g Hz:\n  kS/s",
                        linear ? "linear" : "band-limited", f1);
            for (int h : orders) std::printf("%15d", h);
            std::printf("\n");
            for (double fs : {10000.0, 20000.0, 50000.0}) {
                const Analysed a = analyse(fs, f1, {{1, 3000, 0}}, current, mode, 20);
                ASSERT_FALSE(a.period.fixed) << fs;
                std::printf("  %4g", fs / 1000);
                for (int h : orders) {
                    const double truth = 300 * kCountsToAmperes / kSqrt2;
                    const double ratio = a.result.currentHarmonicMagnitude(0, 0, h) / truth;
                    const double angle =
                        test::angleDiffDeg(referencedAngleDeg(a.result, h, true), 10.0 * h);
                    std::printf("%9.3f/%5.2f", (ratio - 1) * 100, angle);
                    EXPECT_NEAR(ratio, linear ? sinc2(h * f1 / fs) : 1.0, 0.005)
                        << h << " at " << fs;
                    if (!linear) {
                        EXPECT_NEAR(angle, 0, 0.5) << h << " at " << fs;
                    }
                }
                std::printf("\n");
            }
        }
    }
}

}  // namespace
}  // namespace waveharm
