// The transform against a naive long-double DFT, and the complex helpers' angle rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/analyzer.h"
#include "engine/complex_math.h"

namespace waveharm {
namespace {

struct Bin {
    long double re = 0, im = 0;
};

// Σ x(n)·e^(−j2πkn/N) / N in long double with the exact π.
std::vector<Bin> naiveDft(const std::vector<float>& x, int n) {
    std::vector<Bin> out(static_cast<std::size_t>(n));
    const long double pi = std::numbers::pi_v<long double>;
    for (int k = 0; k < n; ++k) {
        for (int i = 0; i < n; ++i) {
            const long double a = -2 * pi * k * i / n;
            out[k].re += x[i] * std::cos(a) / n;
            out[k].im += x[i] * std::sin(a) / n;
        }
    }
    return out;
}

// Every length with the library transform (the radix-2 one in builds without it) and
// with the engine's own radix-2 transform.
class FftTest : public ::testing::TestWithParam<std::tuple<int, TransformKind>> {
  protected:
    int n() const { return std::get<0>(GetParam()); }
    int log2n() const { return static_cast<int>(std::lround(std::log2(n()))); }
    FftPlan plan() const { return FftPlan::make(n(), log2n(), std::get<1>(GetParam())); }
};

TEST_P(FftTest, CosineOnBinThreeLandsOnBinsThreeAndMirrorWithHalfAmplitude) {
    const double a = 1000;
    std::vector<float> x(static_cast<std::size_t>(n() + 1));
    for (int i = 0; i <= n(); ++i) {
        x[i] = static_cast<float>(a * std::cos(2 * std::numbers::pi * 3 * i / n()));
    }
    std::vector<float> re, im;
    computeFft(plan(), x, re, im);
    ASSERT_EQ(re.size(), static_cast<std::size_t>(n() + 1));
    EXPECT_NEAR(re[3], a / 2, 1e-3);
    EXPECT_NEAR(re[n() - 3], a / 2, 1e-3);
    for (int k = 0; k <= n(); ++k) {
        if (k == 3 || k == n() - 3) continue;
        EXPECT_NEAR(re[k], 0, 1e-3) << "bin " << k;
        EXPECT_NEAR(im[k], 0, 1e-3) << "bin " << k;
    }
    EXPECT_EQ(re[n()], 0.0f) << "bin N is never written";
}

TEST_P(FftTest, ConstantGoesToBinZeroOnly) {
    std::vector<float> x(static_cast<std::size_t>(n() + 1), 7.5f);
    std::vector<float> re, im;
    computeFft(plan(), x, re, im);
    EXPECT_NEAR(re[0], 7.5, 1e-5);
    for (int k = 1; k < n(); ++k) EXPECT_NEAR(std::hypot(re[k], im[k]), 0, 1e-5);
}

TEST_P(FftTest, MatchesNaiveLongDoubleDft) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> value(-2000, 2000);
    std::vector<float> x(static_cast<std::size_t>(n() + 1));
    for (auto& v : x) v = value(rng);
    std::vector<float> re, im;
    computeFft(plan(), x, re, im);
    const auto oracle = naiveDft(x, n());
    double worst = 0;
    for (int k = 0; k < n(); ++k) {
        worst = std::max(
            worst, static_cast<double>(std::hypot(re[k] - oracle[k].re, im[k] - oracle[k].im)));
    }
    // Single-precision storage of values ~ 2000/√N: errors of a few 1e-4 counts.
    EXPECT_LT(worst, 2e-3);
}

TEST_P(FftTest, UpperBinsMirrorTheLowerOnesAndAWorkspaceServesManyTransforms) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-2000, 2000);
    const FftPlan p = plan();
    FftWorkspace work;  // sized by the first transform that needs it
    std::vector<float> re, im, reAlone, imAlone;
    for (int round = 0; round < 3; ++round) {
        std::vector<float> x(static_cast<std::size_t>(n() + 1));
        for (auto& v : x) v = value(rng);
        computeFft(p, x, re, im, work);
        computeFft(p, x, reAlone, imAlone);
        EXPECT_EQ(re, reAlone) << "round " << round;
        EXPECT_EQ(im, imAlone) << "round " << round;
        for (int k = 1; k < n() / 2; ++k) {
            EXPECT_NEAR(re[k], re[n() - k], 1e-3) << "bin " << k;
            EXPECT_NEAR(im[k], -im[n() - k], 1e-3) << "bin " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, FftTest,
                         ::testing::Combine(::testing::Values(256, 512, 1024),
                                            ::testing::Values(TransformKind::Library,
                                                              TransformKind::Radix2)));

TEST(FftPlan, UsesTheLibraryWhenBuiltWithItAndRadix2OnRequest) {
    const FftPlan library = FftPlan::make(512, 9);
    EXPECT_EQ(library.library != nullptr, libraryTransformAvailable());
    EXPECT_EQ(FftPlan::make(512, 9, TransformKind::Radix2).transformName(), "radix-2");
    if (libraryTransformAvailable()) {
        EXPECT_NE(library.transformName().find("fftw"), std::string::npos);
    }
}

TEST(ComplexMath, PhaseAngleQuadrants) {
    EXPECT_NEAR(phaseAngle(0, 1), std::numbers::pi / 2, 1e-12);
    EXPECT_DOUBLE_EQ(phaseAngle(-1, 0), static_cast<double>(kPi));
    EXPECT_DOUBLE_EQ(phaseAngle(-1, -0.5), std::atan(0.5) - kPi);
    EXPECT_NEAR(phaseAngle(1, 1), std::numbers::pi / 4, 1e-12);
    EXPECT_NEAR(phaseAngle(-1, 1), 3 * std::numbers::pi / 4, 1e-6);
    EXPECT_NEAR(phaseAngle(0, -1), -std::numbers::pi / 2, 1e-12);
    EXPECT_DOUBLE_EQ(phaseAngle(0, 0), 0) << "a zero vector has angle 0";
}

TEST(ComplexMath, PhaseAngleShiftedCoversMinusHalfPiToThreeHalvesPi) {
    constexpr double kQuarter = std::numbers::pi / 4;
    EXPECT_NEAR(phaseAngleShifted(1, 1), kQuarter, 1e-6);
    EXPECT_NEAR(phaseAngleShifted(1, -1), 3 * kQuarter, 1e-6);
    EXPECT_NEAR(phaseAngleShifted(-1, -1), 5 * kQuarter, 1e-6);
    EXPECT_NEAR(phaseAngleShifted(-1, 1), -kQuarter, 1e-6);
    // The ends of the range: straight down, and just short of it from the left.
    EXPECT_NEAR(phaseAngleShifted(-1, 0), -2 * kQuarter, 1e-6);
    EXPECT_NEAR(phaseAngleShifted(-1, -1e-9), 6 * kQuarter, 1e-6);
}

TEST(ComplexMath, QuadrantAngleInDegrees) {
    // × 180 / 3.1415925 reads about 5e-6 % high.
    EXPECT_NEAR(quadrantAngleDeg(1, 1), 45, 1e-4);
    EXPECT_NEAR(quadrantAngleDeg(-1, 1), 135, 1e-4);
    EXPECT_NEAR(quadrantAngleDeg(-1, -1), -135, 1e-4);
    EXPECT_NEAR(quadrantAngleDeg(0, 1), 90, 1e-4);
    EXPECT_NEAR(quadrantAngleDeg(-1, 0), -180, 1e-4) << "y = 0 with x < 0 takes −180";
}

TEST(ComplexMath, RoundsHalfToEvenInto16Bits) {
    EXPECT_EQ(roundToInt16(2.5), 2);
    EXPECT_EQ(roundToInt16(3.5), 4);
    EXPECT_EQ(roundToInt16(-2.5), -2);
    EXPECT_EQ(roundToInt16(179.6), 180);
    EXPECT_EQ(roundToInt16(1e9), 32767);
    EXPECT_EQ(roundToInt16(std::nan("")), 0);
}

}  // namespace
}  // namespace waveharm
