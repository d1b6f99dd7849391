// The analysis window's graphs as primitive lists, and the small control rules.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "display/analysis_display.h"
#include "engine/complex_math.h"

namespace waveharm {
namespace {

std::vector<std::string> textsOf(const Picture& p) {
    std::vector<std::string> out;
    for (const auto& t : itemsOf<PictureText>(p)) out.push_back(t.text);
    return out;
}

bool hasText(const Picture& p, const std::string& s) {
    const auto all = textsOf(p);
    return std::find(all.begin(), all.end(), s) != all.end();
}

/// A recording window of N = 256 points for `feeders` feeders, every column a sine of
/// the given peak, with the matching fundamental coefficients.
class GraphTest : public ::testing::Test {
  protected:
    void make(MeasurementType type, int feeders = 1, double peak = 500) {
        settings.measurementType = type;
        settings.setHarmonicOption(HarmonicOption::Odd1To49);
        settings.setSampleCount(256);
        settings.feederCount = static_cast<std::int16_t>(feeders);
        const int n = 256, columns = 3 * feeders + 3;
        window.columns = Array2<float>(columns, n + 1);
        result.allocate(99, feeders);
        result.fundamentalCos.assign(columns, 0);
        result.fundamentalSin.assign(columns, 0);
        for (int c = 0; c < columns; ++c) {
            const double a = peak * 0.8, b = peak * 0.6;  // sine and cosine parts
            for (int k = 0; k <= n; ++k) {
                const float angle = kTwoPi * static_cast<float>(k) / static_cast<float>(n);
                window.columns(c, k) =
                    static_cast<float>(a * std::sin(angle) + b * std::cos(angle));
            }
            result.fundamentalSin[c] = static_cast<float>(a);
            result.fundamentalCos[c] = static_cast<float>(b);
        }
    }
    GraphInputs inputs(int feeder = 0) { return {settings, header, window, result, feeder}; }

    ConversionSettings settings;
    RecorderFileHeader header;
    WindowWaveforms window;
    HarmonicResult result;
};

TEST(BarChartScale, FollowsTheFullScaleRule) {
    EXPECT_EQ(barChartScale(4.9).fullScale, 5);
    EXPECT_EQ(barChartScale(4.9).step, 1);
    EXPECT_EQ(barChartScale(5).fullScale, 10);
    EXPECT_EQ(barChartScale(5).step, 2);
    EXPECT_EQ(barChartScale(10.4).fullScale, 20);
    EXPECT_EQ(barChartScale(10.4).step, 10);
    EXPECT_EQ(barChartScale(14.5).fullScale, 20);  // 14.5 rounds to even 14
    EXPECT_EQ(barChartScale(1e30).fullScale, 1'000'000'000);
}

TEST(DistortionBars, ScaleValueIsTheLargestHarmonicAboveAFloor) {
    // Order 1 (100 %) and order 0 never set the scale.
    std::vector<float> pct{0, 100, 0.5f, 7.25f, 3};
    EXPECT_EQ(distortionScaleValue(pct, 1.0f), 7.25f);
    pct[3] = 0.2f;
    EXPECT_EQ(distortionScaleValue(pct, 1.0f), 3.0f);
    EXPECT_EQ(distortionScaleValue(pct, 4.0f), 4.0f);
    EXPECT_EQ(distortionScaleValue({}, 2.0f), 2.0f);
}

TEST(DistortionBars, GridBarsAndMarksLandWhereTheChartSays) {
    std::vector<float> values(100, 0);
    values[3] = 2.5f;  // half of the 5 % full scale
    values[4] = 5.0f;
    Picture p;
    drawDistortionBars(50, 165, "電圧歪み率(%)", 4.9, values, TextScale{}, p);
    const auto rects = itemsOf<PictureRect>(p);
    ASSERT_FALSE(rects.empty());
    EXPECT_FALSE(rects[0].filled);  // the frame
    EXPECT_DOUBLE_EQ(rects[0].corner2.x, 300);
    EXPECT_DOUBLE_EQ(rects[0].corner2.y, 35);
    const auto bars = std::vector<PictureRect>(rects.begin() + 1, rects.end());
    ASSERT_EQ(bars.size(), 48u);  // orders 2..49
    const PictureRect& odd3 = bars[1];
    EXPECT_DOUBLE_EQ(odd3.corner1.x, 63);
    EXPECT_DOUBLE_EQ(odd3.corner2.x, 67);
    EXPECT_DOUBLE_EQ(odd3.corner2.y, 165 - 65);
    EXPECT_EQ(odd3.colour, paletteColour(1));
    const PictureRect& even4 = bars[2];
    EXPECT_DOUBLE_EQ(even4.corner1.x, 69);
    EXPECT_DOUBLE_EQ(even4.corner2.y, 35);
    EXPECT_EQ(even4.colour, paletteColour(12));

    // Six grid lines 0..5 with their values, eight dotted order marks.
    int grid = 0, marks = 0;
    for (const auto& l : itemsOf<PictureLine>(p)) {
        EXPECT_EQ(l.style, LineStyle::Dotted);
        (l.from.y == l.to.y ? grid : marks)++;
    }
    EXPECT_EQ(grid, 6);
    EXPECT_EQ(marks, 8);
    EXPECT_TRUE(hasText(p, " 0"));
    EXPECT_TRUE(hasText(p, " 5"));
    EXPECT_TRUE(hasText(p, "47"));
    EXPECT_TRUE(hasText(p, "電圧歪み率(%)"));
}

TEST(DistortionBars, AnExtremeValueStopsAtTheFrame) {
    std::vector<float> values(100, 0);
    values[5] = 1e9f;
    Picture p;
    drawDistortionBars(50, 165, "t", 4.0, values, TextScale{}, p);
    const auto rects = itemsOf<PictureRect>(p);
    ASSERT_EQ(rects.size(), 49u);  // the frame and orders 2..49
    const PictureRect& fifth = rects[4];
    EXPECT_TRUE(fifth.filled);
    EXPECT_DOUBLE_EQ(fifth.corner1.x, 73);  // slot 5, a wide odd-order bar
    EXPECT_DOUBLE_EQ(fifth.corner1.y, 165);
    EXPECT_DOUBLE_EQ(fifth.corner2.y, 35) << "the top of the frame";
}

TEST_F(GraphTest, APureSineLeavesAFlatResidualOnTheZeroLine) {
    make(MeasurementType::ThreePhase2M);
    Picture p;
    drawDistortionWaveforms(inputs(), p);
    const auto lines = itemsOf<PicturePolyline>(p);
    ASSERT_EQ(lines.size(), 6u);
    for (const auto& l : lines) {
        EXPECT_EQ(l.colour, paletteColour(12));
        const double base = l.points.front().y;
        EXPECT_TRUE(base == 120 || base == 270) << base;
        for (const auto& pt : l.points) ASSERT_NEAR(pt.y, base, 1e-3);
    }
}

TEST_F(GraphTest, WaveformsOfThreePhasesSitSideBySide) {
    make(MeasurementType::ThreePhase2M, 2);
    window.columns(3 * 2 + 1, 0) = 250;  // feeder 1, phase 1, first point
    Picture p;
    drawWaveforms(inputs(1), p);
    const auto lines = itemsOf<PicturePolyline>(p);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_DOUBLE_EQ(lines[0].points.front().x, 10);
    EXPECT_DOUBLE_EQ(lines[0].points.back().x, 210);
    EXPECT_DOUBLE_EQ(lines[2].points.front().x, 220);
    // Phase 1 current of feeder 1: 250 raw units are 32 units above the 270 line.
    EXPECT_DOUBLE_EQ(lines[3].points.front().y, 270 - 32);
    EXPECT_EQ(lines[0].colour, paletteColour(0));
    for (const char* label : {"V1", "V2", "V3", "I1", "I2", "I3"}) EXPECT_TRUE(hasText(p, label));
}

TEST_F(GraphTest, SinglePhaseTwoWireDrawsOnlyV1AndI1) {
    make(MeasurementType::SinglePhase2W);
    Picture p;
    drawWaveforms(inputs(), p);
    drawDistortionWaveforms(inputs(), p);
    EXPECT_EQ(itemsOf<PicturePolyline>(p).size(), 4u);
    for (const auto& t : textsOf(p)) EXPECT_TRUE(t == "V1" || t == "I1") << t;
}

TEST_F(GraphTest, Mr8880CurvesAreAQuarterAsHigh) {
    make(MeasurementType::SinglePhase3W);
    Picture normal, mr;
    drawWaveforms(inputs(), normal);
    header.recorderFamily = 80;
    drawWaveforms(inputs(), mr);
    const auto a = itemsOf<PicturePolyline>(normal), b = itemsOf<PicturePolyline>(mr);
    ASSERT_EQ(a.size(), 4u);
    ASSERT_EQ(b.size(), 4u);
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double base = i % 2 == 0 ? 120 : 270;
        for (std::size_t k = 0; k < a[i].points.size(); k += 17) {
            EXPECT_NEAR(base - b[i].points[k].y, (base - a[i].points[k].y) / 4, 1e-9);
        }
    }
}

TEST_F(GraphTest, PhasorPageShowsEightOrdersAndTheLegendOfTheWiring) {
    make(MeasurementType::ThreePhase2M);
    result.voltageHarmonicIm(0, 1) = 100;
    result.voltageHarmonicRe(1, 1) = 100;
    result.currentHarmonicIm(0, 0, 1) = 10;
    Picture p;
    drawHarmonicPhasorPage(inputs(), p);
    for (const char* s : {" 1次", " 5次", " 11次", " 17次", " 3次", " 7次", " 13次", " 19次", "V1",
                          "I1", "V2", "I2", "V3", "I3"}) {
        EXPECT_TRUE(hasText(p, s)) << s;
    }
    // Orders without any voltage or current still give finite drawings.
    for (const auto& l : itemsOf<PictureLine>(p)) {
        ASSERT_TRUE(std::isfinite(l.from.x) && std::isfinite(l.to.y));
    }

    make(MeasurementType::SinglePhase2W);
    Picture single;
    drawHarmonicPhasorPage(inputs(), single);
    EXPECT_FALSE(hasText(single, "V2"));
    EXPECT_FALSE(hasText(single, "V3"));
}

// Every label stands whole on the surface and clear of every diagram's cell, and every
// diagram stays in its cell, also where one phase dominates an order (the single
// voltage of 単相２線, an order carried by the T-S voltage alone).
TEST_F(GraphTest, PhasorPageKeepsLabelsAndDiagramsApart) {
    const PictureBox surface{0, 0, kGraphWidth, kGraphHeight};
    std::vector<PictureBox> cells;
    for (int b = 0; b < 4; ++b)
        for (int j = 0; j < 2; ++j) cells.push_back(phasorCell(b, j));
    for (const auto type : {MeasurementType::SinglePhase2W, MeasurementType::ThreePhase2M}) {
        make(type);
        for (int order : {1, 3, 5, 7, 11, 13, 17, 19}) {
            result.voltageHarmonicIm(0, order) = order == 17 ? 0.5f : 100;
            result.voltageHarmonicRe(1, order) = order == 17 ? 300 : 100;
            result.currentHarmonicIm(0, 0, order) = 10;
            result.currentHarmonicRe(0, 1, order) = order == 5 ? 40 : 10;
        }
        Picture p;
        drawHarmonicPhasorPage(inputs(), p);
        std::vector<PictureBox> labels;
        for (const auto& t : itemsOf<PictureText>(p)) {
            const PictureBox box = textBox(t, p.textHeight);
            EXPECT_TRUE(surface.contains(box)) << t.text;
            for (const auto& cell : cells) EXPECT_FALSE(cell.intersects(box)) << t.text;
            for (const auto& other : labels) EXPECT_FALSE(other.intersects(box)) << t.text;
            labels.push_back(box);
        }
        EXPECT_EQ(labels.size(), type == MeasurementType::SinglePhase2W ? 10u : 14u);
        for (const auto& l : itemsOf<PictureLine>(p)) {
            const bool inOneCell = std::any_of(cells.begin(), cells.end(), [&](const auto& c) {
                return c.contains(l.from) && c.contains(l.to);
            });
            EXPECT_TRUE(inOneCell) << static_cast<int>(type) << ": (" << l.from.x << ", "
                                   << l.from.y << ")-(" << l.to.x << ", " << l.to.y << ")";
        }
    }
    // A balanced order keeps the full size: R-S 106 units long (50 × 3/√2).
    make(MeasurementType::ThreePhase2M);
    result.voltageHarmonicIm(0, 1) = 100;
    result.voltageHarmonicIm(1, 1) = 50;
    result.voltageHarmonicRe(1, 1) = 86.6f;
    Picture p;
    drawHarmonicPhasorPage(inputs(), p);
    const PictureLine rs = itemsOf<PictureLine>(p).at(0);
    EXPECT_NEAR(std::hypot(rs.to.x - rs.from.x, rs.to.y - rs.from.y), 106, 1.5);
}

// The four charts' titles stand above their frames, whole on the surface.
TEST_F(GraphTest, ChartTitlesStandAboveTheirFrames) {
    make(MeasurementType::ThreePhase2M);
    Picture p;
    drawChartPage(inputs(), p);
    std::vector<PictureRect> frames;
    for (const auto& r : itemsOf<PictureRect>(p))
        if (!r.filled) frames.push_back(r);
    ASSERT_EQ(frames.size(), 4u);
    const PictureBox surface{0, 0, kGraphWidth, kGraphHeight};
    int titles = 0;
    for (const auto& t : itemsOf<PictureText>(p)) {
        if (t.text.find("率") == std::string::npos && t.text.find("角") == std::string::npos)
            continue;
        ++titles;
        const PictureBox box = textBox(t, p.textHeight);
        EXPECT_TRUE(surface.contains(box)) << t.text;
        // The frame right below the title: the nearest one whose span holds its left end.
        const PictureRect* below = nullptr;
        for (const auto& f : frames) {
            const double top = std::min(f.corner1.y, f.corner2.y);
            const bool under = t.at.x >= std::min(f.corner1.x, f.corner2.x) &&
                               t.at.x <= std::max(f.corner1.x, f.corner2.x) && top > t.at.y;
            if (under && (!below || top < std::min(below->corner1.y, below->corner2.y))) below = &f;
        }
        ASSERT_NE(below, nullptr) << t.text;
        EXPECT_LE(box.bottom, std::min(below->corner1.y, below->corner2.y)) << t.text;
    }
    EXPECT_EQ(titles, 4);
}

TEST(OrderPhasors, ABalancedPairDrawsTheTriangleAroundItsCentre) {
    // R-S voltage along the sine axis, T-S 60° ahead, equal magnitude.
    const std::array<float, 4> s{100, 10, 50, 10};
    const std::array<float, 4> c{0, 0, 86.6f, 0};
    Picture p;
    drawOrderPhasors(s, c, 0, true, 110, 250, MeasurementType::ThreePhase2M, 50, p);
    const auto lines = itemsOf<PictureLine>(p);
    // Four arrows of three lines, the R-T side, the dotted S current arrow and three
    // dotted phase-voltage lines.
    ASSERT_EQ(lines.size(), 4u * 3 + 1 + 3 + 3);
    const PictureLine& rs = lines[0];
    EXPECT_EQ(rs.colour, paletteColour(10));
    // Length 50 × 3/√2 ≈ 106 along the x-axis (angle 90° − 90° = 0 for a pure sine).
    EXPECT_NEAR(rs.to.x - rs.from.x, 106, 1.5);
    EXPECT_NEAR(rs.to.y, rs.from.y, 1.0);
    const PictureLine& barb = lines[1];
    EXPECT_NEAR(std::hypot(barb.to.x - barb.from.x, barb.to.y - barb.from.y), 5, 1e-9);
}

TEST(ControlRules, FeederButtonHalvesAdvanceAndGoBackWrapping) {
    int f = 0;
    std::vector<std::string> captions;
    for (int i = 0; i < 3; ++i) {
        f = feederAfterPress(f, 3, 600, 725);
        captions.push_back(feederCaption(f));
    }
    EXPECT_EQ(captions,
              (std::vector<std::string>{"- フィーダ2 +", "- フィーダ3 +", "- フィーダ1 +"}));
    EXPECT_EQ(feederCaption(1, "2号線"), "- フィーダ2 2号線 +");
    EXPECT_EQ(feederAfterPress(0, 3, 100, 725), 2);
    EXPECT_EQ(feederAfterPress(0, 3, 362, 725), 2);
    EXPECT_EQ(feederAfterPress(0, 3, 363, 725), 1);
    // A button drawn 100 pixels wide splits at the same relative place.
    EXPECT_EQ(feederAfterPress(1, 3, 51, 100), 2);
    EXPECT_EQ(feederAfterPress(1, 3, 49, 100), 0);
    EXPECT_EQ(feederAfterPress(0, 1, 600, 725), 0);
}

TEST(ControlRules, WaitPeriodFromTheTextBox) {
    EXPECT_EQ(waitIntervalMs("0.5"), 500);
    EXPECT_EQ(waitIntervalMs("1"), 1000);
    EXPECT_EQ(waitIntervalMs("abc"), 0);
    EXPECT_EQ(waitIntervalMs(""), 0);
    EXPECT_EQ(waitIntervalMs("-2"), 0);
    EXPECT_EQ(waitIntervalMs("1e12"), 2147483647);
}

TEST(ControlRules, LayoutFollowsTheWindowAboveTheMinimumSize) {
    EXPECT_FALSE(analysisLayout(1999, 9000, 800, 600));
    EXPECT_FALSE(analysisLayout(9000, 1999, 800, 600));
    const auto small = analysisLayout(2000, 2000, 800, 600);
    const auto large = analysisLayout(2000, 2000, 1000, 750);
    ASSERT_TRUE(small && large);
    // The picture and the grids take what the window gains; the frames keep to its bottom.
    EXPECT_EQ(large->pictureWidth - small->pictureWidth, 200);
    EXPECT_EQ(large->pictureHeight - small->pictureHeight, 150);
    EXPECT_EQ(large->gridHeight - small->gridHeight, 150);
    EXPECT_EQ(large->frame1Top - small->frame1Top, 150);
    EXPECT_EQ(large->frame2Top - small->frame2Top, 150);
    for (const AnalysisLayout& l : {*small, *large}) {
        EXPECT_LT(l.pictureHeight, l.frame2Top) << "the picture ends above the frames";
        EXPECT_LE(l.frame2Top, l.frame1Top);
    }
    EXPECT_LT(small->pictureWidth, 800);
    EXPECT_LT(small->frame1Top, 600);
}

TEST_F(GraphTest, DisplayModesDispatchToTablesOrGraphs) {
    make(MeasurementType::ThreePhase2M);
    result.voltageRms[1] = 100;
    for (int mode = 1; mode <= 9; ++mode) {
        const auto d = showResults(static_cast<DisplayMode>(mode), inputs());
        EXPECT_EQ(d.showsGrids, mode >= 2 && mode <= 5) << mode;
        EXPECT_EQ(d.picture.empty(), d.showsGrids) << mode;
    }
    const auto both = showResults(DisplayMode::WaveformsAndDistortion, inputs());
    EXPECT_EQ(itemsOf<PicturePolyline>(both.picture).size(), 12u);
    const auto charts = showResults(DisplayMode::Charts, inputs());
    for (const char* t : {"電圧歪み率(%)", "高次電圧歪み率(%)", "電流歪み率(%)", "位　相　角(ﾟ)"}) {
        EXPECT_TRUE(hasText(charts.picture, t)) << t;
    }
}

TEST_F(GraphTest, HighOrderChartGroupsOrdersAbove49With256Orders) {
    make(MeasurementType::ThreePhase2M);
    result.allocate(256, 1);
    result.voltageHarmonicPercent[50] = 0.3f;
    result.voltageHarmonicPercent[54] = 0.4f;
    result.voltageHarmonicPercent[256] = 1.0f;
    const auto groups = highOrderGroups(result, 256);
    ASSERT_EQ(groups.size(), 42u);  // 50..54, ..., 250..254, 255..256
    EXPECT_EQ(groups[0].lastOrder, 54);
    EXPECT_NEAR(groups[0].percent, 0.5, 1e-6);
    EXPECT_EQ(groups.back().firstOrder, 255);
    EXPECT_EQ(groups.back().lastOrder, 256);
    EXPECT_NEAR(groups.back().percent, 1.0, 1e-6);
    result.allocate(99, 1);
    EXPECT_EQ(highOrderGroups(result, 99).size(), 48u);
}

TEST_F(GraphTest, PhaseAngleChartSkipsOrdersWithoutCurrent) {
    make(MeasurementType::ThreePhase2M);
    result.currentRms(0, 1) = 100;
    result.currentRms(0, 5) = 10;
    result.phaseAngleDeg(0, 1) = 90;
    result.phaseAngleDeg(0, 5) = -180;
    result.phaseAngleDeg(0, 7) = 45;  // no current at order 7
    Picture p;
    drawPhaseAngleChart(370, 340, inputs(), p);
    std::vector<PictureRect> bars;
    for (const auto& r : itemsOf<PictureRect>(p)) {
        if (r.filled) bars.push_back(r);
    }
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_DOUBLE_EQ(bars[0].corner2.y, 275 - 32);  // +90°: half of 65, rounded to even
    EXPECT_DOUBLE_EQ(bars[1].corner2.y, 275 + 65);
}

}  // namespace
}  // namespace waveharm
