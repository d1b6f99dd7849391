#include "output/result_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "output/result_reader.h"
#include "output_test_support.h"
#include "support/result_records.h"

#ifdef __linux__
#include <sys/resource.h>

#include <csignal>
#endif

namespace waveharm {
namespace {

using namespace waveharm::testing;

constexpr auto kOdd = HarmonicOption::Odd1To49;
constexpr auto k2M = MeasurementType::ThreePhase2M;
constexpr auto k3M = MeasurementType::ThreePhase3M;

// One recording folded into an average interval: the fundamental and third voltage.
void addRecording(IntervalAggregate& iv, float v1, float v3 = 0) {
    iv.voltageRms[1] += v1;
    iv.voltageRms[3] += v3;
    ++iv.intervalState;
}

class SingleFileWriterTest : public ::testing::Test {
  protected:
    ScratchFolder dir;
    std::string name = dir.file("day1.hm1");
    IntervalAggregate iv = intervalFor(kOdd, 1);

    std::vector<ResultRecord> records() { return readResultFile(name).records; }
};

TEST_F(SingleFileWriterTest, GoldenBytesOfASmallRecord) {
    auto w = ResultWriter::open(settingsFor(k2M, kOdd, 1, name));
    iv.voltageRms[1] = 200;    // q = 100.0f = 0x42C80000
    iv.voltageRms[3] = 5;      // q = 2.5f   = 0x40200000
    iv.currentRms(0, 1) = 20;  // q = 10.0f  = 0x41200000
    iv.activePower(0, 1) = 1;  // angle of (1, 1) = 45
    iv.reactivePower(0, 1) = 1;
    iv.activePower(0, 3) = -1;  // angle of (-1, 0) = +180
    iv.intervalState = 2;
    ASSERT_TRUE(w->offer(at(2018, 12, 12, 9, 5, 30), iv));
    w->close();

    std::vector<unsigned char> expected(256, 0);
    const unsigned char date[] = {0x00, 0xF7, 0x30, 0x48};  // 181212.0f = 0x4830F700
    std::memcpy(&expected[0], date, 4);
    expected[4] = 0x89, expected[5] = 0x03;      // 905
    expected[8] = 0xC8, expected[9] = 0x42;      // V h1
    expected[12] = 0x20, expected[13] = 0x40;    // V h3
    expected[108] = 0x20, expected[109] = 0x41;  // I h1
    expected[206] = 45;                          // angle h1
    expected[208] = 180;                         // angle h3
    EXPECT_EQ(fileBytes(name), expected);
    EXPECT_EQ(iv.intervalState, 0);  // the interval is cleared
    EXPECT_EQ(iv.voltageRms[1], 0.0f);
}

// One step of a run: a recording at a time (its fundamental voltage added to an
// average interval, or none for an interval that took no recording), or the end of run.
struct Step {
    int minute, second;
    float v1;  // 0: no recording taken
    bool written;
    bool endOfRun = false;
};

struct Scenario {
    const char* what;
    bool underOneMinute;
    std::vector<Step> steps;
    std::vector<std::pair<int, float>> records;  // time field, fundamental voltage
};

TEST_F(SingleFileWriterTest, MinuteStampScenarios) {
    const Scenario scenarios[] = {
        {"minute change; average over two recordings",
         false,
         {{15, 10, 100, true}, {15, 50, 110, false}, {16, 5, 130, true}},
         {{1015, 100}, {1016, 120}}},
        {"under one minute",
         true,
         {{15, 10, 100, true}, {15, 50, 110, true}},
         {{1015, 100}, {1015, 110}}},
        {"empty interval keeps the stamp",
         false,
         {{15, 10, 100, true}, {16, 5, 0, false}, {16, 40, 90, true}},
         {{1015, 100}, {1016, 90}}},
        {"end of run writes the pending interval once",
         false,
         {{59, 1, 100, true},
          {59, 40, 104, false},
          {59, 40, 0, true, true},
          {59, 40, 0, false, true}},
         {{1059, 100}, {1059, 104}}},
    };
    for (const Scenario& sc : scenarios) {
        SCOPED_TRACE(sc.what);
        auto s = settingsFor(k2M, kOdd, 1, name);
        s.outputUnderOneMinute = sc.underOneMinute;
        auto w = ResultWriter::open(s);
        for (const Step& st : sc.steps) {
            const DateTime t = at(2005, 1, 2, 10, st.minute, st.second);
            if (st.v1 > 0) addRecording(iv, st.v1);
            const bool written = st.endOfRun ? w->flushPending(t, iv) : w->offer(t, iv);
            EXPECT_EQ(written, st.written) << st.minute << ":" << st.second;
        }
        w->close();
        w->close();  // closing twice is harmless
        const auto r = records();
        ASSERT_EQ(r.size(), sc.records.size());
        for (std::size_t i = 0; i < r.size(); ++i) {
            EXPECT_EQ(r[i].dateField, 50102.0f);  // the year keeps no leading zero
            EXPECT_EQ(r[i].timeField, sc.records[i].first);
            EXPECT_FLOAT_EQ(r[i].voltageRms[0], sc.records[i].second);
        }
        EXPECT_EQ(w->recordsWritten(), static_cast<int>(sc.records.size()));
        iv.clear();
    }
}

TEST_F(SingleFileWriterTest, EachRecordIsInTheFileAsSoonAsItsIntervalCompletes) {
    auto w = ResultWriter::open(settingsFor(k2M, kOdd, 1, name));
    addRecording(iv, 100);
    ASSERT_TRUE(w->offer(at(2018, 12, 12, 10, 15, 10), iv));
    // Read by another reader while the run goes on: nothing waits in a buffer.
    EXPECT_EQ(fileBytes(name).size(), 256u);
    addRecording(iv, 101);
    ASSERT_TRUE(w->offer(at(2018, 12, 12, 10, 16, 10), iv));
    EXPECT_EQ(fileBytes(name).size(), 512u);
    w->close();
    w->close();  // a second close (stop after the end of a run) does nothing
    EXPECT_EQ(records().size(), 2u);
}

TEST_F(SingleFileWriterTest, OpeningTruncatesALongerFile) {
    std::ofstream(name, std::ios::binary) << std::string(1000, '\xAA');
    auto w = ResultWriter::open(settingsFor(k2M, kOdd, 1, name));
    addRecording(iv, 100);
    w->offer(at(2018, 12, 12, 10, 15, 10), iv);
    w->close();
    EXPECT_EQ(fileBytes(name).size(), 256u);
}

TEST_F(SingleFileWriterTest, UnbalanceRowsEndWithCurrentsInPhaseOrder021) {
    name = dir.file("u.ha5");
    auto w = ResultWriter::open(settingsFor(k2M, HarmonicOption::WithUnbalance, 2, name));
    iv = intervalFor(HarmonicOption::WithUnbalance, 2);
    iv.voltageRmsByPhase = {2, 4, 6};
    for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 3; ++j) iv.currentRmsByPhase(j, k) = 2.0f * (10 * (k + 1) + j);
    iv.intervalState = 2;
    ASSERT_TRUE(w->offer(at(2018, 12, 12, 10, 15, 10), iv));
    w->close();
    const auto bytes = fileBytes(name);
    ASSERT_EQ(bytes.size(), 118u + 162u * 2);
    float tail[9];
    std::memcpy(tail, bytes.data() + bytes.size() - sizeof tail, sizeof tail);
    const float expected[9] = {1, 2, 3, 10, 12, 11, 20, 22, 21};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(tail[i], expected[i]) << "value " << i;
}

class OutputFaultTest : public ::testing::Test {
  protected:
    ScratchFolder dir;
    IntervalAggregate iv = intervalFor(kOdd, 1);
};

TEST_F(OutputFaultTest, UnopenableNamesRaiseOutputErrorNamingTheFile) {
    std::filesystem::create_directories(dir.file("taken.hm1"));
    for (const std::string& name : {dir.file("taken.hm1"), dir.file("missing/out.hm1")}) {
        try {
            ResultWriter::open(settingsFor(k2M, kOdd, 1, name));
            ADD_FAILURE() << "opened " << name;
        } catch (const OutputError& e) {
            EXPECT_EQ(e.file(), name);
            EXPECT_NE(e.reason().find("cannot create"), std::string::npos) << e.reason();
        }
    }
    EXPECT_THROW(ResultWriter::open(settingsFor(k2M, kOdd, 1, "")), OutputError);
    // A per-phase set whose folder is missing fails as a whole.
    EXPECT_THROW(ResultWriter::open(settingsFor(k3M, kOdd, 1, dir.file("no/x.hm1"))), OutputError);
}

TEST_F(OutputFaultTest, FullDeviceFailsEveryWriteAndNeverReportsSuccess) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    auto w = ResultWriter::open(settingsFor(k2M, kOdd, 1, "/dev/full"));
    addRecording(iv, 100);
    try {
        w->offer(at(2018, 12, 12, 10, 15, 10), iv);
        ADD_FAILURE() << "a write to a full device reported success";
    } catch (const OutputError& e) {
        EXPECT_EQ(e.file(), "/dev/full");
        EXPECT_NE(e.reason().find("No space"), std::string::npos) << e.reason();
    }
    EXPECT_EQ(w->recordsWritten(), 0);
    EXPECT_EQ(iv.intervalState, 1);  // the interval is not lost to a failed write
    EXPECT_THROW(w->flushPending(at(2018, 12, 12, 10, 16, 0), iv), OutputError);
}

#ifdef __linux__
TEST_F(OutputFaultTest, AFailedRecordLeavesOnlyWholeRecords) {
    // A file size limit of 300 bytes lets the second 256-byte record half through.
    const std::string name = dir.file("limit.hm1");
    auto w = ResultWriter::open(settingsFor(k2M, kOdd, 1, name));
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 300;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    addRecording(iv, 100);
    const bool first = w->offer(at(2018, 12, 12, 10, 15, 10), iv);
    addRecording(iv, 100);
    EXPECT_THROW(w->offer(at(2018, 12, 12, 10, 16, 10), iv), OutputError);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(first);
    EXPECT_EQ(fileBytes(name).size(), 256u);
}
#endif

}  // namespace
}  // namespace waveharm
