#include "run/conversion_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "circuit_fixture.h"
#include "display/run_texts.h"
#include "display/status_texts.h"
#include "output/result_writer.h"
#include "support/scratch_folder.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using namespace waveharm::testing;

// Records every call in order as "kind:text", with the texts the screens make of it.
class Recorder : public ConversionObserver {
  public:
    std::vector<std::string> events;
    std::vector<RecordingReport> reports;
    std::vector<HarmonicResult> results;

    void onStage(RunStage s) override { events.push_back(std::string("status:") + stageText(s)); }
    void onHeaderRead(const RecorderFileHeader& h) override {
        events.push_back("time:" + startTimeText(h));
    }
    void onPeriodFound(const AnalysisPeriod& p) override {
        events.push_back("freq:" + frequencyText(p));
    }
    void onRecordingAnalysed(const RecordingReport& r) override {
        events.push_back("analysed:" + r.fileName);
        reports.push_back(r);
        // The report's pointers last until the next step: keep what the tests read.
        results.push_back(*r.result);
        reports.back().result = nullptr;
        reports.back().window = nullptr;
        reports.back().recording = nullptr;
    }
    void onRecordingSkipped(const SkippedRecording& s) override {
        events.push_back("skipped:" + s.fileName);
        reasons.push_back(s.reason);
    }
    void onRecordWritten(DateTime stamp) override {
        events.push_back("record:" + recordStampText(stamp));
    }
    bool showsRecordings() const override { return shows; }
    std::vector<std::string> reasons;
    bool shows = true;

    bool saw(const std::string& event) const {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
};

class DriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_settings.setHarmonicOption(HarmonicOption::Odd1To49);
        m_settings.outputFileName = (m_dir / "result.hm1").string();
    }

    void add(const std::string& name, const RecordingContent& content) {
        writeRecording(m_dir / name, content);
        m_files.names.push_back(name);
        m_files.startTimes.push_back(DateTime::fromCivil(content.start));
    }
    void addGarbage(const std::string& name) {
        std::ofstream(m_dir / name, std::ios::binary) << "not a recording";
        m_files.names.push_back(name);
        m_files.startTimes.push_back(DateTime{});
    }
    RecordingContent circuitAt(CivilDateTime t) const {
        return recordingOf(channelsFor(Circuit{}, m_settings.measurementType), t);
    }
    ConversionSummary run(Recorder& recorder) {
        m_files.folder = m_dir;
        ConversionDriver driver(m_settings, m_files, recorder);
        driver.start();
        while (driver.step()) {
        }
        driver.finish();
        return driver.summary();
    }
    std::uintmax_t resultSize() const { return fs::file_size(m_settings.outputFileName); }

    testing::ScratchFolder m_scratch;
    const fs::path m_dir = m_scratch.path();
    ConversionSettings m_settings;
    WaveformFileList m_files;
};

TEST_F(DriverTest, ReportsEveryTextInOrderAndSkipsUnreadableRecordings) {
    add("A.MEM", circuitAt({2018, 12, 12, 10, 15, 10}));
    addGarbage("B.MEM");
    add("C.MEM", circuitAt({2018, 12, 12, 10, 15, 50}));
    Recorder recorder;
    const ConversionSummary summary = run(recorder);

    const std::vector<std::string> first(recorder.events.begin(), recorder.events.begin() + 9);
    ASSERT_EQ(first.size(), 9u);
    EXPECT_EQ(first[0], "status:データ読み込み中");
    EXPECT_EQ(first[1], "time:18/12/12(水)  10:15:10");
    EXPECT_EQ(first[2], "status:周波数確認中");
    EXPECT_EQ(first[3], "freq:基本周波数 50.00Hz");
    EXPECT_EQ(first[4], "status:ＦＦＴ演算中");
    EXPECT_EQ(first[5], "status:各種演算中");
    EXPECT_EQ(first[6], "status:データ表示中");
    EXPECT_EQ(first[7], "analysed:A.MEM");
    EXPECT_EQ(first[8], "record:18/12/12(水)  10:15");
    EXPECT_EQ(recorder.events[9], "status:データ読み込み中");
    EXPECT_EQ(recorder.events[10], "skipped:B.MEM");
    ASSERT_EQ(recorder.reasons.size(), 1u);
    EXPECT_NE(recorder.reasons[0].find("shorter than a recorder header"), std::string::npos)
        << recorder.reasons[0];
    EXPECT_FALSE(recorder.saw("status:レンジオーバー"));

    // C shares A's minute: it waits in the interval and is written at the end of the
    // run as a last record stamped with its own minute.
    EXPECT_EQ(recorder.events.back(), "record:18/12/12(水)  10:15");
    EXPECT_EQ(summary.analysed, 2);
    EXPECT_EQ(summary.skipped, 1);
    ASSERT_EQ(summary.skippedRecordings.size(), 1u);
    EXPECT_EQ(summary.skippedRecordings[0].index, 1);
    EXPECT_EQ(summary.skippedRecordings[0].fileName, "B.MEM");
    EXPECT_EQ(summary.skippedRecordings[0].reason, recorder.reasons[0]);
    EXPECT_EQ(summary.recordsWritten, 2);
    ASSERT_EQ(summary.files.size(), 1u);
    EXPECT_EQ(resultSize(), 2u * 256u);
}

TEST_F(DriverTest, StatusLineShowsTheCircuitsFundamentalValues) {
    m_settings.ctRatio[0] = 100;
    add("A.MEM", circuitAt({2018, 12, 12, 10, 15, 10}));
    Recorder recorder;
    run(recorder);
    ASSERT_EQ(recorder.reports.size(), 1u);
    const RecordingReport& r = recorder.reports[0];
    EXPECT_FALSE(r.period.fixed);
    EXPECT_NEAR(r.period.frequencyHz, 50, 0.005);
    // Line voltage √3·700 counts peak, current 600 counts peak, through PT 60 and CT 100
    // over a 0.1 V/A sensor; three-phase power 3·Vphase·I·cos(25°), current lagging.
    const double v1 = std::sqrt(3.0) * 700 / std::sqrt(2.0) * kVoltsPerCount * 60;
    const double i1 = 600 / std::sqrt(2.0) * kCurrentVoltsPerCount * 100 / 0.1;
    const double vPhase = 700 / std::sqrt(2.0) * kVoltsPerCount * 60;
    const double p1 = 3 * vPhase * i1 * std::cos(25 * kPi / 180);
    const HarmonicResult& result = recorder.results[0];
    EXPECT_NEAR(result.voltageRms[1], v1, v1 * 1e-3);
    EXPECT_NEAR(result.currentRms(0, 1), i1, i1 * 1e-3);
    EXPECT_NEAR(result.activePower(0, 1), p1, p1 * 2e-3);
    EXPECT_NEAR(result.phaseAngleDeg(0, 1), -25, 0.3);
    const std::string line = statusLineText(result, 0, r.period);
    EXPECT_NE(line.find("θ=-25ﾟ"), std::string::npos) << line;
    EXPECT_NE(line.find("MW; "), std::string::npos) << line;
    EXPECT_TRUE(line.ends_with(":周波数=50.00Hz")) << line;
}

TEST_F(DriverTest, RangeOverAboveTwoThousandFortySixCountsOnly) {
    for (const int peak : {2046, 2047}) {
        m_files = {};
        RecordingContent content = circuitAt({2018, 12, 12, 10, 15, 10});
        content.channels[3].tones.clear();
        content.channels[3].offset = peak;  // the T current sits at the peak throughout
        add(peak == 2046 ? "in.MEM" : "over.MEM", content);
        Recorder recorder;
        const ConversionSummary summary = run(recorder);
        EXPECT_EQ(recorder.saw("status:レンジオーバー"), peak == 2047) << peak;
        ASSERT_EQ(recorder.reports.size(), 1u) << "analysed and written either way";
        EXPECT_EQ(recorder.reports[0].rangeOver, peak == 2047);
        EXPECT_EQ(summary.rangeOver, peak == 2047 ? 1 : 0);
        EXPECT_EQ(summary.recordsWritten, 1);
    }
}

TEST_F(DriverTest, DeadVoltageChannelIsSkippedAndTheLastGoodResultStays) {
    add("A.MEM", circuitAt({2018, 12, 12, 10, 15, 10}));
    RecordingContent dead = circuitAt({2018, 12, 12, 10, 16, 10});
    dead.channels[0].tones.clear();
    dead.channels[1].tones.clear();
    add("B.MEM", dead);
    m_files.folder = m_dir;
    Recorder recorder;
    ConversionDriver driver(m_settings, m_files, recorder);
    driver.start();
    while (driver.step()) {
    }
    EXPECT_TRUE(recorder.saw("skipped:B.MEM"));
    ASSERT_TRUE(driver.hasResult());
    EXPECT_EQ(driver.latestRecording().header.timeText(), "10:15:10");
    EXPECT_GT(driver.latestResult().voltageRms[1], 1000);
    driver.finish();
    EXPECT_EQ(driver.summary().recordsWritten, 1);
    EXPECT_EQ(resultSize(), 256u);
}

TEST_F(DriverTest, TimeOffsetMovesTheStampsAndTheRecordMinutes) {
    m_settings.timeOffsetHours = -9.5;
    add("A.MEM", circuitAt({2018, 12, 12, 10, 15, 10}));
    add("B.MEM", circuitAt({2018, 12, 12, 10, 16, 10}));
    Recorder recorder;
    run(recorder);
    EXPECT_TRUE(recorder.saw("time:18/12/12(水)  00:45:10"));
    EXPECT_TRUE(recorder.saw("record:18/12/12(水)  00:45"));
    EXPECT_TRUE(recorder.saw("record:18/12/12(水)  00:46"));
}

TEST_F(DriverTest, AbortDropsTheIntervalInProgressButKeepsWrittenRecords) {
    add("A.MEM", circuitAt({2018, 12, 12, 10, 15, 10}));
    add("B.MEM", circuitAt({2018, 12, 12, 10, 15, 40}));
    m_files.folder = m_dir;
    Recorder recorder;
    ConversionDriver driver(m_settings, m_files, recorder);
    driver.start();
    EXPECT_TRUE(driver.step());
    EXPECT_TRUE(driver.step());
    EXPECT_FALSE(driver.step());
    EXPECT_TRUE(driver.done());
    driver.abort();
    EXPECT_EQ(resultSize(), 256u);
}

TEST_F(DriverTest, UnwritableResultFileStopsTheRunAtStart) {
    add("A.MEM", circuitAt({2018, 12, 12, 10, 15, 10}));
    m_settings.outputFileName = (m_dir / "missing" / "result.hm1").string();
    m_files.folder = m_dir;
    Recorder recorder;
    ConversionDriver driver(m_settings, m_files, recorder);
    EXPECT_THROW(driver.start(), OutputError);
}

TEST_F(DriverTest, AnyNumberOfJobsAndAQuietRunWriteTheSameFiles) {
    // Records over several minutes, an unreadable file, a dead voltage channel and a
    // crossing far from the trigger point (the whole table reread) among them.
    for (int i = 0; i < 14; ++i) {
        const std::string name = "R" + std::to_string(10 + i) + ".MEM";
        if (i == 3) {
            addGarbage(name);
            continue;
        }
        RecordingContent content = circuitAt({2018, 12, 12, 10, 15 + i / 3, 20 * (i % 3)});
        content.noiseSeed = static_cast<std::uint32_t>(i + 1);
        if (i == 7) {
            content.channels[0].tones.clear();
            content.channels[1].tones.clear();
        }
        if (i == 10) content.pretriggerPercent = 90;
        add(name, content);
    }
    m_files.folder = m_dir;
    std::vector<std::string> firstEvents, firstFile;
    std::vector<HarmonicResult> firstResults;
    // The last run shows no recording: no screen-only angles.
    for (const int jobs : {1, 2, 3, -2}) {
        Recorder recorder;
        recorder.shows = jobs > 0;
        ConversionDriver driver(m_settings, m_files, recorder, std::abs(jobs));
        driver.start();
        while (driver.step()) {
        }
        driver.finish();
        EXPECT_EQ(driver.summary().skipped, 2) << jobs;
        // The first recording's record, one as each of minutes 16 to 19 begins, the last
        // interval at the end.
        EXPECT_EQ(driver.summary().recordsWritten, 6) << jobs;
        std::ifstream in(m_settings.outputFileName, std::ios::binary);
        std::vector<std::string> file{std::string(std::istreambuf_iterator<char>(in), {})};
        if (jobs == 1) {
            firstEvents = recorder.events;
            firstFile = file;
            firstResults = recorder.results;
            continue;
        }
        EXPECT_EQ(file, firstFile) << jobs << " jobs";
        EXPECT_EQ(recorder.events, firstEvents) << jobs << " jobs";
        if (jobs > 0) continue;
        ASSERT_EQ(recorder.results.size(), firstResults.size());
        for (std::size_t i = 0; i < firstResults.size(); ++i) {
            const HarmonicResult &quiet = recorder.results[i], &full = firstResults[i];
            EXPECT_EQ(quiet.activePower(0, 5), full.activePower(0, 5));
            EXPECT_EQ(quiet.currentRefY(0, 5), full.currentRefY(0, 5));
            EXPECT_NE(full.phaseAngleDeg(0, 1), 0.0f);
            EXPECT_EQ(quiet.phaseAngleDeg(0, 1), 0.0f);
            EXPECT_EQ(quiet.currentRefAngleDeg(0, 5), 0);
        }
    }
    EXPECT_NE(std::find(firstEvents.begin(), firstEvents.end(), "skipped:R13.MEM"),
              firstEvents.end());
    EXPECT_NE(std::find(firstEvents.begin(), firstEvents.end(), "skipped:R17.MEM"),
              firstEvents.end());
}

TEST_F(DriverTest, RunDroppedMidwayStopsItsWorkers) {
    for (int i = 0; i < 8; ++i)
        add("R" + std::to_string(i) + ".MEM", circuitAt({2018, 12, 12, 10, 15 + i, 10}));
    m_files.folder = m_dir;
    Recorder recorder;
    {
        ConversionDriver driver(m_settings, m_files, recorder, 3);
        driver.start();
        EXPECT_TRUE(driver.step());
        driver.abort();
    }
    EXPECT_EQ(recorder.reports.size(), 1u);
    EXPECT_EQ(resultSize(), 256u);
}

TEST(DriverTexts, RangeOverLooksAtTheVoltagePairAndTheMeasuredFeedersOnly) {
    std::array<std::int16_t, 21> peaks{};
    peaks.fill(2046);
    EXPECT_FALSE(isRangeOver(peaks, 9));
    peaks[1] = 2047;  // T-S voltage
    EXPECT_TRUE(isRangeOver(peaks, 1));
    peaks[1] = -3000;
    peaks[5] = 2047;  // feeder 2's T current
    EXPECT_FALSE(isRangeOver(peaks, 1));
    EXPECT_TRUE(isRangeOver(peaks, 2));
}

}  // namespace
}  // namespace waveharm
