// Site profiles through waveharm-cli: a profile the settings screen's session writes and
// one `convert --save-profile` writes give the same result files, the command line
// overrides a profile, and a damaged profile stops the run before anything is written.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "run/session.h"
#include "support/cli_runner.h"
#include "support/scratch_folder.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using namespace waveharm::testing;

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ProfileCli : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(
            runCli({"demo", (m_dir / "rec").string(), "--feeders", "3", "--count", "4"}).status, 0);
        fs::create_directories(m_dir / "out");
    }
    CliResult convert(const std::string& name, const std::string& options) const {
        std::vector<std::string> args{"convert", (m_dir / "rec").string(), "--output",
                                      (m_dir / "out" / name).string()};
        for (const std::string& option : words(options)) args.push_back(option);
        return runCli(args);
    }
    ScratchFolder m_scratch;
    const fs::path m_dir = m_scratch.path();
};

TEST_F(ProfileCli, ScreenProfileAndSavedProfileConvertToTheSameBytes) {
    // The settings screen's session, edited as the boxes would be.
    Session session;
    session.scanFolder(m_dir / "rec");
    ASSERT_EQ(session.settings().feederCount, 3);
    session.setHarmonicOption(HarmonicOption::WithAngleAndUnbalance);
    session.chooseSampleCount(512);
    session.setSaveMode(SaveMode::VoltageThdMax);
    session.typeText(SessionBox::FeederCt, 0, "100");
    session.leaveBox(SessionBox::FeederCt, 0);
    session.typeText(SessionBox::FeederCt, 2, "0.5");
    session.leaveBox(SessionBox::FeederCt, 2);
    session.typeText(SessionBox::FeederClamp, 1, "7");
    session.leaveBox(SessionBox::FeederClamp, 1);
    session.setFeederInput(2, true);  // feeder 2 inverted
    session.setFeederName(0, "1号線");
    writeSiteProfile(m_dir / "screen.toml", session.profile());

    const CliResult saved =
        convert("first",
                "--harmonics angle-unbalance --samples 512 --save vthd-max --ct 100,100,0.5 "
                "--clamp 2,7 --invert-current 2 --names 1号線 --save-profile " +
                    (m_dir / "cli.toml").string());
    ASSERT_EQ(saved.status, 0) << saved.output;
    EXPECT_EQ(bytesOf(m_dir / "screen.toml"), bytesOf(m_dir / "cli.toml"));

    ASSERT_EQ(convert("screen", "--profile " + (m_dir / "screen.toml").string()).status, 0);
    ASSERT_EQ(convert("cli", "--profile " + (m_dir / "cli.toml").string()).status, 0);
    const std::string first = bytesOf(m_dir / "out" / "first.hv3");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(bytesOf(m_dir / "out" / "screen.hv3"), first);
    EXPECT_EQ(bytesOf(m_dir / "out" / "cli.hv3"), first);
}

TEST_F(ProfileCli, CommandLineOverridesTheProfile) {
    std::ofstream(m_dir / "site.toml") << "waveharm_profile = 1\nharmonics = \"odd49\"\n"
                                          "[[feeder]]\nct_ratio = 50\n[[feeder]]\n";
    const CliResult run = convert(
        "r", "--profile " + (m_dir / "site.toml").string() + " --feeders 1 --harmonics 256");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(fs::exists(m_dir / "out" / "r.hn1")) << run.output;
}

TEST_F(ProfileCli, DamagedProfileStopsBeforeAnythingIsWritten) {
    std::ofstream(m_dir / "bad.toml") << "waveharm_profile = 1\n\n[[feeder]]\nclamp_a = 0\n";
    const CliResult run = convert("r", "--profile " + (m_dir / "bad.toml").string());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("bad.toml:4: feeder[1].clamp_a"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_empty(m_dir / "out"));
}

}  // namespace
}  // namespace waveharm
