#include "settings/settings_rules.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace waveharm {
namespace {

std::array<int, 4> chosen(const ConversionSettings& s) {
    return {s.channelMap[0], s.channelMap[1], s.channelMap[2], s.channelMap[3]};
}

TEST(ChannelExchange, ChoosingAnOccupiedChannelMovesItsHolderToTheFreedOne) {
    ConversionSettings s;
    chooseChannel(s, ChosenQuantity::VoltageTS, 3);  // T-S on ch3, R on ch2
    EXPECT_EQ(chosen(s), (std::array<int, 4>{1, 3, 2, 4}));
    chooseChannel(s, ChosenQuantity::VoltageRS, 3);  // R-S takes ch3, T-S gets ch1
    EXPECT_EQ(chosen(s), (std::array<int, 4>{3, 1, 2, 4}));
}

TEST(ChannelExchange, EveryChoiceKeepsTheFourChannelsDistinct) {
    ConversionSettings s;
    for (int q = 0; q < 4; ++q) {
        for (int k = 1; k <= 4; ++k) {
            chooseChannel(s, static_cast<ChosenQuantity>(q), k);
            auto c = chosen(s);
            std::sort(c.begin(), c.end());
            EXPECT_EQ(c, (std::array<int, 4>{1, 2, 3, 4})) << "q=" << q << " k=" << k;
            EXPECT_EQ(s.channelMap[q], k);
        }
    }
}

TEST(ChannelExchange, ChannelsOutsideTheFirstFourAreIgnored) {
    ConversionSettings t;
    chooseChannel(t, ChosenQuantity::VoltageRS, 0);
    chooseChannel(t, ChosenQuantity::VoltageRS, 5);
    EXPECT_EQ(chosen(t), (std::array<int, 4>{1, 2, 3, 4}));
}

TEST(RatioBoxes, UnusableTextsFallBackToTheirDefaults) {
    for (const char* bad : {"", "0", "-3", "abc", "1e999", "nan", "5x", "1e-60"}) {
        EXPECT_EQ(restoredText(RatioBox::CtRatio, bad), "1") << bad;
        EXPECT_EQ(restoredText(RatioBox::PtRatio, bad), "60") << bad;
        EXPECT_EQ(restoredText(RatioBox::Shunt, bad), "0.1") << bad;
        EXPECT_EQ(restoredText(RatioBox::Clamp, bad), "20") << bad;
        EXPECT_EQ(restoredText(RatioBox::FeederClamp, bad), "0.1") << bad;
    }
    EXPECT_EQ(restoredText(RatioBox::CtRatio, "400"), "400");
    EXPECT_EQ(restoredText(RatioBox::Clamp, " 5 "), " 5 ");
    // The PT ratio is a whole number within 16 bits.
    EXPECT_EQ(restoredText(RatioBox::PtRatio, "0.5"), "60");
    EXPECT_EQ(restoredText(RatioBox::PtRatio, "40000"), "60");
    EXPECT_EQ(*positiveValue(RatioBox::PtRatio, "66.6"), 66);
}

TEST(SensePair, ClampRangeAndShuntDescribeTheSameSensor) {
    ConversionSettings s;
    SenseTexts t = applyClampRange(s, "5");
    EXPECT_EQ(t.shunt, "0.04");
    EXPECT_FLOAT_EQ(s.currentSenseOhms[0], 0.04f);
    t = applyShunt(s, "0.01");
    EXPECT_EQ(t.clamp, "20");
    EXPECT_FLOAT_EQ(s.currentSenseOhms[0], 0.01f);
    t = applyClampRange(s, "0");
    EXPECT_EQ(t.clamp, "20");
    EXPECT_EQ(t.shunt, "0.01");
    t = applyShunt(s, "");
    EXPECT_EQ(t.shunt, "0.1");
    EXPECT_EQ(t.clamp, "2");
    EXPECT_FLOAT_EQ(s.currentSenseOhms[0], 0.1f);
}

TEST(CopyDown, CtRatioOfFeederTwoReachesFeedersThreeToNineOnly) {
    ConversionSettings s;
    FeederTexts texts;
    texts.fill("1");
    texts[0] = "7";
    s.ctRatio[0] = 7;
    texts[1] = "5";
    copyCtRatioDown(s, texts, 1);
    EXPECT_EQ(texts[0], "7");
    EXPECT_FLOAT_EQ(s.ctRatio[0], 7);
    for (int g = 1; g < kMaxFeeders; ++g) {
        EXPECT_EQ(texts[g], "5");
        EXPECT_FLOAT_EQ(s.ctRatio[g], 5);
    }
    texts[4] = "0";
    copyCtRatioDown(s, texts, 4);
    EXPECT_EQ(texts[3], "5");
    EXPECT_EQ(texts[8], "1");
    EXPECT_FLOAT_EQ(s.ctRatio[8], 1);
}

TEST(CopyDown, ClampRangeSetsTheSenseOfLaterFeeders) {
    ConversionSettings s;
    FeederTexts texts;
    texts.fill("2");
    texts[6] = "20";
    copyClampRangeDown(s, texts, 6);
    EXPECT_FLOAT_EQ(s.currentSenseOhms[5], 0.1f);
    EXPECT_FLOAT_EQ(s.currentSenseOhms[6], 0.01f);
    EXPECT_FLOAT_EQ(s.currentSenseOhms[8], 0.01f);
    texts[8] = "";
    copyClampRangeDown(s, texts, 8);
    EXPECT_EQ(texts[8], "0.1");
    EXPECT_FLOAT_EQ(s.currentSenseOhms[8], 2.0f);
}

TEST(ChannelLabels, PairedAndSingleChannelLayouts) {
    std::array<std::string, 16> names;
    for (int s = 0; s < 16; ++s) names[s] = "ch" + std::to_string(s + 1);
    auto labels = feederChannelLabels(MeasurementType::ThreePhase2M, 2, names);
    EXPECT_EQ(labels[0], "電  圧：R-S相=ch1,T-S相=ch2");
    EXPECT_EQ(labels[1], "電流F1：R相=ch3,T相=ch4");
    EXPECT_EQ(labels[2], "電流F2：R相=ch5,T相=ch6");
    EXPECT_EQ(labels[3], "電流F3：R相=ch-,T相=ch-");
    EXPECT_EQ(labels[9], "電流F9：R相=ch-,T相=ch-");
    labels = feederChannelLabels(MeasurementType::ThreePhase1M, 9, names);
    EXPECT_EQ(labels[0], "電  圧：ch1");
    EXPECT_EQ(labels[1], "電流F1：ch2");
    EXPECT_EQ(labels[9], "電流F9：ch10");
    labels = feederChannelLabels(MeasurementType::SinglePhase2W, 1, names);
    EXPECT_EQ(labels[2], "電流F2：ch-");
}

TEST(FeederCount, SeveralFeedersForceOptionsAndOneFeederReleasesThem) {
    ConversionSettings s;
    s.setHarmonicOption(HarmonicOption::WithUnbalance);
    s.saveMode = SaveMode::CurrentThdMax;
    FeederCountEffects e = applyFeederCount(s, 3);
    EXPECT_TRUE(e.severalFeeders);
    EXPECT_EQ(e.harmonicOptionEnabled, (std::array<bool, 5>{true, false, false, true, true}));
    EXPECT_FALSE(e.currentThdMaxEnabled);
    EXPECT_EQ(s.harmonicOption(), HarmonicOption::WithAngleAndUnbalance);
    EXPECT_EQ(s.saveMode, SaveMode::IntervalAverage);
    EXPECT_EQ(s.outputExtension(), ".hv3");
    EXPECT_EQ(s.channelMap[7], 8);
    EXPECT_EQ(s.channelMap[8], 0);
    EXPECT_TRUE(e.feederEnabled[2]);
    EXPECT_FALSE(e.feederEnabled[3]);

    e = applyFeederCount(s, 1);
    EXPECT_FALSE(e.severalFeeders);
    EXPECT_EQ(e.harmonicOptionEnabled, (std::array<bool, 5>{true, true, true, true, true}));
    EXPECT_TRUE(e.currentThdMaxEnabled);
    EXPECT_EQ(s.outputExtension(), ".hv1");
    EXPECT_EQ(s.channelMap[4], 0);
}

TEST(MeasurementType, PhaseCorrectionOnlyWithThreePhase1M) {
    ConversionSettings s;
    MeasurementTypeEffects e = applyMeasurementType(s, MeasurementType::ThreePhase1M);
    EXPECT_TRUE(e.phaseCorrectionEnabled);
    EXPECT_FALSE(e.tPhaseChoosersEnabled);
    EXPECT_EQ(s.channelMap[2], 2);  // the R current moves to ch2, T-S takes ch3
    EXPECT_EQ(s.channelMap[1], 3);
    s.setPhaseCorrectionIndex(4);
    e = applyMeasurementType(s, MeasurementType::ThreePhase3M);
    EXPECT_FALSE(e.phaseCorrectionEnabled);
    EXPECT_TRUE(e.tPhaseChoosersEnabled);
    EXPECT_EQ(s.phaseCorrectionIndex(), 2);
    EXPECT_EQ(s.phaseCorrectionDegrees(), 0);
}

// The 256-order option keeps 1024 samples, and only three-phase 1M takes a correction.
TEST(Choices, SampleCountAndPhaseCorrectionFollowTheOptionsInForce) {
    ConversionSettings s;
    EXPECT_FALSE(chooseSampleCount(s, 512));
    EXPECT_EQ(s.sampleCount(), 1024);
    s.setHarmonicOption(HarmonicOption::Odd1To49);
    EXPECT_TRUE(chooseSampleCount(s, 512));
    EXPECT_EQ(s.sampleCountLog2(), 9);
    EXPECT_FALSE(chooseSampleCount(s, 300));
    EXPECT_EQ(s.sampleCount(), 512);

    EXPECT_FALSE(choosePhaseCorrection(s, 0));
    EXPECT_EQ(s.phaseCorrectionDegrees(), 0);
    applyMeasurementType(s, MeasurementType::ThreePhase1M);
    EXPECT_TRUE(choosePhaseCorrection(s, 0));
    EXPECT_EQ(s.phaseCorrectionDegrees(), -90);
    EXPECT_FALSE(choosePhaseCorrection(s, 5));
    EXPECT_EQ(s.phaseCorrectionIndex(), 0);
}

TEST(MeasurementType, SeveralFeedersKeepTheirChannelLayout) {
    ConversionSettings s;
    applyFeederCount(s, 3);
    applyMeasurementType(s, MeasurementType::SinglePhase2W);
    EXPECT_EQ(s.channelMap[2], 3);
    applyFeederCount(s, 1);
    EXPECT_EQ(s.channelMap[2], 2);
}

TEST(SaveModeButtons, CaptionsFollowTheirTooltipsAndRoundTrip) {
    EXPECT_EQ(saveModeForButton(0), SaveMode::IntervalAverage);  // "平均値"
    EXPECT_EQ(saveModeForButton(1), SaveMode::LatestWindow);     // "瞬時値"
    for (int i = 0; i < 4; ++i) EXPECT_EQ(buttonForSaveMode(saveModeForButton(i)), i);
    // The start-up record holds the average, shown on "平均値".
    EXPECT_EQ(buttonForSaveMode(ConversionSettings{}.saveMode), 0);
}

}  // namespace
}  // namespace waveharm
