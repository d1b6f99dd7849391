#include "display/wiring_diagram.h"

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

std::vector<PictureLine> linesOf(const Picture& d, LineRole role, int colour) {
    std::vector<PictureLine> out;
    for (const auto& s : itemsOf<PictureLine>(d))
        if (s.role == role && s.colour == paletteColour(colour)) out.push_back(s);
    return out;
}

std::vector<PictureLine> shafts(const Picture& d, int colour) {
    return linesOf(d, LineRole::ArrowShaft, colour);
}

/// Direction of a segment in diagram degrees (y up).
double directionDeg(const PictureLine& s) {
    return std::atan2(-(s.to.y - s.from.y), s.to.x - s.from.x) / kDeg;
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
        const Picture d = wiringDiagram(r, s);

        const auto vrs = shafts(d, 10);
        ASSERT_EQ(vrs.size(), 1u);
        EXPECT_NEAR(std::hypot(vrs[0].to.x - vrs[0].from.x, vrs[0].to.y - vrs[0].from.y), 1500, 2);
        EXPECT_NEAR(angleDiff(directionDeg(vrs[0]), r.rotation / kDeg), 0, 0.1);
        const auto vts = shafts(d, 12);
        ASSERT_EQ(vts.size(), 1u);
        EXPECT_NEAR(angleDiff(directionDeg(vts[0]), directionDeg(vrs[0])), positive ? 60 : -60,
                    0.1);
        // Both voltages start at the S corner.
        EXPECT_EQ(vrs[0].from.x, vts[0].from.x);
        EXPECT_EQ(vrs[0].from.y, vts[0].from.y);

        // The R current lies along the dotted R phase voltage from the centroid.
        const auto ir = shafts(d, 11);
        ASSERT_EQ(ir.size(), 1u);
        EXPECT_NEAR(std::hypot(ir[0].to.x - ir[0].from.x, ir[0].to.y - ir[0].from.y), 750, 2);
        const auto phaseLines = linesOf(d, LineRole::Plain, 11);
        ASSERT_EQ(phaseLines.size(), 1u);
        const PictureLine* phaseR = &phaseLines[0];
        EXPECT_EQ(phaseR->style, LineStyle::Dotted);
        EXPECT_NEAR(angleDiff(directionDeg(ir[0]), directionDeg(*phaseR)), 0, 0.2);

        // The S current closes the currents and is dotted; the R-T side is drawn.
        const auto is = shafts(d, 6);
        ASSERT_EQ(is.size(), 1u);
        EXPECT_EQ(is[0].style, LineStyle::Dotted);
        const auto it = shafts(d, 13);
        ASSERT_EQ(it.size(), 1u);
        EXPECT_NEAR(is[0].to.x - is[0].from.x,
                    -((ir[0].to.x - ir[0].from.x) + (it[0].to.x - it[0].from.x)), 1.5);
        EXPECT_EQ(linesOf(d, LineRole::Plain, 8).size(), 1u);
    }
}

TEST(WiringDiagram, OneFeederIsCentredWithoutLabelAndWithTheFullLegend) {
    ConversionSettings s;
    const Picture d = wiringDiagram(balanced(true), s);
    const auto ir = shafts(d, 11);
    ASSERT_EQ(ir.size(), 1u);
    // The currents start at the centroid (3200, 1000 + 1500/1.732) in diagram units.
    EXPECT_EQ(ir[0].from.x, 3200);
    EXPECT_EQ(ir[0].from.y, kDiagramBaseY - 1866);
    const auto legend = itemsOf<PictureText>(d);
    std::vector<std::string> texts;
    for (const auto& t : legend) texts.push_back(t.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Vr-s", "Ir", "Vt-s", "It", "Vr-t", "Is"}));
    EXPECT_EQ(legend[5].at.x, 7050);
    EXPECT_EQ(legend[5].at.y, 3420);
    EXPECT_EQ(legend[5].colour, paletteColour(6));
}

TEST(WiringDiagram, ThreePhase1MDrawsOnlyTheRsVoltageAndTheRCurrent) {
    ConversionSettings s;
    s.measurementType = MeasurementType::ThreePhase1M;
    WiringCheckResult r = balanced(true);
    r.rotation = diagramRotation(s.measurementType, r.fundamentalSin, r.fundamentalCos);
    EXPECT_EQ(r.rotation, 0.0f);
    const Picture d = wiringDiagram(r, s);
    int shaftCount = 0;
    for (const auto& seg : itemsOf<PictureLine>(d)) {
        EXPECT_NE(seg.role, LineRole::Plain);
        if (seg.role == LineRole::ArrowShaft) ++shaftCount;
    }
    EXPECT_EQ(shaftCount, 2);
    EXPECT_EQ(shafts(d, 10).size(), 1u);
    EXPECT_EQ(shafts(d, 11).size(), 1u);
    const auto texts = itemsOf<PictureText>(d);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].text, "Ir");
}

TEST(WiringDiagram, FeederWithoutCurrentCollapsesItsArrowsOntoTheCentroid) {
    ConversionSettings s;
    WiringCheckResult r = balanced(true);
    setPhasor(r, 2, 0, 0);
    setPhasor(r, 3, 0, 0);
    const Picture d = wiringDiagram(r, s);
    for (const int colour : {11, 13, 6}) {
        const auto a = shafts(d, colour);
        ASSERT_EQ(a.size(), 1u);
        EXPECT_EQ(a[0].from.x, a[0].to.x) << colour;
        EXPECT_EQ(a[0].from.y, a[0].to.y) << colour;
        EXPECT_EQ(a[0].from.x, 3200);
    }
}

TEST(WiringDiagram, SeveralFeedersFollowTheLayoutTableWithLabels) {
    ConversionSettings s;
    s.setFeederCount(4);
    const Picture d = wiringDiagram(balanced(true), s);
    std::vector<PictureText> labels;
    for (const auto& t : itemsOf<PictureText>(d))
        if (t.text.rfind("F-", 0) == 0) labels.push_back(t);
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[2].text, "F-3");
    EXPECT_EQ(labels[2].at.x, 1800 - 200);
    EXPECT_EQ(labels[2].at.y, 3950 - 400);
    EXPECT_EQ(shafts(d, 10).size(), 4u);
}

TEST(WiringDiagram, ArrowBarbsPointBackFromTheTip) {
    Picture d = emptyWiringPicture();
    drawVector(d, 0, 0, 1000, 0, 10, LineStyle::Dotted);
    const auto lines = itemsOf<PictureLine>(d);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].style, LineStyle::Dotted);
    for (int i = 1; i < 3; ++i) {
        const auto& b = lines[i];
        EXPECT_EQ(b.style, LineStyle::Solid);
        EXPECT_EQ(b.from.x, 1000);
        EXPECT_NEAR(b.to.x, 1000 - 50 * std::cos(0.5), 0.01);
        EXPECT_NEAR(std::abs(b.to.y - kDiagramBaseY), 50 * std::sin(0.5), 0.01);
    }
    // One barb on each side of the shaft.
    EXPECT_LT((lines[1].to.y - kDiagramBaseY) * (lines[2].to.y - kDiagramBaseY), 0);
}

}  // namespace
}  // namespace waveharm
