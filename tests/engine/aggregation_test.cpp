// Save-interval aggregation: sums, replacement and the distortion-maximum modes.
#include <gtest/gtest.h>

#include "engine/harmonic_result.h"
#include "settings/conversion_settings.h"

namespace waveharm {
namespace {

// A result whose every value is `base` plus a small per-position offset, with the given
// voltage and first-feeder current distortion sums.
HarmonicResult fakeResult(int orders, int feeders, float base, float voltageThd = 0,
                          float currentThd = 0) {
    HarmonicResult r;
    r.allocate(orders, feeders);
    for (int k = 0; k <= orders; ++k) {
        r.voltageRms[k] = base + k;
        r.voltageRefX[k] = base + 0.5f * k;
        r.voltageRefY[k] = -base;
        for (int c = 0; c < 6; ++c) {
            r.voltageHarmonicRe(c, k) = base * (c + 1) + k;
            r.voltageHarmonicIm(c, k) = -base * (c + 1) - k;
        }
        for (int f = 0; f < feeders; ++f) {
            r.currentRms(f, k) = base * (f + 2) + k;
            r.activePower(f, k) = base * 10 + f;
            r.reactivePower(f, k) = -base * 10 - f;
            r.currentRefX(f, k) = base + 100 * f;
            r.currentRefY(f, k) = base - 100 * f;
            for (int c = 0; c < 6; ++c) {
                r.currentHarmonicRe(f, c, k) = base + c + 10 * f;
                r.currentHarmonicIm(f, c, k) = base - c - 10 * f;
            }
        }
    }
    for (int c = 0; c < 3; ++c) {
        r.voltageRmsByPhase[c] = base + c;
        for (int f = 0; f < feeders; ++f) r.currentRmsByPhase(c, f) = base * 2 + c + f;
    }
    r.voltageDistortionSum = voltageThd;
    for (int f = 0; f < feeders; ++f) r.currentDistortionSum[f] = f == 0 ? currentThd : 99;
    return r;
}

class AggregationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings.setHarmonicOption(HarmonicOption::HighOrder256);
        settings.setFeederCount(2);
        interval.allocate(256, 2);
    }
    ConversionSettings settings;
    IntervalAggregate interval;
};

TEST_F(AggregationTest, AverageModeSumsAndCounts) {
    settings.saveMode = SaveMode::IntervalAverage;
    const HarmonicResult a = fakeResult(256, 2, 1), b = fakeResult(256, 2, 2),
                         c = fakeResult(256, 2, 4);
    for (const auto* r : {&a, &b, &c}) aggregateInterval(*r, settings, interval);
    EXPECT_EQ(interval.intervalState, 3);
    for (int k : {1, 2, 100, 256}) {
        EXPECT_FLOAT_EQ(interval.voltageRms[k], 7 + 3 * k);
        EXPECT_FLOAT_EQ(interval.voltageX[k], 7 + 1.5f * k);
        EXPECT_FLOAT_EQ(interval.voltageY[k], -7);
        EXPECT_FLOAT_EQ(interval.currentRms(1, k), 7 * 3 + 3 * k);
        EXPECT_FLOAT_EQ(interval.activePower(1, k), 70 + 3);
        EXPECT_FLOAT_EQ(interval.reactivePower(0, k), -70);
        EXPECT_FLOAT_EQ(interval.currentRefY(1, k), 7 - 300);
        // The first feeder's component: the writers pair it with currentRefY of feeder 0.
        EXPECT_FLOAT_EQ(interval.currentRefX[k], 7);
        EXPECT_FLOAT_EQ(interval.voltagePhasorRe(0, k), 7 * 4 + 3 * k) << "from column 3";
        EXPECT_FLOAT_EQ(interval.voltagePhasorIm(2, k), -7 * 6 - 3 * k) << "from column 5";
        EXPECT_FLOAT_EQ(interval.currentPhasorRe(1, 0, k), 7 + 3 * 3 + 30);
        EXPECT_FLOAT_EQ(interval.currentPhasorIm(0, 2, k), 7 - 3 * 5);
        // The phase angles of the per-phase files: the latest recording's own phasors.
        EXPECT_FLOAT_EQ(interval.anglePhasorVoltageRe(1, k), 4 * 2 + k);
        EXPECT_FLOAT_EQ(interval.anglePhasorCurrentIm(2, k), 4 - 2);
    }
    EXPECT_FLOAT_EQ(interval.voltageRmsByPhase[2], 7 + 6);
    EXPECT_FLOAT_EQ(interval.currentRmsByPhase(1, 1), 14 + 6);
    EXPECT_EQ(interval.voltageRms[0], 0) << "order 0 is not aggregated";
}

TEST_F(AggregationTest, AverageModeOfOddOrdersLeavesTheOthersAlone) {
    settings.setHarmonicOption(HarmonicOption::Odd1To49);
    settings.saveMode = SaveMode::IntervalAverage;
    interval.allocate(99, 2);
    aggregateInterval(fakeResult(99, 2, 1), settings, interval);
    aggregateInterval(fakeResult(99, 2, 1), settings, interval);
    EXPECT_FLOAT_EQ(interval.voltageRms[49], 2 * 50);
    EXPECT_EQ(interval.voltageRms[2], 0);
    EXPECT_EQ(interval.voltageRms[51], 0);
    EXPECT_EQ(interval.currentRms(0, 48), 0);
    EXPECT_EQ(interval.voltagePhasorRe(0, 50), 0);
}

TEST_F(AggregationTest, LatestWindowModeReplaces) {
    settings.saveMode = SaveMode::LatestWindow;
    aggregateInterval(fakeResult(256, 2, 5), settings, interval);
    aggregateInterval(fakeResult(256, 2, 2), settings, interval);
    EXPECT_EQ(interval.intervalState, 1);
    EXPECT_FLOAT_EQ(interval.voltageRms[3], 2 + 3);
    EXPECT_FLOAT_EQ(interval.currentRms(0, 256), 4 + 256);
    EXPECT_FLOAT_EQ(interval.voltagePhasorRe(1, 3), 2 * 5 + 3);
    EXPECT_FLOAT_EQ(interval.voltageRmsByPhase[1], 3);
    EXPECT_FLOAT_EQ(interval.currentRefX[7], 2);
}

TEST_F(AggregationTest, VoltageDistortionMaximumKeepsTheLargestOfTheInterval) {
    settings.saveMode = SaveMode::VoltageThdMax;
    aggregateInterval(fakeResult(256, 2, 1, 5.0f), settings, interval);
    aggregateInterval(fakeResult(256, 2, 2, 10.0f), settings, interval);
    aggregateInterval(fakeResult(256, 2, 3, 3.0f), settings, interval);
    EXPECT_EQ(interval.intervalState, 1);
    EXPECT_FLOAT_EQ(interval.comparisonValue, 10.0f);
    EXPECT_FLOAT_EQ(interval.voltageRms[1], 2 + 1) << "the 10 % recording stays";
    // Its phase angles stay with it, not those of the later, smaller recording.
    EXPECT_FLOAT_EQ(interval.anglePhasorVoltageRe(1, 1), 2 * 2 + 1);
    EXPECT_FLOAT_EQ(interval.anglePhasorVoltageIm(0, 1), -2 - 1);
    EXPECT_FLOAT_EQ(interval.anglePhasorCurrentRe(2, 1), 2 + 2);

    // The writer closes the interval: the next one starts from nothing.
    interval.clear();
    EXPECT_EQ(interval.comparisonValue, 0);
    EXPECT_EQ(interval.intervalState, 0);
    EXPECT_EQ(interval.voltageRms[1], 0);
    aggregateInterval(fakeResult(256, 2, 4, 3.0f), settings, interval);
    EXPECT_FLOAT_EQ(interval.voltageRms[1], 4 + 1) << "a smaller distortion opens a new interval";
}

TEST_F(AggregationTest, DistortionFreeRecordingStillFillsAnEmptyInterval) {
    settings.saveMode = SaveMode::VoltageThdMax;
    aggregateInterval(fakeResult(256, 2, 6, 0.0f), settings, interval);
    EXPECT_EQ(interval.intervalState, 1) << "never an interval of zero recordings";
    aggregateInterval(fakeResult(256, 2, 7, 0.0f), settings, interval);
    EXPECT_FLOAT_EQ(interval.voltageRms[1], 6 + 1) << "equal distortion keeps the first";
}

TEST_F(AggregationTest, CurrentDistortionMaximumUsesTheFirstFeeder) {
    settings.saveMode = SaveMode::CurrentThdMax;
    aggregateInterval(fakeResult(256, 2, 1, 50.0f, 2.0f), settings, interval);
    aggregateInterval(fakeResult(256, 2, 2, 1.0f, 8.0f), settings, interval);
    aggregateInterval(fakeResult(256, 2, 3, 90.0f, 4.0f), settings, interval);
    EXPECT_FLOAT_EQ(interval.comparisonValue, 8.0f);
    EXPECT_FLOAT_EQ(interval.voltageRms[1], 2 + 1);
    EXPECT_FLOAT_EQ(interval.anglePhasorCurrentIm(1, 1), 2 - 1);
}

}  // namespace
}  // namespace waveharm
