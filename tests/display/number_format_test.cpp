#include "display/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace waveharm {
namespace {

struct FormatCase {
    double value;
    const char* picture;
    const char* expected;
};

class FormatNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, Formats) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(formatNumber(c.value, c.picture), c.expected)
        << "value " << c.value << " picture \"" << c.picture << "\"";
}

// The pictures of the status line, the frequency label and the results table.
INSTANTIATE_TEST_SUITE_P(
    DisplayPictures, FormatNumberTest,
    ::testing::Values(
        FormatCase{6600.04, "##,##0.0", "6,600.0"}, FormatCase{105.25, "##,##0.0", "105.3"},
        FormatCase{0.04, "##,##0.0", "0.0"}, FormatCase{1234567.891, "##,##0.0", "1,234,567.9"},
        FormatCase{12.345, "###0.00", "12.35"}, FormatCase{12345.678, "#,##0.000k", "12,345.678k"},
        FormatCase{1.0005, "#,##0.000k", "1.001k"}, FormatCase{2.5, "#0.000M", "2.500M"},
        FormatCase{1234.5, "#0.000M", "1234.500M"}, FormatCase{50.0, "##.00", "50.00"},
        FormatCase{0.5, "##.00", ".50"}, FormatCase{59.996, "##.00", "60.00"},
        FormatCase{0.0345, "##0.0%", "3.5%"}, FormatCase{1.5, "##0.0%", "150.0%"},
        FormatCase{12.3456, "##0.0%", "1234.6%"}, FormatCase{0.123, "I= ##0.0% ", "I= 12.3% "},
        FormatCase{5, "##次", "5次"}, FormatCase{49, "##次", "49次"},
        FormatCase{101.46, "####0.0V", "101.5V"}, FormatCase{0.04, "####0.0A", "0.0A"},
        FormatCase{-30.4, "##0ﾟ", "-30ﾟ"}, FormatCase{179.5, "##0ﾟ", "180ﾟ"},
        FormatCase{3.0, "#0.0%", "300.0%"}));

// Rounding: halves away from zero on the decimal value, not on its binary image.
INSTANTIATE_TEST_SUITE_P(
    Rounding, FormatNumberTest,
    ::testing::Values(FormatCase{0.5, "0", "1"}, FormatCase{1.5, "0", "2"},
                      FormatCase{2.5, "0", "3"}, FormatCase{-2.5, "0", "-3"},
                      FormatCase{0.125, "0.00", "0.13"}, FormatCase{2.675, "0.00", "2.68"},
                      FormatCase{1.005, "0.00", "1.01"}, FormatCase{999.95, "#,##0.0", "1,000.0"},
                      FormatCase{9.9999, "0.00", "10.00"}, FormatCase{0.0004, "0.000", "0.000"},
                      FormatCase{0.0005, "0.000", "0.001"}, FormatCase{1e-300, "0.0", "0.0"}));

// Digits and separators: required and optional placeholders, grouping, overflow.
INSTANTIATE_TEST_SUITE_P(
    Placeholders, FormatNumberTest,
    ::testing::Values(FormatCase{0, "##0", "0"}, FormatCase{0, "##", ""},
                      FormatCase{7, "000", "007"}, FormatCase{123456, "0", "123456"},
                      FormatCase{123456, "##0", "123456"}, FormatCase{1000, "#,##0", "1,000"},
                      FormatCase{999, "#,##0", "999"},
                      FormatCase{1e15, "#,##0", "1,000,000,000,000,000"},
                      FormatCase{5, "#.##", "5."}, FormatCase{5.1, "#.0#", "5.1"},
                      FormatCase{5.125, "0.0#", "5.13"}, FormatCase{5.1, "0.0#", "5.1"},
                      FormatCase{1.5, ".00", "1.50"}, FormatCase{1234.5, ",.0", "1,234.5"},
                      FormatCase{42, "#0.0.0", "42.0.0"}, FormatCase{1.25, "0.0\\0", "1.30"},
                      FormatCase{1.5, "0.0\" ##\"", "1.5 ##"}, FormatCase{0.5, "0.0\\%", "0.5%"},
                      FormatCase{12, "abc", "abc"}, FormatCase{1.5, "", "1.5"}));

// Signs: a leading minus in front of literals; values shown as zero carry no sign.
INSTANTIATE_TEST_SUITE_P(Signs, FormatNumberTest,
                         ::testing::Values(FormatCase{-1234.5, "##,##0.0", "-1,234.5"},
                                           FormatCase{-0.123, "I= ##0.0% ", "-I= 12.3% "},
                                           FormatCase{-0.04, "##0.0", "0.0"},
                                           FormatCase{-0.05, "##0.0", "-0.1"},
                                           FormatCase{-0.0, "0.0", "0.0"},
                                           FormatCase{-2500000, "#0.000M", "-2500000.000M"}));

TEST(FormatNumber, NonFiniteValuesAreNamed) {
    EXPECT_EQ(formatNumber(std::numeric_limits<double>::quiet_NaN(), "##0.0"), "NaN");
    EXPECT_EQ(formatNumber(std::numeric_limits<double>::infinity(), "##0.0"), "Inf");
    EXPECT_EQ(formatNumber(-std::numeric_limits<double>::infinity(), "##0.0"), "-Inf");
}

TEST(FormatNumber, MultibyteLiteralsPassThroughIntact) {
    // Literals around, between and after digits, including half-width katakana.
    EXPECT_EQ(formatNumber(3, "第#次ﾟ"), "第3次ﾟ");
    EXPECT_EQ(formatNumber(12.5, "電圧 ##0.0 Ｖ"), "電圧 12.5 Ｖ");
    EXPECT_EQ(formatNumber(1, "\\次0"), "次1");
    // A stray byte that is not valid UTF-8 is still copied, never dropped.
    EXPECT_EQ(formatNumber(1, "0\xff"), "1\xff");
}

TEST(FormatNumber, LargeMagnitudesKeepEveryIntegerDigit) {
    EXPECT_EQ(formatNumber(1e20, "0"), "100000000000000000000");
    EXPECT_EQ(formatNumber(123456789012345678.0, "#,##0"), "123,456,789,012,346,000");
    EXPECT_EQ(formatNumber(std::ldexp(1.0, 1000), "0").size(), 302u);
}

}  // namespace
}  // namespace waveharm

namespace waveharm {
namespace {

TEST(StatisticText, FourSignificantDigitsWithoutDroppingWholeDigits) {
    EXPECT_EQ(statisticText(6514.1), "6514");
    EXPECT_EQ(statisticText(123456.7), "123457");
    EXPECT_EQ(statisticText(12.345), "12.35");  // nearest, as printf rounds the binary value
    EXPECT_EQ(statisticText(0.062963), "0.06296");
    EXPECT_EQ(statisticText(-0.5), "-0.5000");
    EXPECT_EQ(statisticText(0), "0");
    EXPECT_EQ(statisticText(std::nan("")), "");
}

}  // namespace
}  // namespace waveharm
