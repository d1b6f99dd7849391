// The cell texts of the analysis window's two result grids.

#include "display/results_table.h"

#include <gtest/gtest.h>

namespace waveharm {
namespace {

class ResultGridTest : public ::testing::Test {
  protected:
    void make(int maxOrder, int feeders = 1) {
        m_maxOrder = maxOrder;
        r.allocate(maxOrder, feeders);
    }
    ResultGrids grids(int mode, MeasurementType type = MeasurementType::ThreePhase2M,
                      int feeder = 0) {
        return buildResultGrids(static_cast<DisplayMode>(mode), r, feeder, m_maxOrder, type);
    }

    HarmonicResult r;
    int m_maxOrder = 99;
};

TEST_F(ResultGridTest, OrdersOf99SitSideBySideWithTheSummaryRows) {
    make(99);
    for (int mode = 2; mode <= 4; ++mode) {
        const auto g = grids(mode);
        ASSERT_EQ(g[0].rows(), 52) << mode;  // rows 0..51
        ASSERT_EQ(g[1].rows(), 52) << mode;
        EXPECT_EQ(g[0].at(0, 0), "次数");
        EXPECT_EQ(g[0].at(1, 0), "1次");
        EXPECT_EQ(g[1].at(1, 0), "2次");
        EXPECT_EQ(g[0].at(2, 0), "3次");
        EXPECT_EQ(g[0].at(50, 0), "99次");
        EXPECT_EQ(g[1].at(49, 0), "98次");
        EXPECT_EQ(g[0].at(51, 0), "実効値");
        EXPECT_EQ(g[1].at(50, 0), "総合");
        EXPECT_EQ(g[1].at(51, 0), "全歪");
    }
    EXPECT_EQ(initialGridRows(99), 51);
    EXPECT_EQ(initialGridRows(256), 130);
}

TEST_F(ResultGridTest, OrdersOf256FillBothGridsToRow128) {
    make(256);
    const auto g = grids(2);
    ASSERT_EQ(g[0].rows(), 131);
    EXPECT_EQ(g[0].at(128, 0), "255次");
    EXPECT_EQ(g[1].at(128, 0), "256次");
    EXPECT_EQ(g[0].at(129, 0), "");
    EXPECT_EQ(g[1].at(129, 0), "総合");
    EXPECT_EQ(g[0].at(130, 0), "実効値");
    EXPECT_EQ(g[1].at(130, 0), "全歪");
}

TEST_F(ResultGridTest, HeadersAndColumnCountsFollowTheMode) {
    make(99);
    auto g = grids(2);
    EXPECT_EQ(g[0].columns(), 6);
    EXPECT_EQ(g[1].at(0, 5), "位相差");
    EXPECT_EQ(g[0].at(0, 2), "歪み率");
    g = grids(3);
    EXPECT_EQ(g[0].columns(), 4);
    EXPECT_EQ(g[0].at(0, 3), "電圧３");
    g = grids(4);
    EXPECT_EQ(g[1].at(0, 1), "電流１");
    g = grids(5);
    EXPECT_EQ(g[0].at(0, 2), "位相角");
    EXPECT_EQ(g[0].at(0, 0), "次数");
}

TEST_F(ResultGridTest, ModeTwoFormatsVoltsAmperesPercentAndDegrees) {
    make(99);
    r.voltageRms[1] = 6600.04f;
    r.voltageRms[5] = 198.0f;
    r.voltageHarmonicPercent[1] = 0;  // order 1 is shown as 100 % whatever it holds
    r.voltageHarmonicPercent[5] = 3.0f;
    r.currentRms(0, 1) = 152.26f;
    r.currentRms(0, 5) = 12.5f;
    r.currentHarmonicPercent(0, 5) = 8.21f;
    r.phaseAngleDeg(0, 1) = -30.4f;
    r.phaseAngleDeg(0, 5) = 150.6f;
    const auto g = grids(2);
    EXPECT_EQ(g[0].at(1, 1), "6600.0V");
    EXPECT_EQ(g[0].at(1, 2), "100.0%");
    EXPECT_EQ(g[0].at(1, 3), "152.3A");
    EXPECT_EQ(g[0].at(1, 4), "100.0%");
    EXPECT_EQ(g[0].at(1, 5), "-30ﾟ");
    EXPECT_EQ(g[0].at(3, 1), "198.0V");
    EXPECT_EQ(g[0].at(3, 2), "3.0%");
    EXPECT_EQ(g[0].at(3, 4), "8.2%");
    EXPECT_EQ(g[0].at(3, 5), "151ﾟ");
    EXPECT_EQ(g[1].at(1, 1), "0.0V");
}

TEST_F(ResultGridTest, ModeTwoTotalsAndRms) {
    make(99);
    r.voltageRms[1] = 100;
    r.voltageDistortionSum = 5;
    r.currentRms(0, 1) = 20;
    r.currentDistortionSum[0] = 4;
    r.harmonicPowerAngle[0] = -12;
    r.voltageRmsByPhase = {100, 102, 104};
    r.currentRmsByPhase(0, 0) = 10;
    r.currentRmsByPhase(1, 0) = 20;
    r.currentRmsByPhase(2, 0) = 30;
    auto g = grids(2);
    EXPECT_EQ(g[1].at(50, 1), "5.0V");
    EXPECT_EQ(g[1].at(50, 2), "5.0%");
    EXPECT_EQ(g[1].at(50, 3), "4.0A");
    EXPECT_EQ(g[1].at(50, 4), "20.0%");
    EXPECT_EQ(g[1].at(50, 5), "-12ﾟ");
    EXPECT_EQ(g[0].at(51, 1), "102.0V");
    EXPECT_EQ(g[0].at(51, 2), "");
    EXPECT_EQ(g[0].at(51, 3), "20.0A");
    for (int c = 1; c <= 5; ++c) EXPECT_EQ(g[1].at(51, c), "") << c;

    // One measured phase: the RMS row is that phase's RMS, not a third of it.
    r.voltageRmsByPhase = {100, 0, 0};
    g = grids(2, MeasurementType::SinglePhase2W);
    EXPECT_EQ(g[0].at(51, 1), "100.0V");
    EXPECT_EQ(g[0].at(51, 3), "10.0A");
}

TEST_F(ResultGridTest, AFeederWithoutFundamentalCurrentHasAnEmptyRatio) {
    make(99);
    r.voltageRms[1] = 100;
    r.voltageDistortionSum = 5;
    r.currentRms(0, 1) = 0;
    r.currentDistortionSum[0] = 0;
    const auto g = grids(2);
    EXPECT_EQ(g[1].at(50, 3), "0.0A");
    EXPECT_EQ(g[1].at(50, 4), "");
    EXPECT_EQ(g[1].at(50, 2), "5.0%");
}

TEST_F(ResultGridTest, PhaseTablesShowMagnitudesTotalsRmsAndDistortion) {
    make(99, 2);
    r.voltageHarmonicMagnitude(0, 1) = 100;
    r.voltageHarmonicMagnitude(1, 1) = 3;
    r.voltageHarmonicMagnitude(2, 7) = 2.25f;
    // Rounding puts phase 0's true RMS just below its fundamental.
    r.voltageRmsByPhase = {99.99f, 5, 0};
    r.voltageDistortionByPhase = {1.5f, 0, 0};
    auto g = grids(3);
    EXPECT_EQ(g[0].at(1, 1), "100.0V");
    EXPECT_EQ(g[0].at(4, 3), "2.3V");
    EXPECT_EQ(g[1].at(50, 1), "1.5V");
    EXPECT_EQ(g[0].at(51, 2), "5.0V");
    EXPECT_EQ(g[1].at(51, 1), "0.0V");
    EXPECT_EQ(g[1].at(51, 2), "4.0V");  // √(5² − 3²)
    EXPECT_EQ(g[1].at(51, 3), "0.0V");

    r.currentHarmonicMagnitude(1, 2, 1) = 8;
    r.currentRmsByPhase(2, 1) = 10;
    r.currentDistortionByPhase(0, 1) = 0.75f;
    g = grids(4, MeasurementType::ThreePhase2M, 1);
    EXPECT_EQ(g[0].at(1, 3), "8.0A");
    EXPECT_EQ(g[0].at(51, 3), "10.0A");
    EXPECT_EQ(g[1].at(51, 3), "6.0A");
    EXPECT_EQ(g[1].at(50, 1), "0.8A");
}

TEST_F(ResultGridTest, ModeFiveDropsTheSummaryRows) {
    make(99);
    r.voltageAngleDeg[3] = -120;
    r.currentRefAngleDeg(0, 3) = 45;
    r.phaseAngleDeg(0, 3) = 165.2f;
    auto g = grids(5);
    ASSERT_EQ(g[0].rows(), 51);
    ASSERT_EQ(g[1].rows(), 51);
    EXPECT_EQ(g[0].at(2, 2), "-120ﾟ");
    EXPECT_EQ(g[0].at(2, 4), "45ﾟ");
    EXPECT_EQ(g[0].at(2, 5), "165ﾟ");
    EXPECT_EQ(g[0].at(50, 0), "99次");
    for (int c = 0; c < 6; ++c) EXPECT_EQ(g[1].at(50, c), "") << c;
}

TEST(TableGrid, ResizeKeepsTheCellsThatRemain) {
    TableGrid g(3, 3);
    g.at(1, 1) = "a";
    g.at(2, 2) = "b";
    g.resize(2, 4);
    EXPECT_EQ(g.at(1, 1), "a");
    EXPECT_EQ(g.at(1, 3), "");
    EXPECT_EQ(g.rows(), 2);
}

}  // namespace
}  // namespace waveharm
