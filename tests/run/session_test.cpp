// The settings screen's session without widgets: which recording a scan makes
// current, the ratio boxes of the group shown, the result file's name and folder, and
// what a start checks.

#include "run/session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "display/session_texts.h"
#include "engine/wiring_findings.h"
#include "input/recording_writer.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                ("waveharm_session_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void writeRecordings(int feeders, int count) {
        DemoOptions demo;
        demo.feeders = feeders;
        demo.count = count;
        writeDemoCampaign(m_dir, demo);
    }
    void writeFile(const std::string& name, const std::string& bytes) {
        std::ofstream(m_dir / name, std::ios::binary) << bytes;
    }

    fs::path m_dir;
    Session m_session;
};

TEST_F(SessionTest, ScanSkipsUnreadableFilesForTheFirstReadableRecording) {
    writeRecordings(2, 3);
    writeFile("AAA.MEM", "");                 // empty
    writeFile("AAB.MEM", "HW not a header");  // undated and unreadable
    m_session.scanFolder(m_dir);
    // The earliest recording keeps its dated header but loses its samples.
    const fs::path cut = m_dir / m_session.files().names[2];
    fs::resize_file(cut, 2048);
    m_session.scanFolder(m_dir);
    const WaveformFileList& files = m_session.files();
    ASSERT_EQ(files.count(), 5);
    EXPECT_EQ(files.startText(0), "-");
    EXPECT_EQ(files.names[2], cut.filename());
    EXPECT_EQ(m_session.currentFileName(), files.names[3]);
    ASSERT_NE(m_session.recording(), nullptr);
    EXPECT_FALSE(m_session.readError());
    EXPECT_EQ(files.firstStartText(), files.startText(2));
    // The files the scan could not date are told in Japanese with their names.
    ASSERT_EQ(m_session.scanNotes().size(), 2u);
    for (const SessionNote& scanned : m_session.scanNotes()) {
        EXPECT_EQ(scanned.kind, SessionNote::Kind::NotARecording);
        const std::string note = sessionNoteText(scanned);
        EXPECT_TRUE(note.starts_with("AAA.MEM：") || note.starts_with("AAB.MEM：")) << note;
        EXPECT_EQ(note.find("not a"), std::string::npos) << note;
    }
    // The recording's six channels give two feeders; the scan takes the largest.
    EXPECT_EQ(m_session.offeredFeederCounts(), 2);
    EXPECT_EQ(m_session.settings().feederCount, 2);

    EXPECT_FALSE(m_session.canStart());  // no result file named yet
    m_session.chooseOutputName((m_dir / "day1.dat").string());
    EXPECT_TRUE(m_session.canStart());

    m_session.selectFile("AAB.MEM");
    EXPECT_EQ(m_session.recording(), nullptr);
    ASSERT_TRUE(m_session.readError());
    EXPECT_EQ(m_session.readError()->kind, SessionNote::Kind::ReadFailed);
    EXPECT_TRUE(sessionNoteText(*m_session.readError()).starts_with("AAB.MEM："));
    EXPECT_FALSE(m_session.canStart());
    EXPECT_EQ(m_session.recordingForCheck(), nullptr);
}

TEST_F(SessionTest, AFolderOfUnreadableFilesLeavesTheFirstCurrentWithItsReason) {
    writeFile("A.MEM", "");
    writeFile("B.MEM", "garbage");
    m_session.scanFolder(m_dir);
    EXPECT_EQ(m_session.currentFileName(), "A.MEM");
    EXPECT_EQ(m_session.recording(), nullptr);
    EXPECT_TRUE(m_session.readError());
    EXPECT_EQ(m_session.files().firstStartText(), "-");
    EXPECT_EQ(m_session.files().lastStartText(), "-");
}

TEST_F(SessionTest, TheShownGroupsRatiosDriveTheRun) {
    writeRecordings(2, 2);
    m_session.scanFolder(m_dir);
    ASSERT_EQ(m_session.settings().feederCount, 2);
    m_session.typeText(SessionBox::FeederCt, 0, "40");
    m_session.leaveBox(SessionBox::FeederCt, 0);
    EXPECT_EQ(m_session.texts().feederCt[8], "40");
    EXPECT_FLOAT_EQ(m_session.settings().ctRatio[1], 40);

    // One feeder: the one-feeder boxes, typed or left at their defaults, count.
    m_session.chooseFeederCount(1);
    EXPECT_FLOAT_EQ(m_session.settings().ctRatio[0], 1);
    m_session.typeText(SessionBox::CtRatio, 0, "0");  // not usable: nothing written
    EXPECT_FLOAT_EQ(m_session.settings().ctRatio[0], 1);
    m_session.typeText(SessionBox::Clamp, 0, "5");
    m_session.leaveBox(SessionBox::Clamp, 0);
    EXPECT_EQ(m_session.texts().sense.shunt, "0.04");
    EXPECT_FLOAT_EQ(m_session.settings().currentSenseOhms[0], 0.04f);
    m_session.leaveBox(SessionBox::CtRatio, 0);
    EXPECT_EQ(m_session.texts().ctRatio, "1");

    m_session.chooseFeederCount(2);
    EXPECT_FLOAT_EQ(m_session.settings().ctRatio[0], 40);
    EXPECT_FLOAT_EQ(m_session.settings().currentSenseOhms[0], 0.1f);  // 2 A clamp
}

TEST_F(SessionTest, TimeCorrectionIsReadIntoTheRecordingOrRestored) {
    writeRecordings(1, 2);
    m_session.scanFolder(m_dir);
    ASSERT_NE(m_session.recording(), nullptr);
    const std::string plain = m_session.recording()->header.timeText();
    m_session.typeText(SessionBox::TimeOffset, 0, "9");
    ASSERT_NE(m_session.recording(), nullptr);
    EXPECT_NE(m_session.recording()->header.timeText(), plain);
    m_session.typeText(SessionBox::TimeOffset, 0, "9x");
    EXPECT_EQ(m_session.settings().timeOffsetHours, 9);
    m_session.leaveBox(SessionBox::TimeOffset, 0);
    EXPECT_EQ(m_session.texts().timeOffset, "0");
    EXPECT_EQ(m_session.recording()->header.timeText(), plain);
}

TEST_F(SessionTest, ResultNameFollowsTheOptionAndItsFolderServesTheNextChoice) {
    writeRecordings(2, 2);
    m_session.scanFolder(m_dir);
    EXPECT_EQ(m_session.outputFolder(), m_dir);
    const fs::path out = m_dir / "out";
    m_session.chooseOutputName((out / "day1.x.dat").string());
    EXPECT_EQ(m_session.settings().outputFileName, (out / "day1").string() + ".hn2");
    m_session.setHarmonicOption(HarmonicOption::Odd1To49);
    EXPECT_EQ(m_session.settings().outputFileName, (out / "day1").string() + ".hm2");
    m_session.chooseFeederCount(1);
    EXPECT_EQ(m_session.settings().outputFileName, (out / "day1").string() + ".hm1");
    EXPECT_EQ(m_session.outputFolder(), out);
    m_session.chooseOutputName("");  // a cancelled dialog changes nothing
    EXPECT_EQ(m_session.settings().outputFileName, (out / "day1").string() + ".hm1");

    // The same folder again keeps the name; another campaign's folder clears it.
    m_session.setWevFiles(false);
    EXPECT_FALSE(m_session.settings().outputFileName.empty());
    fs::create_directories(m_dir / "other");
    m_session.scanFolder(m_dir / "other");
    EXPECT_EQ(m_session.settings().outputFileName, "");
    EXPECT_TRUE(m_session.outputNameCleared());
    EXPECT_FALSE(m_session.canStart());
    m_session.chooseOutputName((out / "day2").string());
    EXPECT_FALSE(m_session.outputNameCleared());
}

TEST_F(SessionTest, ConfirmedWiringMakesTheEarliestReadableRecordingCurrent) {
    writeRecordings(1, 3);
    writeFile("AAA.MEM", "");
    m_session.scanFolder(m_dir);
    const std::string earliest = m_session.currentFileName();
    m_session.selectFile(m_session.files().names[3]);
    ASSERT_NE(m_session.recordingForCheck(), nullptr);
    EXPECT_TRUE(m_session.wiringConfirmed());
    EXPECT_EQ(m_session.currentFileName(), earliest);
    EXPECT_NE(m_session.recording(), nullptr);

    Session empty;
    empty.scanFolder(m_dir / "missing");
    EXPECT_FALSE(empty.scanNotes().empty());
    EXPECT_EQ(empty.recordingForCheck(), nullptr);
    EXPECT_FALSE(empty.wiringConfirmed());
}

}  // namespace
}  // namespace waveharm

namespace waveharm {
namespace {

// A campaign with feeder 2's clamps both reversed, feeder 3's R and T exchanged, and
// the line voltages exchanged: each finding's fix, applied through the session, leaves
// the check with nothing to report.
TEST_F(SessionTest, WiringFixesPutTheFindingsRight) {
    DemoOptions demo;
    demo.feeders = 3;
    demo.count = 2;
    demo.invertedChannels = {5, 6};
    demo.exchangedChannels = {{7, 8}, {1, 2}};
    writeDemoCampaign(m_dir, demo);
    Session session;
    session.scanFolder(m_dir);
    auto judge = [&session] {
        const Recording* rec = session.recordingForCheck();
        EXPECT_NE(rec, nullptr);
        WindowWaveforms window;
        const WiringCheckResult check = runWiringCheck(*rec, session.settings(), window);
        return judgeWiring(check, session.settings(), rec->header.countsPerDiv);
    };
    WiringJudgement j = judge();
    ASSERT_EQ(j.findings.size(), 3u);
    EXPECT_EQ(j.findings[0].kind, WiringFindingKind::VoltagesExchanged);
    EXPECT_EQ(j.findings[1].kind, WiringFindingKind::ReversePower);
    EXPECT_EQ(j.findings[2].kind, WiringFindingKind::CurrentsExchanged);
    for (const WiringFinding& w : j.findings) session.applyWiringFix(w.fix);
    EXPECT_TRUE(session.settings().swapVoltages);
    EXPECT_TRUE(session.settings().invertCurrent[1]);
    EXPECT_EQ(session.settings().channelMap[6], 8);
    EXPECT_EQ(session.settings().channelMap[7], 7);
    EXPECT_TRUE(judge().findings.empty());
    // The "反転" box, checked, offers its own undoing on sound clamps.
    session.setFeederInput(0, true);
    j = judge();
    ASSERT_EQ(j.findings.size(), 1u);
    EXPECT_EQ(j.findings[0].fix.kind, WiringFixKind::InvertCurrent);
    EXPECT_FALSE(j.findings[0].fix.on);
}

}  // namespace
}  // namespace waveharm
