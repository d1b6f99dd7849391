#include "engine/wiring_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace waveharm {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

/// Sums of a unit sine w(k) = sin(2πk/N + phase) over one period, as the check
/// computes them: Σ w·sin = N/2·cos(phase), Σ w·cos = N/2·sin(phase).
void setPhasor(WiringCheckResult& r, int slot, double amplitude, double phaseDeg) {
    r.fundamentalSin[slot] = static_cast<float>(512 * amplitude * std::cos(phaseDeg * kDeg));
    r.fundamentalCos[slot] = static_cast<float>(512 * amplitude * std::sin(phaseDeg * kDeg));
}

WiringCheckResult emptyCheck() {
    WiringCheckResult r;
    r.fundamentalSin.assign(20, 0.0f);
    r.fundamentalCos.assign(20, 0.0f);
    r.channelRms.assign(20, 0.0f);
    return r;
}

std::vector<DiagramSegment> shafts(const WiringDiagram& d, int colour) {
    std::vector<DiagramSegment> out;
    for (const auto& s : d.segments)
        if (s.role == SegmentRole::ArrowShaft && s.colour == colour) out.push_back(s);
    return out;
}

/// Direction of a segment in diagram degrees (y up).
double directionDeg(const DiagramSegment& s) {
    return std::atan2(-(s.y2 - s.y1), s.x2 - s.x1) / kDeg;
}

double angleDiff(double a, double b) { return std::remainder(a - b, 360.0); }

/// A balanced three-phase system seen through the V connection: R-S at 0°, T-S at +60°
/// (positive sequence) or −60° (reversed); unity power factor currents.
WiringCheckResult balanced(bool positive) {
    WiringCheckResult r = emptyCheck();
    const double sign = positive ? 1 : -1;
    setPhasor(r, 0, 1.0, 0);
    setPhasor(r, 1, 1.0, sign * 60);
    setPhasor(r, 2, 0.5, -sign * 30);  // R current in phase with the R phase voltage
    setPhasor(r, 3, 0.5, sign * 90);   // T current in phase with the T phase voltage
    r.rotation = diagramRotation(MeasurementType::ThreePhase2M, r.fundamentalSin, r.fundamentalCos);
    return r;
}

TEST(WiringDiagram, BalancedSequencesTurnByTheirRotation) {
    ConversionSettings s;  // three-phase 2M, one feeder
    for (const bool positive : {true, false}) {
        const WiringCheckResult r = balanced(positive);
        EXPECT_FLOAT_EQ(r.rotation, positive ? 1.05f : 2.09f);
        const WiringDiagram d = wiringDiagram(r, s);

        const auto vrs = shafts(d, 10);
        ASSERT_EQ(vrs.size(), 1u);
        EXPECT_NEAR(std::hypot(vrs[0].x2 - vrs[0].x1, vrs[0].y2 - vrs[0].y1), 1500, 2);
        EXPECT_NEAR(angleDiff(directionDeg(vrs[0]), r.rotation / kDeg), 0, 0.1);
        const auto vts = shafts(d, 12);
        ASSERT_EQ(vts.size(), 1u);
        EXPECT_NEAR(angleDiff(directionDeg(vts[0]), directionDeg(vrs[0])), positive ? 60 : -60,
                    0.1);
        // Both voltages start at the S corner.
        EXPECT_EQ(vrs[0].x1, vts[0].x1);
        EXPECT_EQ(vrs[0].y1, vts[0].y1);

        // The R current lies along the dotted R phase voltage from the centroid.
        const auto ir = shafts(d, 11);
        ASSERT_EQ(ir.size(), 1u);
        EXPECT_NEAR(std::hypot(ir[0].x2 - ir[0].x1, ir[0].y2 - ir[0].y1), 750, 2);
        const DiagramSegment* phaseR = nullptr;
        for (const auto& seg : d.segments)
            if (seg.role == SegmentRole::Line && seg.colour == 11) phaseR = &seg;
        ASSERT_NE(phaseR, nullptr);
        EXPECT_EQ(phaseR->style, StrokeStyle::Dotted);
        EXPECT_NEAR(angleDiff(directionDeg(ir[0]), directionDeg(*phaseR)), 0, 0.2);

        // The S current closes the currents and is dotted; the R-T side is drawn.
        const auto is = shafts(d, 6);
        ASSERT_EQ(is.size(), 1u);
        EXPECT_EQ(is[0].style, StrokeStyle::Dotted);
        const auto it = shafts(d, 13);
        ASSERT_EQ(it.size(), 1u);
        EXPECT_NEAR(is[0].x2 - is[0].x1, -((ir[0].x2 - ir[0].x1) + (it[0].x2 - it[0].x1)), 1.5);
        int rtLines = 0;
        for (const auto& seg : d.segments)
            if (seg.role == SegmentRole::Line && seg.colour == 8) ++rtLines;
        EXPECT_EQ(rtLines, 1);
    }
}

TEST(WiringDiagram, OneFeederIsCentredWithoutLabelAndWithTheFullLegend) {
    ConversionSettings s;
    const WiringDiagram d = wiringDiagram(balanced(true), s);
    const auto ir = shafts(d, 11);
    ASSERT_EQ(ir.size(), 1u);
    // The currents start at the centroid (3200, 1000 + 1500/1.732) in diagram units.
    EXPECT_EQ(ir[0].x1, 3200);
    EXPECT_EQ(ir[0].y1, kDiagramBaseY - 1866);
    std::vector<std::string> texts;
    for (const auto& t : d.texts) texts.push_back(t.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Vr-s", "Ir", "Vt-s", "It", "Vr-t", "Is"}));
    EXPECT_EQ(d.texts[5].x, 7050);
    EXPECT_EQ(d.texts[5].y, 3420);
    EXPECT_EQ(d.texts[5].colour, 6);
}

TEST(WiringDiagram, ThreePhase1MDrawsOnlyTheRsVoltageAndTheRCurrent) {
    ConversionSettings s;
    s.measurementType = MeasurementType::ThreePhase1M;
    WiringCheckResult r = balanced(true);
    r.rotation = diagramRotation(s.measurementType, r.fundamentalSin, r.fundamentalCos);
    EXPECT_EQ(r.rotation, 0.0f);
    const WiringDiagram d = wiringDiagram(r, s);
    int shaftCount = 0;
    for (const auto& seg : d.segments) {
        EXPECT_NE(seg.role, SegmentRole::Line);
        if (seg.role == SegmentRole::ArrowShaft) ++shaftCount;
    }
    EXPECT_EQ(shaftCount, 2);
    EXPECT_EQ(shafts(d, 10).size(), 1u);
    EXPECT_EQ(shafts(d, 11).size(), 1u);
    ASSERT_EQ(d.texts.size(), 2u);
    EXPECT_EQ(d.texts[1].text, "Ir");
}

TEST(WiringDiagram, FeederWithoutCurrentCollapsesItsArrowsOntoTheCentroid) {
    ConversionSettings s;
    WiringCheckResult r = balanced(true);
    setPhasor(r, 2, 0, 0);
    setPhasor(r, 3, 0, 0);
    const WiringDiagram d = wiringDiagram(r, s);
    for (const int colour : {11, 13, 6}) {
        const auto a = shafts(d, colour);
        ASSERT_EQ(a.size(), 1u);
        EXPECT_EQ(a[0].x1, a[0].x2) << colour;
        EXPECT_EQ(a[0].y1, a[0].y2) << colour;
        EXPECT_EQ(a[0].x1, 3200);
    }
}

TEST(WiringDiagram, SeveralFeedersFollowTheLayoutTableWithLabels) {
    ConversionSettings s;
    s.setFeederCount(4);
    const WiringDiagram d = wiringDiagram(balanced(true), s);
    std::vector<DiagramText> labels;
    for (const auto& t : d.texts)
        if (t.text.rfind("F-", 0) == 0) labels.push_back(t);
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[2].text, "F-3");
    EXPECT_EQ(labels[2].x, 1800 - 200);
    EXPECT_EQ(labels[2].y, 3950 - 400);
    EXPECT_EQ(shafts(d, 10).size(), 4u);

    const FeederLayout nine = feederLayout(9, 7);
    EXPECT_EQ(nine.x, 1100 + 1300 * 2);
    EXPECT_EQ(nine.y, 400);
    EXPECT_EQ(nine.size, 1000);
    EXPECT_EQ(feederLayout(3, 2).x, 6100);
    EXPECT_EQ(feederLayout(6, 4).y, 400);
    EXPECT_EQ(feederLayout(8, 3).y, 2200);
}

TEST(WiringDiagram, ArrowBarbsPointBackFromTheTip) {
    WiringDiagram d;
    drawVector(d, 0, 0, 1000, 0, 10, StrokeStyle::Dotted);
    ASSERT_EQ(d.segments.size(), 3u);
    EXPECT_EQ(d.segments[0].style, StrokeStyle::Dotted);
    for (int i = 1; i < 3; ++i) {
        const auto& b = d.segments[i];
        EXPECT_EQ(b.style, StrokeStyle::Solid);
        EXPECT_EQ(b.x1, 1000);
        EXPECT_NEAR(b.x2, 1000 - 50 * std::cos(0.5), 0.01);
        EXPECT_NEAR(std::abs(b.y2 - kDiagramBaseY), 50 * std::sin(0.5), 0.01);
    }
    // One barb on each side of the shaft.
    EXPECT_LT((d.segments[1].y2 - kDiagramBaseY) * (d.segments[2].y2 - kDiagramBaseY), 0);
}

// ---- the check on a recording ----------------------------------------------------

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
