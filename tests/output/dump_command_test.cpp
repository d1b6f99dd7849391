// The dump command over files written by the result writers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "output/result_writer.h"
#include "output_test_support.h"
#include "support/cli_runner.h"

namespace waveharm {
namespace {

using namespace waveharm::testing;

CliResult dump(const std::vector<std::string>& args) {
    std::vector<std::string> all{"dump"};
    all.insert(all.end(), args.begin(), args.end());
    return runCli(all, {.withErrors = false, .fileSizeLimit = 0, .directory = {}});
}

class DumpCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(WAVEHARM_CLI)) GTEST_SKIP() << "waveharm-cli not built";
    }
    ScratchFolder dir;
};

TEST_F(DumpCommandTest, PrintsAHeaderNamingEveryColumnAndOneLinePerRecord) {
    const auto option = HarmonicOption::WithAngleAndUnbalance;
    const std::string name = dir.file("feb.hv2");
    auto w = ResultWriter::open(settingsFor(MeasurementType::ThreePhase3M, option, 2, name));
    auto iv = intervalFor(option, 2);
    for (int minute : {5, 6}) {
        iv.voltagePhasorRe(0, 1) = 6600.5f;
        iv.voltageRmsByPhase = {1, 2, 3};
        iv.currentRmsByPhase(2, 1) = 7.25f;
        iv.intervalState = 1;
        ASSERT_TRUE(w->offer(at(2018, 12, 12, 9, minute, 0), iv));
    }
    w->close();

    const CliResult r = dump({dir.file("feb.Rhv2")});
    ASSERT_EQ(r.status, 0);
    std::istringstream lines(r.output);
    std::string header, first, second, extra;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, extra));
    EXPECT_EQ(header.rfind("date,time,V_h1,V_h3,", 0), 0u) << header;
    EXPECT_NE(header.find(",I2_h49,I2_angle_h1,"), std::string::npos);
    EXPECT_NE(header.find(",V_phase_angle_h49,V_rms_ph1,"), std::string::npos);
    EXPECT_EQ(header.substr(header.size() - 10), "I2_rms_ph3");
    const auto columns = [](const std::string& s) { return std::count(s.begin(), s.end(), ','); };
    EXPECT_EQ(columns(header), 2 + 25 + 2 * 50 + 25 + 3 + 6 - 1);
    EXPECT_EQ(columns(first), columns(header));
    EXPECT_EQ(first.rfind("2018-12-12,09:05,6600.5,0,", 0), 0u) << first;
    EXPECT_TRUE(first.ends_with(",1,2,3,0,0,0,0,0,7.25")) << first;
    EXPECT_EQ(second.rfind("2018-12-12,09:06,", 0), 0u);
}

TEST_F(DumpCommandTest, MalformedFilesAndUsageErrorsExitWithStatus2) {
    std::ofstream(dir.file("bad.hm1"), std::ios::binary) << std::string(255, '\0');
    // A 256-byte record stamped 2018-12-12 09:05, zero elsewhere.
    std::string record(256, '\0');
    const float day = 181212;
    const std::int16_t minute = 905;
    std::memcpy(record.data(), &day, sizeof day);
    std::memcpy(record.data() + 4, &minute, sizeof minute);
    std::ofstream(dir.file("plain.txt"), std::ios::binary) << record;
    for (const char* name : {"bad.hm1", "plain.txt", "missing.hm1"})
        EXPECT_EQ(dump({dir.file(name)}).status, 2) << name;
    EXPECT_EQ(dump({dir.file("plain.txt"), "--harmonics", "x"}).status, 2);
    // An unknown extension is readable once the layout is given.
    const CliResult given = dump({dir.file("plain.txt"), "--harmonics", "odd49"});
    EXPECT_EQ(given.status, 0);
    EXPECT_EQ(std::count(given.output.begin(), given.output.end(), '\n'), 2);
}

}  // namespace
}  // namespace waveharm
