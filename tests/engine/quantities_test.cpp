// Electrical quantities of synthetic windows and of written recordings: scaling to primary
// RMS values, distortion, power and angles, and the recordings that cannot be analysed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "engine/analyzer.h"
#include "engine/complex_math.h"
#include "engine_test_support.h"
#include "input/recording_writer.h"
#include "support/scratch_folder.h"

namespace waveharm {
namespace {

using test::Tone;
using test::Tones;

// 20 units per division at 80 counts per division: 0.25 units per count.
constexpr double kVoltsPerCount = 0.25 * 60;     // × PT ratio 60
constexpr double kAmperesPerCount = 0.25 / 0.1;  // × CT ratio 1 / 0.1 Ω
constexpr double kVp = 1000;                     // phase-voltage peak, counts
constexpr double kLine = kVp * 1.7320508075688772;

double rmsVolts(double peakCounts) { return peakCounts / kSqrt2 * kVoltsPerCount; }
double rmsAmperes(double peakCounts) { return peakCounts / kSqrt2 * kAmperesPerCount; }

// The balanced line voltages R-S and T-S of phase voltages kVp·sin(θ + k·120°).
std::vector<Tones> lineVoltages(Tones extraRs = {}, Tones extraTs = {}) {
    Tones rs{{1, kLine, 30}};
    Tones ts{{1, kLine, 90}};
    rs.insert(rs.end(), extraRs.begin(), extraRs.end());
    ts.insert(ts.end(), extraTs.begin(), extraTs.end());
    return {rs, ts, {}};
}

class QuantitiesTest : public ::testing::Test {
  protected:
    HarmonicResult run(const ConversionSettings& s, const std::vector<Tones>& columns,
                       int n = 1024) {
        window = test::makeWindow(n, s.feederCount, columns);
        Analyzer analyzer(s);
        HarmonicResult r;
        analyzer.computeQuantities(header, window, r);
        return r;
    }
    ConversionSettings settings(MeasurementType type, int feeders = 1) {
        return test::engineSettings(type, feeders);
    }
    RecorderFileHeader header = test::windowHeader();
    WindowWaveforms window;
};

TEST_F(QuantitiesTest, PureSineTwoWattmeterGivesPrimaryRms) {
    const HarmonicResult r = run(settings(MeasurementType::ThreePhase2M), lineVoltages());
    const double expected = rmsVolts(kLine);
    EXPECT_NEAR(r.voltageRms[1] / expected, 1.0, 1e-5);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(r.voltageHarmonicMagnitude(c, 1) / expected, 1.0, 1e-5) << "phase " << c;
        // True RMS from samples uses no 1.41421: 2.6e-6 apart.
        EXPECT_NEAR(r.voltageRmsByPhase[c] / expected, 1.0, 1e-5);
    }
    for (int k = 2; k <= 99; ++k) EXPECT_LT(r.voltageHarmonicPercent[k], 1e-3) << k;
    EXPECT_LT(r.voltageDistortionSum / r.voltageRms[1], 1e-5);
}

TEST_F(QuantitiesTest, TenPercentFifthHarmonic) {
    const HarmonicResult r = run(settings(MeasurementType::ThreePhase2M),
                                 lineVoltages({{5, 0.1 * kLine, 20}}, {{5, 0.1 * kLine, 320}}));
    EXPECT_NEAR(r.voltageHarmonicPercent[5], 10, 0.01);
    EXPECT_NEAR(r.voltageDistortionSum / r.voltageRms[1] * 100, 10, 0.01);
    EXPECT_NEAR(r.voltageDistortionByPhase[0] / r.voltageHarmonicMagnitude(0, 1) * 100, 10, 0.01);
    EXPECT_LT(r.voltageHarmonicPercent[3], 1e-3);
}

TEST_F(QuantitiesTest, ThreeWattmeterBalancedLinesGivePhaseVoltages) {
    const HarmonicResult r = run(settings(MeasurementType::ThreePhase3M), lineVoltages());
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(r.voltageHarmonicMagnitude(c, 1) / rmsVolts(kLine / std::sqrt(3.0)), 1.0, 1e-5)
            << "phase " << c;
    }
    // R, T and S lie 120° apart: R at 0°, T at +120°, S at −120° against a sine.
    EXPECT_NEAR(r.voltageAngle[0] * 180 / std::numbers::pi, 0, 0.01);
    EXPECT_NEAR(r.voltageAngle[1] * 180 / std::numbers::pi, 120, 0.01);
    EXPECT_NEAR(test::angleDiffDeg(r.voltageAngle[2] * 180 / std::numbers::pi, -120), 0, 0.01);
}

// Two-wattmeter feeder whose phase currents lag their phase voltages by `lagDeg`.
std::vector<Tones> laggingFeeder(double currentPeak, double lagDeg) {
    auto columns = lineVoltages();
    columns.push_back({{1, currentPeak, -lagDeg}});       // R current
    columns.push_back({{1, currentPeak, 120 - lagDeg}});  // T current
    return columns;
}

TEST_F(QuantitiesTest, KnownCurrentLagGivesAngleAndPower) {
    const double lag = 30;
    const double ip = 400;
    const HarmonicResult r = run(settings(MeasurementType::ThreePhase2M), laggingFeeder(ip, lag));
    const double apparent = 3 * rmsVolts(kVp) * rmsAmperes(ip);
    const double rad = lag * std::numbers::pi / 180;
    EXPECT_NEAR(r.activePower(0, 1) / (apparent * std::cos(rad)), 1.0, 1e-5);
    // Sine parts on x, cosine parts on y: a lagging current turns clockwise, so its angle
    // and reactive power come out negative.
    EXPECT_NEAR(r.reactivePower(0, 1) / (-apparent * std::sin(rad)), 1.0, 1e-5);
    EXPECT_NEAR(r.phaseAngleDeg(0, 1), -lag, 0.01);
    EXPECT_NEAR(r.currentRms(0, 1) / rmsAmperes(ip), 1.0, 1e-5);
    EXPECT_FLOAT_EQ(r.currentHarmonicPercent(0, 1), 100);
}

TEST_F(QuantitiesTest, ThreeWattmeterReferencesEachPhaseToItsOwnVoltage) {
    for (double lag : {0.0, 25.0}) {
        const double ip = 400;
        const HarmonicResult r =
            run(settings(MeasurementType::ThreePhase3M), laggingFeeder(ip, lag));
        for (int c = 0; c < 3; ++c) {
            const double vr = r.voltageHarmonicRe(c + 3, 1), vi = r.voltageHarmonicIm(c + 3, 1);
            const double ir = r.currentHarmonicRe(0, c + 3, 1);
            const double ii = r.currentHarmonicIm(0, c + 3, 1);
            EXPECT_NEAR(vr / vi, 0, 1e-5) << "voltage fundamental on the x-axis, phase " << c;
            const double angle = phaseAngle(vr * ir + vi * ii, vi * ir - vr * ii) * 180 / kPi;
            EXPECT_NEAR(angle, -lag, 0.01) << "phase " << c << ", lag " << lag;
        }
        // All three phase powers.
        const double apparent = 3 * rmsVolts(kVp) * rmsAmperes(ip);
        EXPECT_NEAR(r.activePower(0, 1) / (apparent * std::cos(lag * std::numbers::pi / 180)), 1.0,
                    1e-5);
        EXPECT_NEAR(r.phaseAngleDeg(0, 1), -lag, 0.01);
    }
}

TEST_F(QuantitiesTest, PhaseReferencedHarmonicsKeepTheirAngleToTheFundamental) {
    // 5th at 70° in a sine-referenced window that starts at 30° of the fundamental.
    const HarmonicResult r =
        run(settings(MeasurementType::ThreePhase2M), lineVoltages({{5, 0.05 * kLine, 70}}));
    const double turned = phaseAngle(r.voltageHarmonicIm(3, 5), r.voltageHarmonicRe(3, 5));
    EXPECT_NEAR(test::angleDiffDeg(turned * 180 / kPi, 70 - 5 * 30), 0, 0.01);
    EXPECT_NEAR(std::hypot(r.voltageHarmonicIm(3, 5), r.voltageHarmonicRe(3, 5)),
                r.voltageHarmonicMagnitude(0, 5), 1e-3);
}

TEST_F(QuantitiesTest, DeadCurrentChannelGivesNoPercentagesAndNoDistortion) {
    auto columns = lineVoltages();
    columns.push_back({});
    columns.push_back({});
    const HarmonicResult r = run(settings(MeasurementType::ThreePhase2M), columns);
    for (int k = 1; k <= 99; ++k) {
        EXPECT_EQ(r.currentRms(0, k), 0) << k;
        EXPECT_EQ(r.currentHarmonicPercent(0, k), 0) << k;
        EXPECT_EQ(r.powerHarmonicPercent(0, k), 0) << k;
    }
    EXPECT_EQ(r.currentDistortionSum[0], 0);
    EXPECT_NEAR(r.voltageRms[1] / rmsVolts(kLine), 1.0, 1e-5) << "the voltages are still analysed";
}

TEST_F(QuantitiesTest, CurrentDistortionAndHarmonicPower) {
    auto columns = laggingFeeder(400, 0);
    columns[3].push_back({7, 40, 10});
    columns[4].push_back({7, 40, 10 + 7 * 120});
    const HarmonicResult r = run(settings(MeasurementType::ThreePhase2M), columns);
    EXPECT_NEAR(r.currentHarmonicPercent(0, 7), 10, 0.01);
    EXPECT_NEAR(r.currentDistortionSum[0] / r.currentRms(0, 1) * 100, 10, 0.01);
    EXPECT_LT(std::fabs(r.powerHarmonicPercent(0, 7)), 1e-3) << "no 7th voltage: no 7th power";
}

TEST_F(QuantitiesTest, RecordingsThatCannotBeAnalysed) {
    const ConversionSettings s = settings(MeasurementType::ThreePhase2M);
    Analyzer analyzer(s);
    HarmonicResult r;
    auto attempt = [&](const std::vector<Tones>& columns, const RecorderFileHeader& h) {
        window = test::makeWindow(1024, 1, columns);
        analyzer.computeQuantities(h, window, r);
    };
    EXPECT_THROW(attempt({{}, {{1, kLine, 90}}}, header), AnalysisError) << "dead R-S voltage";
    RecorderFileHeader noCounts = header;
    noCounts.countsPerDiv = 0;
    EXPECT_THROW(attempt(lineVoltages(), noCounts), AnalysisError);
    RecorderFileHeader noRange = header;
    noRange.rangePerDiv[0] = 0;
    EXPECT_THROW(attempt(lineVoltages(), noRange), AnalysisError) << "zero fundamental voltage";

    window = test::makeWindow(1024, 1, lineVoltages());
    window.columns(1, 7) = std::nanf("");
    EXPECT_THROW(analyzer.computeQuantities(header, window, r), AnalysisError);
    window = test::makeWindow(512, 1, lineVoltages());
    EXPECT_THROW(analyzer.computeQuantities(header, window, r), AnalysisError) << "wrong shape";

    ConversionSettings noSense = s;
    noSense.currentSenseOhms[0] = 0;
    Analyzer senseless(noSense);
    window = test::makeWindow(1024, 1, lineVoltages());
    EXPECT_THROW(senseless.computeQuantities(header, window, r), AnalysisError);
}

TEST_F(QuantitiesTest, FundamentalCoefficientsRemoveTheFundamentalExactly) {
    ConversionSettings s = settings(MeasurementType::ThreePhase2M, 2);
    auto columns = laggingFeeder(400, 20);
    columns[3].push_back({5, 60, 40});
    columns.push_back({});
    columns.push_back({{1, 300, 50}, {3, 30, 0}});
    columns.push_back({{1, 300, 170}});
    window = test::makeWindow(1024, 2, columns);
    Analyzer analyzer(s);
    HarmonicResult r;
    analyzer.computeQuantities(header, window, r);
    for (std::size_t col = 0; col < window.columns.rows(); ++col) {
        const double a = r.fundamentalCos[col], b = r.fundamentalSin[col];
        double left = 0, peak = 0;
        for (int i = 0; i < 1024; ++i) {
            const double theta = static_cast<double>(kTwoPi) * i / 1024;
            const double residue =
                window.columns(col, i) - a * std::cos(theta) - b * std::sin(theta);
            left += residue * std::sin(theta + 0.3);
            peak = std::max(peak, std::fabs(double(window.columns(col, i))));
        }
        EXPECT_LT(std::fabs(left * 2 / 1024), 1e-3 * (peak + 1)) << "column " << col;
    }
    EXPECT_FLOAT_EQ(r.fundamentalRawRe[0], r.fundamentalCos[0]);
    EXPECT_FLOAT_EQ(r.fundamentalRawIm[1], r.fundamentalSin[1]);
    EXPECT_NEAR(std::hypot(r.fundamentalCos[0], r.fundamentalSin[0]), kLine, 1e-2);
}

TEST_F(QuantitiesTest, EachFeederUsesItsOwnLineVoltageFlag) {
    ConversionSettings s = settings(MeasurementType::ThreePhase2M, 2);
    s.lineVoltageInput = {false, true};
    auto columns = lineVoltages();
    columns.push_back({{1, 100, 0}});
    columns.push_back({{1, 100, 120}});
    columns.push_back({});
    columns.push_back({{1, 100, 0}});
    columns.push_back({{1, 100, 120}});
    run(s, columns);
    const std::size_t i = 100;
    EXPECT_FLOAT_EQ(window.columns(5, i), window.columns(3, i) + window.columns(4, i));
    EXPECT_FLOAT_EQ(window.columns(8, i), window.columns(6, i) - window.columns(7, i));
}

// The third phase's spectrum is combined from the other two; it must be that of the
// derived waveform the window shows, within float noise, for every way it is derived.
TEST_F(QuantitiesTest, DerivedPhaseSpectrumIsThatOfItsWaveform) {
    for (const MeasurementType type :
         {MeasurementType::ThreePhase2M, MeasurementType::ThreePhase3M}) {
        ConversionSettings s = settings(type, 2);
        s.lineVoltageInput = {false, true};
        auto columns = lineVoltages({{5, 80, 10}}, {{7, 50, 40}});
        for (int f = 0; f < 2; ++f) {
            columns.push_back({{1, 400, 10}, {5, 60, 70}});
            columns.push_back({{1, 300, 130}, {7, 40, 20}});
            columns.push_back({});
        }
        const HarmonicResult r = run(s, columns);
        const FftPlan plan = planFor(s);
        for (const std::size_t column : {2u, 5u, 8u}) {
            std::vector<float> re, im;
            const float* w = window.columns.row(column);
            computeFft(plan, std::span<const float>(w, 1025), re, im);
            const double cos1 = double(re[1023]) + re[1];
            const double sin1 = double(im[1023]) - im[1];
            const double size = std::hypot(cos1, sin1);
            EXPECT_NEAR(r.fundamentalCos[column], cos1, 1e-5 * size) << "column " << column;
            EXPECT_NEAR(r.fundamentalSin[column], sin1, 1e-5 * size) << "column " << column;
            if (column == 2) continue;
            // Order 5 of the derived current against its fundamental, free of the scales.
            const std::size_t f = column / 3 - 1;
            const double ratio =
                std::hypot(double(re[1019]) + re[5], double(im[1019]) - im[5]) / size;
            const double got =
                std::hypot(r.currentHarmonicRe(f, 2, 5), r.currentHarmonicIm(f, 2, 5)) /
                std::hypot(r.currentHarmonicRe(f, 2, 1), r.currentHarmonicIm(f, 2, 1));
            EXPECT_NEAR(got, ratio, 1e-5) << "feeder " << f + 1;
        }
    }
}

TEST_F(QuantitiesTest, OnePhaseMeasuredWithPhaseCorrection) {
    ConversionSettings s = settings(MeasurementType::ThreePhase1M);
    s.setPhaseCorrectionIndex(3);  // +30°
    // R-S leads the R phase by 30°; the R current is in phase with its phase voltage.
    std::vector<Tones> columns{{{1, kLine, 30}}, {}, {}, {{1, 400, 0}}};
    const HarmonicResult r = run(s, columns);
    const double lineRms = rmsVolts(kLine), currentRms = rmsAmperes(400);
    EXPECT_NEAR(r.activePower(0, 1) / (std::sqrt(3.0) * lineRms * currentRms), 1.0, 1e-5);
    EXPECT_NEAR(r.phaseAngleDeg(0, 1), 0, 0.01);

    s.setPhaseCorrectionIndex(2);  // 0°: the plain product of the measured pair
    const HarmonicResult plain = run(s, columns);
    EXPECT_NEAR(plain.activePower(0, 1) / (lineRms * currentRms * std::cos(std::numbers::pi / 6)),
                1.0, 1e-5);
    EXPECT_NEAR(plain.phaseAngleDeg(0, 1), -30, 0.01);
}

TEST_F(QuantitiesTest, OrdersAtOrAboveHalfTheTransformStayInsideTheSpectrum) {
    ConversionSettings s = settings(MeasurementType::SinglePhase2W);
    s.setHarmonicOption(HarmonicOption::HighOrder256);
    s.setSampleCount(256);
    const HarmonicResult r = run(s, {{{1, 1000, 0}, {3, 100, 0}}, {}, {}, {{1, 100, 0}}}, 256);
    EXPECT_NEAR(r.voltageHarmonicPercent[3], 10, 0.01);
    EXPECT_NEAR(r.voltageHarmonicPercent[253], 10, 0.01) << "order N − 3 reads the same bins";
    EXPECT_NEAR(r.voltageRms[256], 0, 1e-3) << "order N reads bin N and the mean, both 0";
}

TEST_F(QuantitiesTest, SinglePhaseTwoWireLeavesUnusedPhasesEmpty) {
    const HarmonicResult r =
        run(settings(MeasurementType::SinglePhase2W), {{{1, 1000, 0}}, {}, {}, {{1, 400, -10}}});
    EXPECT_NEAR(r.voltageRms[1] / rmsVolts(1000), 1.0, 1e-5);
    EXPECT_EQ(r.voltageHarmonicMagnitude(1, 1), 0);
    EXPECT_NEAR(r.phaseAngleDeg(0, 1), -10, 0.01);
    EXPECT_NEAR(r.activePower(0, 1) /
                    (rmsVolts(1000) * rmsAmperes(400) * std::cos(10 * std::numbers::pi / 180)),
                1.0, 1e-5);
}

// Whole recordings through period, resampling and quantities.
class RecordingAnalysis : public ::testing::Test {};

TEST_F(RecordingAnalysis, LongSixtyHertzRecording) {
    const std::vector<Tones> channels{{{1, kLine, 30}, {5, 0.1 * kLine, 20}},
                                      {{1, kLine, 90}, {5, 0.1 * kLine, 320}},
                                      {{1, 400, 0}},
                                      {{1, 400, 120}}};
    const Recording rec = test::makeRecording(20000, 60, 40000, channels, 90);
    const ConversionSettings s = test::engineSettings(MeasurementType::ThreePhase2M, 1);
    Analyzer analyzer(s);
    WindowWaveforms w;
    HarmonicResult r;
    const AnalysisPeriod p = analyzer.analyze(rec, w, r);
    EXPECT_FALSE(p.fixed);
    EXPECT_GT(p.windowStart, 32767);
    EXPECT_NEAR(p.frequencyHz, 60, 0.005);
    EXPECT_NEAR(r.voltageRms[1] / rmsVolts(kLine), 1.0, 1e-3);
    EXPECT_NEAR(r.voltageHarmonicPercent[5], 10, 0.05);
    EXPECT_NEAR(r.phaseAngleDeg(0, 1), 0, 0.1);
}

TEST_F(RecordingAnalysis, WrittenAndReadRecording) {
    RecordingContent written;
    written.model = "8841";
    written.frequencyHz = 60;
    written.sampleRateHz = 10000;
    written.totalSamples = 2000;
    auto channel = [](Tones tones, const char* range) {
        ChannelSignal c;
        for (const Tone& t : tones) c.tones.push_back({t.order, t.amplitude, t.phaseDeg});
        c.rangeText = range;
        return c;
    };
    written.channels = {channel({{1, 1600, 30}, {5, 160, 20}}, "200V"),
                        channel({{1, 1600, 90}, {5, 160, 320}}, "200V"),
                        channel({{1, 800, -20}}, "500mV"), channel({{1, 800, 100}}, "500mV")};
    const testing::ScratchFolder scratch;
    const auto path = scratch / "written.MEM";
    writeRecording(path, written);
    const ConversionSettings s = test::engineSettings(MeasurementType::ThreePhase2M, 1);
    const Recording rec = readRecording(path, ReadOptions::from(s));

    Analyzer analyzer(s);
    WindowWaveforms w;
    HarmonicResult r;
    const AnalysisPeriod p = analyzer.analyze(rec, w, r);
    EXPECT_FALSE(p.fixed);
    EXPECT_NEAR(p.frequencyHz, 60, 0.005);
    const double volts = 1600 / kSqrt2 * 200 / 80 * 60;
    EXPECT_NEAR(r.voltageRms[1] / volts, 1.0, 1e-3);
    // Linear interpolation at 10 kS/s attenuates order h by about sinc²(h·f1/fs).
    auto sinc2 = [](double x) {
        const double a = std::numbers::pi * x;
        return std::pow(std::sin(a) / a, 2);
    };
    EXPECT_NEAR(r.voltageHarmonicPercent[5], 10 * sinc2(0.03) / sinc2(0.006), 0.01);
    const double amperes = 800 / kSqrt2 * 0.5 / 80 / 0.1;
    EXPECT_NEAR(r.currentRms(0, 1) / amperes, 1.0, 1e-3);
    EXPECT_NEAR(r.phaseAngleDeg(0, 1), -20, 0.1);
    float largest = 0;
    for (int i = 0; i <= 1024; ++i) largest = std::max(largest, std::fabs(w.columns(0, i)));
    EXPECT_EQ(w.peakTable[0], static_cast<int>(std::nearbyint(largest)));
    EXPECT_GT(w.peakTable[0], 1600);
}

}  // namespace
}  // namespace waveharm
