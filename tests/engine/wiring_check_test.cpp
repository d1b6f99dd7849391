#include "engine/wiring_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

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
        EXPECT_EQ(r.frequencyText, hz == 50 ? "基本波周波数 50.00Hz" : "基本波周波数 60.00Hz");
        EXPECT_FLOAT_EQ(r.rotation, 1.05f);
        // 800 counts peak at 2 V per 80 counts: 14.14 V RMS, times the PT ratio of 60.
        EXPECT_NEAR(r.channelRms[0], 800 / std::sqrt(2.0) * 2 / 80, 0.05);
        EXPECT_EQ(r.voltageLine.rfind("入力電圧,Vr-s= 848.", 0), 0u) << r.voltageLine;
        EXPECT_NE(r.voltageLine.find("V ,Vt-s= 848."), std::string::npos) << r.voltageLine;
        // 800 counts at 0.5 A per 80 counts over 0.1 ohm: 35.4 A.
        ASSERT_EQ(r.currentLines.size(), 1u);
        EXPECT_EQ(r.currentLines[0], "入力電流,I1r= 35.4A ,I1t= 35.4A");
        EXPECT_EQ(r.text, r.voltageLine + "\n" + r.currentLines[0] + "\n" + kWiringQuestion);
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
    EXPECT_EQ(r.frequencyText, "基本波周波数 50.00固定Hz");
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
    EXPECT_NE(r.voltageLine.find("Vt-s= 0.0V"), std::string::npos) << r.voltageLine;
}

TEST(WiringCheck, ChannelsMissingFromTheRecordingAreReportedNotRead) {
    ConversionSettings s;
    s.setFeederCount(2);  // needs six channels
    WindowWaveforms w;
    EXPECT_THROW(runWiringCheck(sineRecording(50, 10, 2000, 800, 4), s, w), AnalysisError);
    Recording noCounts = sineRecording(50, 10, 2000, 800, 6);
    noCounts.header.countsPerDiv = 0;
    EXPECT_THROW(runWiringCheck(noCounts, s, w), AnalysisError);
}

}  // namespace
}  // namespace waveharm
