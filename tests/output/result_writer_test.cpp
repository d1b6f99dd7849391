#include "output/result_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>

#include "output/result_reader.h"
#include "output_test_support.h"

#ifdef __linux__
#include <sys/resource.h>

#include <csignal>
#endif

namespace waveharm {
namespace {

using testing::at;
using testing::fileBytes;
using testing::intervalFor;
using testing::resultFor;
using testing::ScratchFolder;
using testing::settingsFor;

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
    HarmonicResult latest = resultFor(kOdd, 1);

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
    ASSERT_TRUE(w->offer(at(2018, 12, 12, 9, 5, 30), iv, latest));
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

TEST_F(SingleFileWriterTest, MinuteStampsAndAverageOverTwoRecordings) {
    auto w = ResultWriter::open(settingsFor(k2M, kOdd, 1, name));
    addRecording(iv, 100);
    EXPECT_TRUE(w->offer(at(2018, 12, 12, 10, 15, 10), iv, latest));
    addRecording(iv, 110);
    EXPECT_FALSE(w->offer(at(2018, 12, 12, 10, 15, 50), iv, latest));
    addRecording(iv, 130);
    EXPECT_TRUE(w->offer(at(2018, 12, 12, 10, 16, 5), iv, latest));
    w->close();

    const auto r = records();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].timeField, 1015);
    EXPECT_FLOAT_EQ(r[0].voltageRms[0], 100);
    EXPECT_EQ(r[1].timeField, 1016);
    EXPECT_FLOAT_EQ(r[1].voltageRms[0], 120);  // (110 + 130) / 2
    EXPECT_EQ(w->recordsWritten(), 2);
}

TEST_F(SingleFileWriterTest, UnderOneMinuteWritesEveryRecording) {
    auto s = settingsFor(k2M, kOdd, 1, name);
    s.outputUnderOneMinute = true;
    auto w = ResultWriter::open(s);
    addRecording(iv, 100);
    EXPECT_TRUE(w->offer(at(2018, 12, 12, 10, 15, 10), iv, latest));
    addRecording(iv, 110);
    EXPECT_TRUE(w->offer(at(2018, 12, 12, 10, 15, 50), iv, latest));
    w->close();
    const auto r = records();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].timeField, 1015);
    EXPECT_EQ(r[1].timeField, 1015);
    EXPECT_FLOAT_EQ(r[1].voltageRms[0], 110);
}

TEST_F(SingleFileWriterTest, EmptyIntervalWritesNothingAndKeepsTheStamp) {
    auto w = ResultWriter::open(settingsFor(k2M, kOdd, 1, name));
    addRecording(iv, 100);
    EXPECT_TRUE(w->offer(at(2018, 12, 12, 10, 15, 10), iv, latest));
    // A new minute with no recording taken: no record, no division by zero.
    EXPECT_FALSE(w->offer(at(2018, 12, 12, 10, 16, 5), iv, latest));
    addRecording(iv, 90);
    EXPECT_TRUE(w->offer(at(2018, 12, 12, 10, 16, 40), iv, latest));
    w->close();
    const auto r = records();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].timeField, 1016);
    EXPECT_FLOAT_EQ(r[1].voltageRms[0], 90);
}

TEST_F(SingleFileWriterTest, FlushPendingWritesTheLastInterval) {
    auto w = ResultWriter::open(settingsFor(k2M, kOdd, 1, name));
    addRecording(iv, 100);
    EXPECT_TRUE(w->offer(at(2005, 1, 2, 23, 59, 1), iv, latest));
    addRecording(iv, 104);
    EXPECT_FALSE(w->offer(at(2005, 1, 2, 23, 59, 40), iv, latest));
    EXPECT_TRUE(w->flushPending(at(2005, 1, 2, 23, 59, 40), iv, latest));
    EXPECT_FALSE(w->flushPending(at(2005, 1, 2, 23, 59, 40), iv, latest));
    w->close();
    w->close();  // idempotent
    const auto r = records();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].dateField, 50102.0f);  // the year keeps no leading zero
    EXPECT_EQ(r[1].timeField, 2359);
    EXPECT_FLOAT_EQ(r[1].voltageRms[0], 104);
}

TEST_F(SingleFileWriterTest, OpeningTruncatesALongerFile) {
    std::ofstream(name, std::ios::binary) << std::string(1000, '\xAA');
    auto w = ResultWriter::open(settingsFor(k2M, kOdd, 1, name));
    addRecording(iv, 100);
    w->offer(at(2018, 12, 12, 10, 15, 10), iv, latest);
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
    ASSERT_TRUE(w->offer(at(2018, 12, 12, 10, 15, 10), iv, latest));
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
    HarmonicResult latest = resultFor(kOdd, 1);
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
        w->offer(at(2018, 12, 12, 10, 15, 10), iv, latest);
        ADD_FAILURE() << "a write to a full device reported success";
    } catch (const OutputError& e) {
        EXPECT_EQ(e.file(), "/dev/full");
        EXPECT_NE(e.reason().find("No space"), std::string::npos) << e.reason();
    }
    EXPECT_EQ(w->recordsWritten(), 0);
    EXPECT_EQ(iv.intervalState, 1);  // the interval is not lost to a failed write
    EXPECT_THROW(w->flushPending(at(2018, 12, 12, 10, 16, 0), iv, latest), OutputError);
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
    const bool first = w->offer(at(2018, 12, 12, 10, 15, 10), iv, latest);
    addRecording(iv, 100);
    EXPECT_THROW(w->offer(at(2018, 12, 12, 10, 16, 10), iv, latest), OutputError);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(first);
    EXPECT_EQ(fileBytes(name).size(), 256u);
}
#endif

class PhaseFileWriterTest : public ::testing::Test {
protected:
    ScratchFolder dir;
};

TEST_F(PhaseFileWriterTest, ThreeFilesFromPhaseReferencedSums) {
    const auto option = HarmonicOption::WithAngleAndUnbalance;
    const std::string name = dir.file("feb.hv2");
    auto w = ResultWriter::open(settingsFor(k3M, option, 2, name));
    EXPECT_EQ(w->fileNames(), (std::vector<std::string>{dir.file("feb.Rhv2"), dir.file("feb.Thv2"),
                                                        dir.file("feb.Shv2")}));
    auto iv = intervalFor(option, 2);
    auto latest = resultFor(option, 2);
    // Two recordings summed: phase p voltage (6p+6, 8p+8) → magnitude 5(p+1) after /2;
    // feeder 1 current along the voltage turned by −30°.
    for (int p = 0; p < 3; ++p) {
        iv.voltagePhasorRe(p, 1) = 6.0f * (p + 1);
        iv.voltagePhasorIm(p, 1) = 8.0f * (p + 1);
        const double a = std::atan2(8.0, 6.0) - 30 * std::numbers::pi / 180;
        iv.currentPhasorRe(1, p, 1) = static_cast<float>(4 * std::cos(a));
        iv.currentPhasorIm(1, p, 1) = static_cast<float>(4 * std::sin(a));
        // The latest recording's own phasor gives the phase angle row: (Im, Re) = (0, 1).
        latest.voltageHarmonicRe(p, 1) = 1;
        latest.voltageHarmonicRe(p + 3, 1) = 99;  // never read by the writer
    }
    iv.voltageRmsByPhase = {2, 2, 2};
    iv.intervalState = 2;
    ASSERT_TRUE(w->offer(at(2018, 12, 12, 10, 15, 10), iv, latest));
    w->close();
    EXPECT_EQ(iv.voltagePhasorRe(0, 1), 0.0f);  // the sums start again per interval

    for (int p = 0; p < 3; ++p) {
        const auto file = readResultFile(w->fileNames()[p]);
        EXPECT_EQ(file.layout.phase, "RTS"[p]);
        ASSERT_EQ(file.records.size(), 1u);
        const ResultRecord& r = file.records[0];
        EXPECT_FLOAT_EQ(r.voltageRms[0], 5.0f * (p + 1));
        EXPECT_FLOAT_EQ(r.currentRms[1][0], 2.0f);
        EXPECT_EQ(r.currentAngleDeg[1][0], 30);
        EXPECT_EQ(r.currentAngleDeg[0][0], 0);
        EXPECT_EQ(r.voltageAngleDeg[0], 90);
        EXPECT_FLOAT_EQ(r.voltageRmsByPhase[2], 1.0f);
    }
}

}  // namespace
}  // namespace waveharm
