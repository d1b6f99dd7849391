// The zero-crossing search, the analysis period by sync mode and the resampled window.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/analyzer.h"
#include "engine/resampling.h"
#include "engine_test_support.h"

namespace waveharm {
namespace {

using test::makeRecording;
using test::Tone;
using test::Tones;

std::vector<std::int16_t> sineSlot(double fs, double f, int count, double phaseDeg,
                                   double amplitude = 1600) {
    std::vector<std::int16_t> x(static_cast<std::size_t>(count + 1));
    for (int i = 0; i < count; ++i) {
        const double theta = 2 * std::numbers::pi * f * i / fs + phaseDeg * std::numbers::pi / 180;
        x[i] = static_cast<std::int16_t>(std::nearbyint(amplitude * std::sin(theta)));
    }
    return x;
}

ConversionSettings zeroCrossSettings(MeasurementType type = MeasurementType::ThreePhase2M) {
    ConversionSettings s = test::engineSettings(type, 1);
    s.syncMode = SyncMode::ZeroCross;
    return s;
}

Recording twoVoltageRecording(double fs, double f, std::int64_t total, double phaseDeg,
                              double pretrigger = 2) {
    return makeRecording(fs, f, total,
                         {Tones{{1, 1600, phaseDeg}}, Tones{{1, 1600, phaseDeg + 60}},
                          Tones{{1, 300, phaseDeg - 20}}, Tones{{1, 300, phaseDeg + 100}}},
                         pretrigger);
}

TEST(ZeroCrossingSearch, MovingSumAndItsSuccessor) {
    const std::vector<std::int16_t> x{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    float next = 0;
    EXPECT_FLOAT_EQ(movingSum(x, 11, 5, next), 66);  // x[0..10]
    EXPECT_FLOAT_EQ(next, 77);                       // x[1..11]
    // x[7..17]: the samples past the table read as zero.
    EXPECT_FLOAT_EQ(movingSum(x, 11, 12, next), 8 + 9 + 10 + 11 + 12 + 13 + 14);
    EXPECT_FLOAT_EQ(next, 9 + 10 + 11 + 12 + 13 + 14);
}

TEST(ZeroCrossingSearch, FindsTheRisingCrossingAndInterpolates) {
    // Rising crossing at 10 kS/s, 50 Hz, phase −36° → crossing at sample 20.
    const auto x = sineSlot(10000, 50, 2000, -36);
    std::int64_t position = 0;  // raised to 5
    EXPECT_NEAR(findRisingZeroCrossing(x, position, 2000), 20.0, 0.01);
}

TEST(ZeroCrossingSearch, StartClampsAndLimits) {
    const auto x = sineSlot(10000, 50, 2000, -36);
    // Any start before the record, however far, is raised to 5.
    for (std::int64_t start : {std::int64_t{-98}, std::int64_t{-99}, std::int64_t{-5000}}) {
        std::int64_t position = start;
        EXPECT_NEAR(findRisingZeroCrossing(x, position, 2000), 20.0, 0.01) << start;
    }
    std::int64_t position = 1901;
    EXPECT_EQ(findRisingZeroCrossing(x, position, 2000), -1) << "within 100 samples of the end";
    position = 1900;
    EXPECT_NEAR(findRisingZeroCrossing(x, position, 2000), 1820.0, 0.01)
        << "a start in a positive half-cycle steps back to its rising crossing";
}

TEST(ZeroCrossingSearch, StartExactlyOnARisingCrossing) {
    // Crossings at 0, 200, 400, …: the sum is exactly 0 there.
    const auto x = sineSlot(10000, 50, 2000, 0);
    for (std::int64_t start : {std::int64_t{200}, std::int64_t{100}}) {
        std::int64_t position = start;
        EXPECT_DOUBLE_EQ(findRisingZeroCrossing(x, position, 2000), 200) << "from " << start;
    }
}

TEST(ZeroCrossingSearch, ZerosGiveNoCrossing) {
    const std::vector<std::int16_t> x(2001, 0);
    std::int64_t position = 100;
    EXPECT_EQ(findRisingZeroCrossing(x, position, 2000), -1);
}

TEST(ZeroCrossingSearch, PositionsBeyond16Bits) {
    const auto x = sineSlot(10000, 50, 100000, -36);
    std::int64_t position = 70000;
    EXPECT_NEAR(findRisingZeroCrossing(x, position, 100000), 70020.0, 0.01);
}

class PeriodByPhase : public ::testing::TestWithParam<std::tuple<double, double>> {};

TEST_P(PeriodByPhase, CleanSineMeasuresItsOwnPeriod) {
    const auto [frequency, phase] = GetParam();
    const Recording rec = twoVoltageRecording(10000, frequency, 2000, phase);
    const AnalysisPeriod p = findAnalysisPeriod(rec, zeroCrossSettings());
    EXPECT_FALSE(p.fixed);
    EXPECT_NEAR(p.windowEnd - p.windowStart, 10000 / frequency, 0.05);
    EXPECT_NEAR(p.frequencyHz, frequency, 0.005);
}

INSTANTIATE_TEST_SUITE_P(FiftyAndSixtyHertz, PeriodByPhase,
                         ::testing::Combine(::testing::Values(50.0, 60.0),
                                            ::testing::Values(0.0, 45.0, 90.0, 135.0, 180.0, 225.0,
                                                              270.0, 315.0, 359.0)));

TEST(AnalysisPeriod, SixtyHertzAtOtherRatesAndLateTriggers) {
    // From 10 kS/s up: with 100 samples per period or fewer, the search's 100-sample
    // strides can step over every crossing (the wiring check warns of such rates).
    for (double fs : {10000.0, 20000.0, 50000.0, 200000.0}) {
        for (double f : {50.0, 60.0}) {
            const Recording rec = twoVoltageRecording(fs, f, std::llround(fs / 5), 30, 10);
            const AnalysisPeriod p = findAnalysisPeriod(rec, zeroCrossSettings());
            EXPECT_FALSE(p.fixed) << fs << " S/s " << f << " Hz";
            EXPECT_NEAR(p.frequencyHz, f, 0.005) << fs << " S/s";
        }
    }
}

TEST(AnalysisPeriod, TriggerNearTheStartOfTheRecord) {
    // 60 Hz triggered on its rising edge at sample 400 (2 % of 20 000) at 20 kS/s: the
    // search starts half a 50 Hz cycle earlier, in a positive half-cycle it cannot step
    // back out of so close to the start.
    const double phaseAtZero = -400.0 / (20000.0 / 60) * 360;
    const Recording rec = twoVoltageRecording(20000, 60, 20000, phaseAtZero, 2);
    const AnalysisPeriod p = findAnalysisPeriod(rec, zeroCrossSettings());
    EXPECT_FALSE(p.fixed);
    EXPECT_NEAR(p.frequencyHz, 60, 0.005);
    for (double phase : {0.0, 60.0, 120.0, 170.0, 240.0, 300.0}) {
        Recording mr = twoVoltageRecording(200000, 60, 20000, phase, 2);
        mr.header.recorderFamily = 80;
        EXPECT_NEAR(findAnalysisPeriod(mr, zeroCrossSettings()).frequencyHz, 60, 0.005) << phase;
    }
}

TEST(AnalysisPeriod, RecordingLongerThan32767Samples) {
    // The trigger point lies at sample 36 000.
    const Recording rec = twoVoltageRecording(10000, 60, 40000, 10, 90);
    const AnalysisPeriod p = findAnalysisPeriod(rec, zeroCrossSettings());
    EXPECT_FALSE(p.fixed);
    EXPECT_GT(p.windowStart, 32767);
    EXPECT_NEAR(p.frequencyHz, 60, 0.005);
}

TEST(AnalysisPeriod, Mr8880StartsHalfACycleIn) {
    Recording rec = twoVoltageRecording(10000, 50, 2000, 200, 50);
    rec.header.recorderFamily = 80;
    const AnalysisPeriod p = findAnalysisPeriod(rec, zeroCrossSettings());
    EXPECT_LT(p.windowStart, 300) << "search from sample 100, not from the pre-trigger point";
    EXPECT_NEAR(p.frequencyHz, 50, 0.005);
}

TEST(AnalysisPeriod, FallsBackToFixedFiftyHertz) {
    Recording rec = makeRecording(10000, 50, 2000, {Tones{}, Tones{}});  // zeros
    const AnalysisPeriod p = findAnalysisPeriod(rec, zeroCrossSettings());
    EXPECT_TRUE(p.fixed);
    EXPECT_EQ(p.windowStart, 0);
    EXPECT_EQ(p.windowEnd, 200);
    EXPECT_DOUBLE_EQ(p.frequencyHz, 50);

    // The period would close past the end of the record: fixed period instead.
    const Recording late = twoVoltageRecording(10000, 50, 2000, 0, 99);
    EXPECT_TRUE(findAnalysisPeriod(late, zeroCrossSettings()).fixed);
}

TEST(AnalysisPeriod, BySyncMode) {
    const Recording rec = twoVoltageRecording(10000, 60, 2000, 0);
    ConversionSettings s = zeroCrossSettings();
    s.syncMode = SyncMode::Fixed50Hz;
    AnalysisPeriod p = findAnalysisPeriod(rec, s);
    EXPECT_TRUE(p.fixed);
    EXPECT_EQ(p.windowEnd, 200);
    s.syncMode = SyncMode::Fixed60Hz;
    p = findAnalysisPeriod(rec, s);
    EXPECT_NEAR(p.windowEnd, 10000.0 / 60, 1e-9);
    s.syncMode = SyncMode::Fourier;
    p = findAnalysisPeriod(rec, s);
    EXPECT_FALSE(p.fixed) << "Fourier measures the period like ZeroCross";
    EXPECT_NEAR(p.frequencyHz, 60, 0.005);
}

TEST(AnalysisPeriod, RecordingsThatCannotBeAnalysed) {
    const Recording shortRec = twoVoltageRecording(10000, 50, 150, 0);
    EXPECT_THROW(findAnalysisPeriod(shortRec, zeroCrossSettings()), AnalysisError)
        << "not even a fixed 50 Hz period fits in 150 samples";
    Recording noRate = twoVoltageRecording(10000, 50, 2000, 0);
    noRate.header.samplingRateKHz = 0;
    EXPECT_THROW(findAnalysisPeriod(noRate, zeroCrossSettings()), AnalysisError);
    ConversionSettings s = zeroCrossSettings();
    s.channelMap[0] = 9;  // the recording holds 4 channels
    EXPECT_THROW(findAnalysisPeriod(noRate, s), AnalysisError);
}

TEST(SecondSearchStart, LiesInTheNegativeHalfCycleAfterT1) {
    for (double fs : {10.0, 200.0}) {
        const double t1 = 1234.5;
        const double start = static_cast<double>(secondCrossingSearchStart(t1, fs));
        for (double f : {50.0, 60.0}) {
            const double degrees = (start - t1) / (fs * 1000 / f) * 360;
            EXPECT_GT(degrees, 180 + 45) << f << " Hz";
            EXPECT_LT(degrees, 360 - 45) << f << " Hz";
        }
    }
}

TEST(SourceSlot, PairedUnpairedAndOneFeeder) {
    ConversionSettings s = test::engineSettings(MeasurementType::ThreePhase2M, 2);
    EXPECT_EQ(sourceSlot(s, 0), 0);
    EXPECT_EQ(sourceSlot(s, 5), 5);
    s.measurementType = MeasurementType::SinglePhase2W;  // one channel per feeder
    EXPECT_EQ(sourceSlot(s, 2), 1);
    EXPECT_EQ(sourceSlot(s, 4), 2);
    s.setFeederCount(1);
    s.channelMap = {2, 1, 4, 3};
    EXPECT_EQ(sourceSlot(s, 0), 1);
    EXPECT_EQ(sourceSlot(s, 2), 3);
    EXPECT_EQ(sourceSlot(s, 6), -1) << "entry 6 names no channel";
}

TEST(ResampleWindow, InterpolatesEveryUsedChannel) {
    Recording rec = makeRecording(10000, 50, 2000, {Tones{}, Tones{}, Tones{}, Tones{}});
    for (int s = 0; s < 4; ++s) {
        for (int i = 0; i <= 2000; ++i)
            rec.samples.at(i, s) = static_cast<std::int16_t>(i * (s + 1));
    }
    ConversionSettings settings = test::engineSettings(MeasurementType::ThreePhase2M, 1, 256);
    AnalysisPeriod period;
    period.windowStart = 100.25;
    period.windowEnd = 356.25;  // one sample per point
    WindowWaveforms w;
    resampleWindow(rec, settings, period, w);
    ASSERT_EQ(w.columns.rows(), 6u);
    ASSERT_EQ(w.columns.cols(), 257u);
    EXPECT_FLOAT_EQ(w.samplePositions[10], 110.25f);
    EXPECT_FLOAT_EQ(w.columns(0, 10), 110.25f);
    EXPECT_FLOAT_EQ(w.columns(1, 10), 220.5f);
    EXPECT_FLOAT_EQ(w.columns(3, 10), 330.75f) << "slot 2 goes to column 3";
    EXPECT_FLOAT_EQ(w.columns(4, 256), 4 * 356.25f);
    EXPECT_EQ(w.peakTable[3], 1425) << "round(4 × 356.25) half to even";
    EXPECT_EQ(w.peakTable[4], 0);
}

TEST(ResampleWindow, UnpairedChannelsLeaveTheSecondColumnsAlone) {
    Recording rec = twoVoltageRecording(10000, 50, 2000, 0);
    ConversionSettings settings = test::engineSettings(MeasurementType::SinglePhase2W, 1, 256);
    settings.channelMap = {1, 2, 3, 4};
    const AnalysisPeriod period = findAnalysisPeriod(rec, settings);
    WindowWaveforms w;
    resampleWindow(rec, settings, period, w);
    double sum1 = 0, sum3 = 0;
    for (int i = 0; i <= 256; ++i) {
        sum1 += std::fabs(w.columns(1, i));
        sum3 += std::fabs(w.columns(3, i));
    }
    EXPECT_EQ(sum1, 0) << "column 1 is not resampled";
    EXPECT_GT(sum3, 0) << "channel 3 (slot 2) into column 3";
    EXPECT_EQ(w.peakTable[1], 0);
    EXPECT_NEAR(w.peakTable[2], 300, 2);
}

TEST(ResampleWindow, RefusesWindowsOutsideTheSamples) {
    const Recording rec = twoVoltageRecording(10000, 50, 2000, 0);
    const ConversionSettings settings = zeroCrossSettings();
    WindowWaveforms w;
    AnalysisPeriod beyond;
    beyond.windowStart = 1900;
    beyond.windowEnd = 2000;  // the last sample is 1999
    EXPECT_THROW(resampleWindow(rec, settings, beyond, w), AnalysisError);
    AnalysisPeriod before;
    before.windowStart = -1;
    before.windowEnd = 199;
    EXPECT_THROW(resampleWindow(rec, settings, before, w), AnalysisError);
    AnalysisPeriod lastSample;
    lastSample.windowStart = 1799;
    lastSample.windowEnd = 1999;
    EXPECT_NO_THROW(resampleWindow(rec, settings, lastSample, w));
    ConversionSettings twoFeeders = test::engineSettings(MeasurementType::ThreePhase2M, 2);
    EXPECT_THROW(resampleWindow(rec, twoFeeders, lastSample, w), AnalysisError)
        << "feeder 2's channels are not in a 4-channel recording";
}

}  // namespace
}  // namespace waveharm
