#include "settings/site_profile.h"

#include <gtest/gtest.h>

#include <string>

namespace waveharm {
namespace {

SiteProfile namedSite() {
    SiteProfile p;
    p.siteName = "変電所 \"A\" \\東";
    p.measurementType = MeasurementType::ThreePhase1M;
    p.harmonicOption = HarmonicOption::WithAngleAndUnbalance;
    p.sampleCount = 512;
    p.phaseCorrectionDegrees = -30;
    p.saveMode = SaveMode::VoltageThdMax;
    p.interpolation = InterpolationMode::BandLimited;
    p.timeOffsetHours = -9.5;
    p.invertVoltage = {false, true};
    p.feeders = {{"1号線", 100, 20, true, false}, {"2号線", 0.1, 7, false, true}};
    p.campaign = {"jp-6.6kv", 3000};
    return p;
}

TEST(SiteProfile, WrittenTextReadsBackToTheSameChoices) {
    const SiteProfile p = namedSite();
    const std::string text = siteProfileText(p);
    const SiteProfile back = parseSiteProfile(text, "site.toml");
    EXPECT_EQ(siteProfileText(back), text);
    EXPECT_EQ(back.siteName, p.siteName);
    ASSERT_EQ(back.feeders.size(), 2u);
    EXPECT_EQ(back.feeders[1].name, "2号線");
    EXPECT_EQ(back.feeders[1].ctRatio, 0.1);
    EXPECT_EQ(back.phaseCorrectionDegrees, -30);
    EXPECT_EQ(back.campaign.contractKw, 3000);
    // Plain numbers, as a person writes them.
    EXPECT_NE(text.find("ct_ratio = 0.1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("time_offset_hours = -9.5\n"), std::string::npos) << text;
}

TEST(SiteProfile, ShortFileKeepsTheInitialChoices) {
    const SiteProfile p = parseSiteProfile("waveharm_profile = 1\n[[feeder]]\nname = \"F\"\n", "x");
    EXPECT_EQ(p.measurementType, MeasurementType::ThreePhase2M);
    EXPECT_EQ(p.sampleCount, 1024);
    EXPECT_EQ(p.ptRatio, 60);
    ASSERT_EQ(p.feeders.size(), 1u);
    EXPECT_EQ(p.feeders[0].ctRatio, 1);
}

struct Damaged {
    const char* text;
    int line;
    const char* key;
};

TEST(SiteProfile, DamagedFileIsRefusedWithItsLineAndKey) {
    const Damaged cases[] = {
        {"site = \"A\"\n", 1, "waveharm_profile"},
        {"waveharm_profile = 1\nsite = \"A\n", 2, ""},  // syntax: unterminated text
        {"waveharm_profile = 1\nsite = \"A\"\ncolour = 3\n", 3, "colour"},
        {"waveharm_profile = 1\npt_ratio = 0\n", 2, "pt_ratio"},
        {"waveharm_profile = 1\npt_ratio = \"60\"\n", 2, "pt_ratio"},
        {"waveharm_profile = 1\nmeasurement = \"3p4m\"\n", 2, "measurement"},
        {"waveharm_profile = 1\nsamples = 300\n", 2, "samples"},
        {"waveharm_profile = 1\nharmonics = \"256\"\nsamples = 512\n", 3, "samples"},
        {"waveharm_profile = 1\nphase_correction = 30\n", 2, "phase_correction"},
        {"waveharm_profile = 1\nchannels = [1, 2, 2, 4]\n", 2, "channels"},
        {"waveharm_profile = 1\ntime_offset_hours = 49\n", 2, "time_offset_hours"},
        {"waveharm_profile = 1\n[[feeder]]\nct_ratio = 5\n[[feeder]]\n\nct_ratio = -1\n", 6,
         "feeder[2].ct_ratio"},
        {"waveharm_profile = 1\n[[feeder]]\nname = \"a\\tb\"\n", 3, "feeder[1].name"},
        {"waveharm_profile = 1\nsave = \"ithd-max\"\n[[feeder]]\n[[feeder]]\n", 2, "save"},
        {"waveharm_profile = 1\n[campaign]\ncontract_kw = 0\n", 3, "campaign.contract_kw"},
    };
    for (const Damaged& c : cases) {
        try {
            parseSiteProfile(c.text, "site.toml");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ProfileError& e) {
            EXPECT_EQ(e.line(), c.line) << c.text << " -> " << e.what();
            EXPECT_EQ(e.key(), c.key) << c.text << " -> " << e.what();
            EXPECT_NE(std::string(e.what()).find("site.toml:" + std::to_string(c.line)),
                      std::string::npos)
                << e.what();
        }
    }
}

TEST(SiteProfile, EightFeedersAreRefused) {
    std::string text = "waveharm_profile = 1\n";
    for (int f = 0; f < 8; ++f) text += "[[feeder]]\n";
    EXPECT_THROW(parseSiteProfile(text, "x"), ProfileError);
}

}  // namespace
}  // namespace waveharm
