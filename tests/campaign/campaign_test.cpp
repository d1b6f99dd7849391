// A campaign over result files written by the result writer: records merged in time
// order, distortion series, limit verdicts, and the report command end to end.

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "campaign/campaign_data.h"
#include "campaign/report.h"
#include "output/output_test_support.h"
#include "output/result_writer.h"
#include "support/cli_runner.h"

namespace waveharm {
namespace {

using namespace waveharm::testing;

// One-feeder odd-order records, one per minute from 10:00, with V_h1 = 6600,
// V_h5 = `v5[i]`, V_h7 = 30, I1_h1 = 100 and I1_h5 = `i5[i]`.
void writeRecords(const std::string& name, int firstMinute, const std::vector<float>& v5,
                  const std::vector<float>& i5) {
    const auto option = HarmonicOption::Odd1To49;
    auto w = ResultWriter::open(settingsFor(MeasurementType::ThreePhase2M, option, 1, name));
    auto iv = intervalFor(option, 1);
    for (std::size_t i = 0; i < v5.size(); ++i) {
        iv.voltageRms[1] = 6600;
        iv.voltageRms[5] = v5[i];
        iv.voltageRms[7] = 30;
        iv.currentRms(0, 1) = 100;
        iv.currentRms(0, 5) = i5[i];
        iv.intervalState = 1;
        const int minute = firstMinute + static_cast<int>(i);
        ASSERT_TRUE(w->offer(at(2024, 5, 1, 10 + minute / 60, minute % 60, 0), iv));
    }
    w->close();
}

const SeriesRow& row(const CampaignData& d, const std::string& name) {
    for (const SeriesRow& r : d.rows)
        if (r.name == name) return r;
    ADD_FAILURE() << "no row " << name;
    return d.rows.front();
}

TEST(Campaign, MergesFilesInTimeOrderAndDerivesDistortion) {
    ScratchFolder dir;
    writeRecords(dir.file("late.hm1"), 3, {66, 132}, {1, 9});
    writeRecords(dir.file("early.hm1"), 0, {0, 33, 99}, {2, 3, 4});
    CampaignOptions small;
    small.valueMemoryBytes = 64;  // a sample and more passes: the passes must not matter
    const CampaignData d = readCampaign({dir.file("late.hm1"), dir.file("early.hm1")}, small);
    ASSERT_EQ(d.recordCount(), 5u);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_NEAR(d.times[i], at(2024, 5, 1, 10, int(i), 0).serial, 1e-9) << i;
    // V_thd = √(V5² + 30²) / 6600 · 100, in time order: V5 = 0, 33, 99, 66, 132.
    const float v5[] = {0, 33, 99, 66, 132};
    ASSERT_EQ(d.trends.size(), 2u);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_NEAR(d.trends[0].values[i], std::hypot(v5[i], 30.0) / 66, 1e-5) << i;
    EXPECT_EQ(d.trends[1].name, "I1_thd");
    EXPECT_NEAR(d.trends[1].values[3], 1.0, 1e-6);
    // Each record remembers where it came from, for the records' export.
    EXPECT_EQ(d.sources[3].file, 0u);
    EXPECT_EQ(d.sources[0].file, 1u);

    const SeriesRow& v = row(d, "V_h5");
    EXPECT_EQ(v.unit, "V");
    EXPECT_EQ(v.stats.count, 5u);
    EXPECT_NEAR(v.stats.mean, 66, 1e-4);
    EXPECT_NEAR(v.stats.cp95, 99 + 0.8 * 33, 1e-4);  // rank 3.8 of 0, 33, 66, 99, 132
    EXPECT_NEAR(row(d, "V_pct_h5").stats.max, 2.0, 1e-5);
    EXPECT_EQ(row(d, "I1_angle_h5").unit, "deg");
    EXPECT_EQ(d.rows.back().name, "I1_thd");
    // The same statistics with every series read in one pass.
    const CampaignData whole = readCampaign({dir.file("early.hm1"), dir.file("late.hm1")}, {});
    EXPECT_EQ(whole.rows.size(), d.rows.size());
    EXPECT_EQ(row(whole, "V_thd").stats.cp95, row(d, "V_thd").stats.cp95);
}

TEST(Campaign, VerdictsFollowCp95AgainstTheLimit) {
    ScratchFolder dir;
    writeRecords(dir.file("a.hm1"), 0, {33, 33, 33, 33}, {1, 1, 1, 20});
    CampaignData d = readCampaign({dir.file("a.hm1")}, {});
    AppliedLimits limits;
    limits.currentAmps[5] = 2.0;   // CP95 of 1, 1, 1, 20 is 17.15: fails
    limits.voltagePercent[5] = 1;  // 33 V of 6600 V is 0.5 %: passes
    limits.voltageThd = 0.1;       // √(33² + 30²) / 6600 = 0.68 %: fails
    checkAgainstLimits(d.rows, &limits);
    EXPECT_EQ(row(d, "I1_h5").verdict, Verdict::Fail);
    EXPECT_EQ(row(d, "V_pct_h5").verdict, Verdict::Pass);
    EXPECT_EQ(row(d, "V_thd").verdict, Verdict::Fail);
    EXPECT_EQ(row(d, "V_h5").verdict, Verdict::None);
    const std::string csv = statisticsCsv(d);
    EXPECT_EQ(csv.rfind("series,unit,count,min,mean,max,cp95,limit,verdict\nV_h1,V,4,", 0), 0u);
    EXPECT_NE(csv.find("\nI1_h5,A,4,1,5.75,20,17.15,2,fail\n"), std::string::npos) << csv;
    const std::string html = reportHtml(d, {&limits, {}, {}});
    EXPECT_NE(html.find("<tr class=\"fail\"><td>I1_h5</td>"), std::string::npos);
    EXPECT_EQ(html.find("http-equiv"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool anyPartFile(const std::filesystem::path& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().find(".part-") != std::string::npos) return true;
    return false;
}

// A report that cannot be written leaves the earlier report and statistics as they were,
// and nothing half-written beside them.
TEST(Campaign, AReportThatCannotBeWrittenKeepsTheEarlierOne) {
    namespace fs = std::filesystem;
    ScratchFolder dir;
    writeRecords(dir.file("a.hm1"), 0, {33, 66}, {1, 2});
    const CampaignData d = readCampaign({dir.file("a.hm1")}, {});
    const fs::path out = dir / "report";
    writeReportFiles(out.string(), d, {nullptr, {}, "旧"});
    const std::string csv = readText((out / "statistics.csv").string());
    // A folder holding something takes the report's name, so the report cannot be written.
    fs::remove(out / "report.html");
    fs::create_directories(out / "report.html" / "kept");
    EXPECT_THROW(writeReportFiles(out.string(), d, {nullptr, {}, "新"}), OutputError);
    EXPECT_EQ(readText((out / "statistics.csv").string()), csv);
    EXPECT_TRUE(fs::exists(out / "report.html" / "kept"));
    EXPECT_FALSE(anyPartFile(out));
    EXPECT_EQ(existingReportFiles(out.string()).size(), 2u);
}

#ifndef _WIN32
// The program killed while it writes a report: the files of that name are the earlier
// report or the new one, whole, never a part.
TEST(Campaign, AReportKilledWhileWritingLeavesWholeFiles) {
    namespace fs = std::filesystem;
    ScratchFolder dir;
    writeRecords(dir.file("a.hm1"), 0, {33, 66, 99}, {1, 2, 3});
    const CampaignData d = readCampaign({dir.file("a.hm1")}, {});
    const fs::path out = dir / "report";
    writeReportFiles(out.string(), d, {nullptr, {}, "earlier"});
    const std::string earlier = readText((out / "report.html").string());
    const std::string csv = readText((out / "statistics.csv").string());
    const std::string later = reportHtml(d, {nullptr, {}, "later"});

    const pid_t pid = ::fork();
    if (pid == 0) {
        for (int i = 0; i < 100000; ++i) writeReportFiles(out.string(), d, {nullptr, {}, "later"});
        ::_exit(0);
    }
    bool caught = false;
    for (int i = 0; i < 2000000 && !caught; ++i) caught = anyPartFile(out);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(caught) << "the report was never seen being written";
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string html = readText((out / "report.html").string());
    EXPECT_TRUE(html == earlier || html == later) << html.size() << " bytes";
    EXPECT_EQ(readText((out / "statistics.csv").string()), csv);
}
#endif

TEST(Campaign, SpreadsheetCsvEndsLinesWithCrLfAndMarksUtf8OnlyWhenNeeded) {
    EXPECT_EQ(spreadsheetCsv("a,b\n1,2\n"), "a,b\r\n1,2\r\n");
    EXPECT_EQ(spreadsheetCsv("系統,V\n"), "\xEF\xBB\xBF系統,V\r\n");
}

TEST(Campaign, RefusesFilesOfAnotherKindOrWithoutTimeStamps) {
    ScratchFolder dir;
    writeRecords(dir.file("a.hm1"), 0, {1}, {1});
    std::filesystem::copy_file(dir.file("a.hm1"), dir.file("b.Rhm1"));
    EXPECT_THROW(readCampaign({dir.file("a.hm1"), dir.file("b.Rhm1")}, {}), InputError);
    EXPECT_THROW(readCampaign({dir.file("a.hm1"), dir.file("a.hm1")}, {}), InputError);
    std::ofstream(dir.file("zero.hm1"), std::ios::binary) << std::string(256, '\0');
    try {
        readCampaign({dir.file("zero.hm1")}, {});
        FAIL();
    } catch (const InputError& e) {
        EXPECT_NE(std::string(e.what()).find("no valid time stamp"), std::string::npos);
    }
}

TEST(Campaign, DumpAndTheCampaignRefuseThe31stOfAprilNamingTheFileAndRecord) {
    ScratchFolder dir;
    const std::string name = dir.file("april.hm1");
    writeRecords(name, 0, {1, 2, 3}, {1, 2, 3});
    const auto recordBytes = static_cast<long>(std::filesystem::file_size(name) / 3);
    {
        const float day = 240431;  // yymmdd of record 2
        std::fstream f(name, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(recordBytes);
        f.write(reinterpret_cast<const char*>(&day), sizeof day);
    }
    const std::string expected = name + ": record 2 has no valid time stamp (date field 240431";
    try {
        readCampaign({name}, {});
        ADD_FAILURE() << "the campaign read 31 April";
    } catch (const InputError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(expected, 0), 0u) << e.what();
    }
    const CliResult dump = runCli({"dump", name});
    EXPECT_EQ(dump.status, 2);
    EXPECT_NE(dump.output.find("waveharm-cli dump: " + expected), std::string::npos) << dump.output;
}

// ---- the report command -------------------------------------------------------

int run(const std::vector<std::string>& args) { return runCli(args).status; }

class ReportCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(WAVEHARM_CLI)) GTEST_SKIP() << "waveharm-cli not built";
    }
    std::string q(const std::string& name) const { return dir.file(name); }
    ScratchFolder dir;
};

TEST_F(ReportCommand, WritesStatisticsAndReportForDemoResults) {
    ASSERT_EQ(run({"demo", q("rec"), "--feeders", "2", "--count", "6", "--interval", "60",
                   "--start", "2024-02-29 23:58"}),
              0);
    std::filesystem::create_directories(dir.file("out"));
    ASSERT_EQ(run({"convert", q("rec"), "--output", q("out/site"), "--harmonics", "odd49",
                   "--feeders", "2", "--ct", "40"}),
              0);
    ASSERT_EQ(run({"report", q("out/site.hm2"), "--output", q("rep"), "--limits", "jp-6.6kv",
                   "--contract-kw", "2000"}),
              0);
    std::string csv = readText(dir.file("rep/statistics.csv"));
    EXPECT_EQ(csv.rfind("series,unit,count,min,mean,max,cp95,limit,verdict\r\nV_h1,V,", 0), 0u);
    std::erase(csv, '\r');
    std::istringstream lines(csv);
    std::string line;
    int count = 0, failing = 0;
    while (std::getline(lines, line)) {
        ++count;
        failing += line.ends_with(",fail");
    }
    // dump's 25 + 2 × 50 columns, V_pct_h3..h49, V_thd, I1_thd, I2_thd, and the header.
    EXPECT_EQ(count, 1 + 125 + 24 + 3);
    EXPECT_NE(csv.find("\nV_thd,%,6,"), std::string::npos);
    EXPECT_NE(csv.find("\nI2_h5,A,6,"), std::string::npos);
    EXPECT_GT(failing, 0);  // the demo feeders carry a strong 5th harmonic
    const std::string html = readText(dir.file("rep/report.html"));
    EXPECT_NE(html.find("高調波抑制対策ガイドライン"), std::string::npos);
    EXPECT_NE(html.find("2024/02/29 23:58"), std::string::npos);  // the demo's --start
    EXPECT_NE(html.find("2024/03/01 00:03"), std::string::npos);
    EXPECT_NE(html.find("<svg"), std::string::npos);
    EXPECT_EQ(html.find("src="), std::string::npos);  // nothing loaded from elsewhere

    // A second report into the same folder is refused, naming both files, unless asked.
    const std::vector<std::string> again{"report", q("out/site.hm2"), "--output",
                                         q("rep"), "--site",          "第二変電所"};
    const CliResult refused = runCli(again);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.output.find("report.html and "), std::string::npos) << refused.output;
    EXPECT_NE(refused.output.find("statistics.csv already exist"), std::string::npos)
        << refused.output;
    EXPECT_EQ(readText(dir.file("rep/report.html")), html);
    std::vector<std::string> overwrite = again;
    overwrite.push_back("--overwrite");
    ASSERT_EQ(run(overwrite), 0);
    EXPECT_NE(
        readText(dir.file("rep/report.html")).find("<h1>高調波測定結果レポート　第二変電所</h1>"),
        std::string::npos);
}

TEST_F(ReportCommand, DemoStartMustNameARealMinute) {
    for (const char* start : {"2023-02-29 10:00", "2024-05-01", "2024-05-01 24:00", "x"})
        EXPECT_EQ(run({"demo", q("rec"), "--start", start}), 2) << start;
    EXPECT_FALSE(std::filesystem::exists(dir.file("rec")));
}

TEST_F(ReportCommand, BadLimitsOrOptionsExitWith2AndWriteNothing) {
    writeRecords(dir.file("a.hm1"), 0, {33, 34}, {1, 2});
    std::ofstream(dir.file("bad.txt")) << "source: x\nI 5 -2 A\n";
    const std::vector<std::string> base{"report", q("a.hm1"), "--output", q("rep")};
    const auto with = [&](const std::vector<std::string>& options) {
        std::vector<std::string> args = base;
        args.insert(args.end(), options.begin(), options.end());
        return args;
    };
    for (const std::vector<std::string>& args :
         {with({"--limits", q("bad.txt")}), with(words("--limits nosuch")),
          with(words("--limits jp-6.6kv")), with(words("--limits jp-6.6kv --contract-kw -5")),
          with(words("--limits ieee519")), with(words("--contract-kw x")),
          with(words("--frobnicate")), with(words("--harmonics 12")),
          std::vector<std::string>{"report", q("a.hm1")},
          std::vector<std::string>{"report", q("missing.hm1"), "--output", q("rep")}}) {
        EXPECT_EQ(run(args), 2) << args.back();
        EXPECT_FALSE(std::filesystem::exists(dir.file("rep"))) << args.back();
    }
    EXPECT_EQ(run(with(words("--limits ieee519 --nominal-kv 6.6"))), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("rep/report.html")));
}

}  // namespace
}  // namespace waveharm
