// The dump command over files written by the result writers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "output/result_writer.h"
#include "output_test_support.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
constexpr const char* kDiscardErrors = " 2>NUL";
int exitStatus(int raw) { return raw; }
#else
#include <sys/wait.h>
constexpr const char* kDiscardErrors = " 2>/dev/null";
int exitStatus(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }
#endif

namespace waveharm {
namespace {

using namespace waveharm::testing;

struct CommandResult {
    int status = -1;
    std::string out;
};

CommandResult runCli(const std::string& arguments) {
    CommandResult r;
    const std::string command =
        std::string("\"") + WAVEHARM_CLI + "\" " + arguments + kDiscardErrors;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) r.out.append(buf, n);
    const int raw = pclose(pipe);
    r.status = exitStatus(raw);
    return r;
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

    const CommandResult r = runCli("dump \"" + dir.file("feb.Rhv2") + "\"");
    ASSERT_EQ(r.status, 0);
    std::istringstream lines(r.out);
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
    std::ofstream(dir.file("plain.txt"), std::ios::binary) << std::string(256, '\0');
    for (const char* args : {"bad.hm1", "plain.txt", "missing.hm1", "plain.txt --harmonics x"})
        EXPECT_EQ(runCli("dump " + dir.file(args)).status, 2) << args;
    // An unknown extension is readable once the layout is given.
    const CommandResult given = runCli("dump " + dir.file("plain.txt") + " --harmonics odd49");
    EXPECT_EQ(given.status, 0);
    EXPECT_EQ(std::count(given.out.begin(), given.out.end(), '\n'), 2);
}

}  // namespace
}  // namespace waveharm
