// Limit tables: the files that come with the program, the guideline's limits for a
// contract power, the voltage classes, a user's own file and malformed files.

#include "campaign/limits.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "output/output_test_support.h"

namespace waveharm {
namespace {

std::string sourceText(const std::string& name) {
    std::ifstream in(std::string(WAVEHARM_LIMITS_DIR) + "/" + name + ".txt", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(LimitTables, EveryTableIsItsFileAndParsesWithItsSource) {
    const auto names = builtInLimitNames();
    ASSERT_EQ(names.size(), 5u);
    for (const std::string& name : names) {
        const std::string text = sourceText(name);
        ASSERT_FALSE(text.empty()) << name;
        EXPECT_EQ(builtInLimitText(name), text) << name;
        const LimitTable t = loadLimitTable(name);
        EXPECT_FALSE(t.source.empty()) << name;
        EXPECT_FALSE(t.title.empty()) << name;
    }
}

TEST(LimitTables, GuidelineLimitsScaleWithTheContractPower) {
    const LimitTable t = loadLimitTable("jp-6.6kv");
    EXPECT_TRUE(t.needsContractPower());
    EXPECT_THROW(applyLimits(t, {}), LimitError);
    const AppliedLimits a = applyLimits(t, {500.0, std::nullopt});
    // 500 kW × 3.5 mA/kW = 1.75 A for the 5th; 0.70 mA/kW above the 23rd.
    EXPECT_NEAR(a.currentAmps.at(5), 1.75, 1e-12);
    EXPECT_NEAR(a.currentAmps.at(23), 0.38, 1e-12);
    EXPECT_NEAR(a.currentAmps.at(25), 0.35, 1e-12);
    EXPECT_FALSE(a.currentAmps.count(3));
    EXPECT_EQ(a.voltageThd, 5.0);
    const AppliedLimits b = applyLimits(loadLimitTable("jp-33kv"), {2000.0, std::nullopt});
    EXPECT_NEAR(b.currentAmps.at(7), 1.72, 1e-12);
    EXPECT_EQ(b.voltageThd, 3.0);
    EXPECT_NEAR(applyLimits(loadLimitTable("jp-22kv"), {1000.0, {}}).currentAmps.at(13), 0.69,
                1e-12);
}

TEST(LimitTables, Ieee519ChoosesTheBusVoltageClass) {
    const LimitTable t = loadLimitTable("ieee519");
    EXPECT_THROW(applyLimits(t, {}), LimitError);
    const std::pair<double, std::pair<double, double>> cases[] = {
        {0.4, {5, 8}}, {1.0, {5, 8}},     {6.6, {3, 5}},
        {69, {3, 5}},  {154, {1.5, 2.5}}, {275, {1, 1.5}}};
    for (const auto& [kv, expected] : cases) {
        const AppliedLimits a = applyLimits(t, {std::nullopt, kv});
        EXPECT_EQ(a.voltagePercent.at(5), expected.first) << kv;
        EXPECT_EQ(a.voltagePercent.at(50), expected.first) << kv;
        EXPECT_EQ(a.voltageThd, expected.second) << kv;
    }
}

TEST(LimitTables, Iec61000FollowsItsFormulas) {
    const AppliedLimits a = applyLimits(loadLimitTable("iec61000-2-2"), {});
    EXPECT_EQ(a.voltagePercent.size(), 49u);
    for (int h = 2; h <= 50; ++h) {
        double expected = 0;
        if (h % 2 == 0)
            expected = h == 2 ? 2 : h == 4 ? 1 : h == 6 ? 0.5 : 0.25 * 10 / h + 0.25;
        else if (h % 3 == 0)
            expected = h == 3 ? 5 : h == 9 ? 1.5 : h == 15 ? 0.4 : h == 21 ? 0.3 : 0.2;
        else
            expected = h == 5 ? 6 : h == 7 ? 5 : h == 11 ? 3.5 : h == 13 ? 3 : 2.27 * 17 / h - 0.27;
        EXPECT_NEAR(a.voltagePercent.at(h), expected, 6e-4) << h;
    }
    EXPECT_EQ(a.voltageThd, 8.0);
}

TEST(LimitTables, AUsersOwnFileIsAccepted) {
    testing::ScratchFolder dir;
    const std::string path = dir.file("site limits.txt");
    std::ofstream(path) << "# our own contract\nsource: 電力会社との協議値\n"
                           "I 5 2.5 A   # every feeder\nI 7-11 1.5 A\nI_thd - 20 %\n"
                           "V 5 150 V\n";
    const AppliedLimits a = applyLimits(loadLimitTable(path), {});
    EXPECT_EQ(a.title, path);
    EXPECT_EQ(a.source, "電力会社との協議値");
    EXPECT_EQ(a.currentAmps.at(5), 2.5);
    EXPECT_EQ(a.currentAmps.at(9), 1.5);
    EXPECT_EQ(a.currentAmps.size(), 6u);
    EXPECT_EQ(a.currentThd, 20.0);
    EXPECT_EQ(a.voltageVolts.at(5), 150.0);
    EXPECT_THROW(loadLimitTable(dir.file("missing.txt")), LimitError);
}

struct BadTable {
    const char* text;
    int line;
    const char* reason;
};

class MalformedLimitTable : public ::testing::TestWithParam<BadTable> {};

TEST_P(MalformedLimitTable, NamesTheFileAndTheLine) {
    const BadTable& bad = GetParam();
    try {
        parseLimitTable(bad.text, "mine.txt");
        FAIL() << "accepted: " << bad.text;
    } catch (const LimitError& e) {
        EXPECT_EQ(e.file(), "mine.txt");
        EXPECT_EQ(e.line(), bad.line) << e.what();
        EXPECT_NE(e.reason().find(bad.reason), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("mine.txt"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedLimitTable,
    ::testing::Values(BadTable{"source: x\nI 5 3.5\n", 2, "missing field"},
                      BadTable{"source: x\nI 1 3.5 A\n", 2, "unknown order"},
                      BadTable{"source: x\nI 300 3.5 A\n", 2, "unknown order"},
                      BadTable{"source: x\nI 9-7 3.5 A\n", 2, "unknown order"},
                      BadTable{"source: x\n\nV 5 -1 %\n", 3, "negative limit"},
                      BadTable{"source: x\nV 5 abc %\n", 2, "not a number"},
                      BadTable{"source: x\nW 5 1 %\n", 2, "unknown quantity"},
                      BadTable{"source: x\nI 5 1 %\n", 2, "unit"},
                      BadTable{"source: x\nV 5 1 % 0-1 extra\n", 2, "unexpected field"},
                      BadTable{"source: x\nV 3-7 1 %\nV 5 2 %\n", 3, "already given on line 2"},
                      BadTable{"source: x\nV 5 1 % 5-2\n", 2, "bus voltage class"},
                      BadTable{"I 5 1 A\n", 0, "source"},
                      BadTable{"source: x\n# nothing\n", 0, "no limits"}));

}  // namespace
}  // namespace waveharm
