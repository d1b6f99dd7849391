// A run as the engineer controls it, without a screen: the wait and the pause decide
// when the next recording is due, "終了" and faults end the run with their reason.

#include "run/run_controller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "circuit_fixture.h"
#include "output/result_writer.h"
#include "support/scratch_folder.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace waveharm::testing;

class RunControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_settings.setHarmonicOption(HarmonicOption::Odd1To49);
        m_settings.outputFileName = (m_dir / "result.hm1").string();
        m_files.folder = m_dir;
    }
    /// Recordings one minute apart; `garbage` lists the positions that do not read.
    void addRecordings(int count, std::initializer_list<int> garbage = {}) {
        for (int i = 0; i < count; ++i) {
            const std::string name = "W" + std::to_string(1000 + i) + ".MEM";
            if (std::find(garbage.begin(), garbage.end(), i) != garbage.end()) {
                std::ofstream(m_dir / name, std::ios::binary) << "not a recording";
            } else {
                writeRecording(m_dir / name,
                               recordingOf(channelsFor(Circuit{}, m_settings.measurementType),
                                           {2018, 12, 12, 10, i, 10}));
            }
            m_files.names.push_back(name);
            m_files.startTimes.push_back(DateTime::fromCivil({2018, 12, 12, 10, i, 10}));
        }
    }
    RunController makeRun() {
        return RunController(m_settings, m_files, m_observer, 1, [this] { return m_now; });
    }

    testing::ScratchFolder m_scratch;
    const fs::path m_dir = m_scratch.path();
    ConversionSettings m_settings;
    WaveformFileList m_files;
    ConversionObserver m_observer;
    std::chrono::steady_clock::time_point m_now{};
};

TEST_F(RunControllerTest, WaitAndPauseDecideWhenTheNextRecordingIsDue) {
    addRecordings(3);
    RunController run = makeRun();
    run.setPaused(true);  // pressed before the start: held from the first recording
    EXPECT_EQ(run.state(), RunState::Ready);
    EXPECT_EQ(run.nextStepIn(), std::nullopt);
    run.start();
    EXPECT_EQ(run.state(), RunState::Paused);
    EXPECT_EQ(run.step(), std::nullopt);
    EXPECT_EQ(run.processedCount(), 0);
    run.setPaused(false);
    run.setWait(true);
    run.setWaitInterval(300ms);
    EXPECT_EQ(run.nextStepIn(), 0ms);
    EXPECT_EQ(run.step(), 0);
    EXPECT_EQ(run.activeTime(), 0ms);

    // The next recording starts a wait period after the previous one started.
    m_now += 100ms;
    EXPECT_EQ(run.nextStepIn(), 200ms);
    EXPECT_EQ(run.step(), std::nullopt);
    EXPECT_EQ(run.processedCount(), 1);
    m_now += 200ms;
    EXPECT_EQ(run.step(), 1);
    // Two of three recordings in 300 ms of running; a hold does not count.
    run.setPaused(true);
    m_now += 5000ms;
    run.setPaused(false);
    EXPECT_EQ(run.activeTime(), 300ms);
    EXPECT_EQ(run.timeLeft(), 150ms);
    run.setWait(false);
    EXPECT_EQ(run.step(), 2);
    EXPECT_EQ(run.state(), RunState::Running);

    // The step after the last recording finishes the run.
    EXPECT_EQ(run.step(), std::nullopt);
    EXPECT_EQ(run.endReason(), RunEnd::Finished);
    EXPECT_EQ(run.summary().analysed, run.recordingCount());
    EXPECT_EQ(run.nextStepIn(), std::nullopt);
    EXPECT_FALSE(run.failure());
}

// "終了" keeps the records written so far and drops the interval in progress; nothing
// the engineer presses afterwards changes the ended run.
TEST_F(RunControllerTest, EndingKeepsTheRecordsWrittenAndTheRunStaysEnded) {
    addRecordings(4, {1});
    RunController run = makeRun();
    run.start();
    EXPECT_TRUE(run.underway());
    for (int i = 0; i < 3; ++i) run.step();
    ASSERT_EQ(run.skipped().size(), 1u);
    EXPECT_EQ(run.skipped()[0].fileName, "W1001.MEM");
    const int written = run.summary().recordsWritten;
    ASSERT_GE(written, 1);

    run.end();
    EXPECT_EQ(run.endReason(), RunEnd::Ended);
    EXPECT_FALSE(run.underway());
    EXPECT_EQ(fs::file_size(m_settings.outputFileName),
              static_cast<std::uintmax_t>(written) * recordLength(HarmonicOption::Odd1To49, 1));
    run.setPaused(true);
    run.start();
    EXPECT_EQ(run.step(), std::nullopt);
    EXPECT_EQ(run.state(), RunState::Ended);
    EXPECT_FALSE(run.paused());
    EXPECT_EQ(run.processedCount(), 3);
}

TEST_F(RunControllerTest, AResultFileThatCannotBeOpenedStopsTheRunWithItsReason) {
    addRecordings(1);
    m_settings.outputFileName = (m_dir / "missing" / "result.hm1").string();
    RunController run = makeRun();
    run.start();
    EXPECT_EQ(run.endReason(), RunEnd::Stopped);
    ASSERT_TRUE(run.failure());
    EXPECT_EQ(run.failure()->fault, RunFault::OpeningFiles);
    EXPECT_THROW(std::rethrow_exception(run.failure()->error), OutputError);
    EXPECT_EQ(run.nextStepIn(), std::nullopt);
}

}  // namespace
}  // namespace waveharm
