// The analysis window's status line and frequency text.

#include "display/status_texts.h"

#include <gtest/gtest.h>

namespace waveharm {
namespace {

TEST(StatusTexts, PowerFormatSwitchesAboveOneThousandAndOneMillion) {
    EXPECT_EQ(choosePowerFormat(1000, 0).picture, "#,##0.0");
    EXPECT_EQ(choosePowerFormat(1000.5, 0).picture, "#,##0.000k");
    EXPECT_DOUBLE_EQ(choosePowerFormat(1000.5, 0).divisor, 1000);
    EXPECT_EQ(choosePowerFormat(0, 1000.5).picture, "#,##0.000k");
    EXPECT_EQ(choosePowerFormat(1000000, 0).picture, "#,##0.000k");
    EXPECT_EQ(choosePowerFormat(5, 1000000.5).picture, "#0.000M");
    EXPECT_DOUBLE_EQ(choosePowerFormat(2e6, 0).divisor, 1e6);
    // Signed: a large power flowing back keeps the plain format.
    EXPECT_EQ(choosePowerFormat(-5e6, -2000).picture, "#,##0.0");
}

HarmonicResult resultWith(float v1, float i1, float p1, float q1, float theta) {
    HarmonicResult r;
    r.allocate(99, 2);
    r.voltageRms[1] = v1;
    r.currentRms(1, 1) = i1;
    r.activePower(1, 1) = p1;
    r.reactivePower(1, 1) = q1;
    r.phaseAngleDeg(1, 1) = theta;
    return r;
}

TEST(StatusTexts, StatusLineIsConcatenatedExactly) {
    HarmonicResult r = resultWith(6600.04f, 12.34f, 1234.5678f, -200.0f, -12.4f);
    r.voltageDistortionSum = 0.05f * 6600.04f;
    r.currentDistortionSum[1] = 0.1f * (12.34f + 0.001f);
    AnalysisPeriod period;
    period.frequencyHz = 49.987;
    EXPECT_EQ(statusLineText(r, 1, period),
              "基本波＝6,600.0V; 12.34A; 1.235kW; -0.200kVar; θ=-12ﾟ; 総合歪率 V= 5.0%; "
              "I= 10.0% :周波数=49.99Hz");
    EXPECT_EQ(frequencyText(period), "基本周波数 49.99Hz");

    HarmonicResult mega = resultWith(220.0f, 0.0f, 2.5e6f, 10.0f, 0.0f);
    AnalysisPeriod fixed;
    fixed.frequencyHz = 50;
    fixed.fixed = true;
    // A dead current shows a distortion of 0, not a division fault.
    EXPECT_EQ(statusLineText(mega, 1, fixed),
              "基本波＝220.0V; 0.00A; 2.500MW; 0.000MVar; θ=0ﾟ; 総合歪率 V= 0.0%; "
              "I= 0.0% :周波数=50.00固定Hz");
    EXPECT_EQ(frequencyText(fixed), "基本周波数 50.00固定Hz");
}

}  // namespace
}  // namespace waveharm
