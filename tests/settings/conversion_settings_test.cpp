#include "settings/conversion_settings.h"

#include <gtest/gtest.h>

#include "settings/interpolation_loss.h"

namespace waveharm {
namespace {

TEST(ConversionSettings, PairedWritesChangeBothFields) {
    ConversionSettings s;
    s.setSampleCount(512);
    EXPECT_EQ(s.sampleCount(), 512);
    EXPECT_EQ(s.sampleCountLog2(), 9);
    s.setPhaseCorrectionIndex(0);
    EXPECT_EQ(s.phaseCorrectionDegrees(), -90);
    s.setPhaseCorrectionIndex(3);
    EXPECT_EQ(s.phaseCorrectionDegrees(), 30);
    s.setHarmonicOption(HarmonicOption::WithUnbalance);
    EXPECT_EQ(s.maxHarmonicOrder(), 99);
    EXPECT_EQ(s.outputExtension(), ".ha5");
    EXPECT_EQ(s.sampleCount(), 512);
    s.setHarmonicOption(HarmonicOption::HighOrder256);
    EXPECT_EQ(s.sampleCount(), 1024);
    EXPECT_EQ(s.sampleCountLog2(), 10);
}

TEST(ConversionSettings, FeederLayoutAndExtension) {
    ConversionSettings s;
    s.setFeederCount(3);
    const std::int16_t expected[16] = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(s.channelMap[i], expected[i]) << i;
    EXPECT_EQ(s.outputExtension(), ".hn3");
    s.setHarmonicOption(HarmonicOption::Odd1To49);
    EXPECT_EQ(s.outputExtension(), ".hm3");
    s.setHarmonicOption(HarmonicOption::WithAngleAndUnbalance);
    EXPECT_EQ(s.outputExtension(), ".hv3");
    s.setHarmonicOption(HarmonicOption::WithSuperpositionAngle);
    EXPECT_EQ(s.outputExtension(), ".ha4");
    s.setFeederCount(7);
    EXPECT_EQ(s.channelMap[15], 16);
}

TEST(ConversionSettings, ClampRangeGivesSense) {
    EXPECT_FLOAT_EQ(clampRangeToSenseOhms(20), 0.01f);
    EXPECT_FLOAT_EQ(clampRangeToSenseOhms(5), 0.04f);
    EXPECT_FLOAT_EQ(clampRangeToSenseOhms(2), 0.1f);
}

TEST(ConversionSettings, TimeOffsetParsing) {
    double h = 0;
    EXPECT_TRUE(parseTimeOffsetHours("-9", h));
    EXPECT_DOUBLE_EQ(h, -9);
    EXPECT_TRUE(parseTimeOffsetHours("5.5", h));
    EXPECT_DOUBLE_EQ(h, 5.5);
    EXPECT_FALSE(parseTimeOffsetHours("abc", h));
    EXPECT_FALSE(parseTimeOffsetHours("", h));
    EXPECT_FALSE(parseTimeOffsetHours("3x", h));
    // Finite and within two days either way; the value is left alone otherwise.
    EXPECT_TRUE(parseTimeOffsetHours("-48", h));
    for (const char* bad : {"49", "-48.5", "1e300", "1e7", "inf", "nan", "-INF"}) {
        h = 7;
        EXPECT_FALSE(parseTimeOffsetHours(bad, h)) << bad;
        EXPECT_EQ(h, 7) << bad;
    }
}

// The loss beside the interpolation choice: the linear mode's order-49 attenuation
// sinc²(49·f1/fs), worked out by hand for 10 kS/s (x = 0.245π at 50 Hz, 0.294π at 60 Hz).
TEST(InterpolationLoss, OrderFortyNineAtTheRecordingsRate) {
    EXPECT_NEAR(linearInterpolationLossPercent(49, 50, 10000), -18.252, 0.001);
    EXPECT_NEAR(linearInterpolationLossPercent(49, 60, 10000), -25.392, 0.001);
    EXPECT_EQ(linearLossText(10), "49次 −18.3%(50Hz) −25.4%(60Hz)");
    EXPECT_EQ(linearLossText(50), "49次 −0.8%(50Hz) −1.1%(60Hz)");
    EXPECT_EQ(linearLossText(1000), "49次 0.0%(50Hz) 0.0%(60Hz)");
    EXPECT_EQ(linearLossText(0), "");
    EXPECT_EQ(linearInterpolationLossPercent(49, 50, -1), 0);
}

}  // namespace
}  // namespace waveharm
