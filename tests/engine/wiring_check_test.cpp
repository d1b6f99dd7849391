#include "engine/wiring_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>

#include "engine/period.h"

namespace waveharm {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

Recording sineRecording(double frequencyHz, double rateKHz, std::int64_t samples, double amplitude,
                        int channels = 4) {
    Recording rec;
    RecorderFileHeader& h = rec.header;
    h.model = "8841";
    h.recorderFamily = 41;
    h.channelCount = static_cast<std::int16_t>(channels);
    h.samplingRateKHz = rateKHz;
    h.totalSamples = samples;
    h.pretrigger = 2;
    h.countsPerDiv = 80;
    for (int s = 0; s < channels; ++s) h.rangePerDiv[s] = s < 2 ? 2.0f : 0.5f;
    rec.samples = SampleTable(samples, channels);
    const double phase[4] = {0, 60, -30, 90};
    for (std::int64_t i = 0; i < samples; ++i) {
        const double t = i / (rateKHz * 1000.0);
        for (int s = 0; s < channels; ++s) {
            const double v =
                amplitude * std::sin(2 * std::numbers::pi * frequencyHz * t + phase[s % 4] * kDeg);
            rec.samples.at(i, s) = static_cast<std::int16_t>(std::lround(v));
        }
    }
    return rec;
}

TEST(WiringCheck, MeasuresTheFundamentalOfFiftyAndSixtyHertz) {
    ConversionSettings s;
    for (const double hz : {50.0, 60.0}) {
        WindowWaveforms w;
        const WiringCheckResult r = runWiringCheck(sineRecording(hz, 10, 2000, 800), s, w);
        EXPECT_FALSE(r.fixedPeriod);
        EXPECT_NEAR(r.t2 - r.t1, 10000 / hz, 0.5);
        EXPECT_NEAR(r.frequencyHz, hz, 0.005);
        EXPECT_FLOAT_EQ(r.rotation, 1.05f);
        // 800 counts peak at 2 V per 80 counts: 14.14 V RMS, times the PT ratio of 60.
        EXPECT_NEAR(r.channelRms[0], 800 / std::sqrt(2.0) * 2 / 80, 0.05);
        EXPECT_NEAR(r.lineVoltages[0], 848.5, 3);
        EXPECT_NEAR(r.lineVoltages[1], 848.5, 3);
        // 800 counts at 0.5 A per 80 counts over 0.1 ohm: 35.4 A.
        ASSERT_EQ(r.feederCurrents.size(), 1u);
        EXPECT_NEAR(r.feederCurrents[0][0], 35.36, 0.04);
        EXPECT_NEAR(r.feederCurrents[0][1], 35.36, 0.04);
        EXPECT_FALSE(r.fewSamples);
    }
}

TEST(WiringCheck, ChecksTheVeryWindowTheRunAnalyses) {
    // A trigger beyond sample 32 767 and a fixed sync mode: the check still measures the
    // crossings, at the same positions as the run's zero-crossing search.
    ConversionSettings s;
    s.syncMode = SyncMode::Fixed60Hz;
    Recording rec = sineRecording(60, 10, 200000, 800);
    rec.header.pretrigger = 20;
    WindowWaveforms w;
    const WiringCheckResult r = runWiringCheck(rec, s, w);
    s.syncMode = SyncMode::ZeroCross;
    const AnalysisPeriod run = findAnalysisPeriod(rec, s);
    EXPECT_GT(r.t1, 32767);
    EXPECT_EQ(r.t1, run.windowStart);
    EXPECT_EQ(r.t2, run.windowEnd);
    EXPECT_FALSE(r.fixedPeriod);
}

TEST(WiringCheck, DeadVoltageFallsBackToAFixedPeriod) {
    ConversionSettings s;
    WindowWaveforms w;
    const WiringCheckResult r = runWiringCheck(sineRecording(50, 10, 2000, 0), s, w);
    EXPECT_TRUE(r.fixedPeriod);
    EXPECT_EQ(r.t1, 0);
    EXPECT_EQ(r.t2, 200);
    EXPECT_DOUBLE_EQ(r.frequencyHz, 50);
}

TEST(WiringCheck, FiveKilosamplesIsTooFewAndOneMChecksOnlyItsSlots) {
    ConversionSettings s;
    s.measurementType = MeasurementType::ThreePhase1M;
    s.channelMap[2] = 2;
    s.channelMap[1] = 3;
    WindowWaveforms w;
    const WiringCheckResult r = runWiringCheck(sineRecording(50, 5, 2000, 800), s, w);
    EXPECT_TRUE(r.fewSamples);
    EXPECT_EQ(r.rotation, 0.0f);
    EXPECT_EQ(r.channelRms[1], 0.0f);
    EXPECT_EQ(r.channelRms[3], 0.0f);
    EXPECT_GT(r.channelRms[2], 0.0f);
    EXPECT_EQ(r.lineVoltages[1], 0.0f);
}

TEST(WiringCheck, ChannelsMissingFromTheRecordingAreReportedNotRead) {
    ConversionSettings s;
    s.setFeederCount(2);  // needs six channels
    WindowWaveforms w;
    const auto faultOf = [&](const Recording& rec) {
        try {
            runWiringCheck(rec, s, w);
        } catch (const WiringCheckError& e) {
            return std::pair(e.fault(), e.input());
        }
        return std::pair(WiringFault::NoSamplingRate, -1);
    };
    // The first missing one is feeder 2's R current, the fifth input.
    EXPECT_EQ(faultOf(sineRecording(50, 10, 2000, 800, 4)),
              std::pair(WiringFault::MissingChannel, 5));
    Recording noCounts = sineRecording(50, 10, 2000, 800, 6);
    noCounts.header.countsPerDiv = 0;
    EXPECT_EQ(faultOf(noCounts).first, WiringFault::NoCountsPerDivision);
}

}  // namespace
}  // namespace waveharm
