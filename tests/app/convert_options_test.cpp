#include <gtest/gtest.h>

#include "app/cli_convert_options.h"

namespace waveharm::cli {
namespace {

Args withBase(std::initializer_list<std::string> extra) {
    Args args{"in", "--output", "out/day1.dat"};
    args.insert(args.end(), extra);
    return args;
}

ConversionSettings resolve(std::initializer_list<std::string> extra, std::optional<int> offered) {
    return resolveConvertSettings(parseConvertOptions(withBase(extra)), offered);
}

TEST(ConvertOptions, DefaultsAreTheSettingsRecordExceptTheFeederCount) {
    const ConvertOptions o = parseConvertOptions(withBase({}));
    EXPECT_EQ(o.inputDir, "in");
    EXPECT_FALSE(o.verbose);
    const ConversionSettings s = resolveConvertSettings(o, 3);
    const ConversionSettings initial;
    EXPECT_EQ(s.feederCount, 3);
    EXPECT_EQ(s.measurementType, initial.measurementType);
    EXPECT_EQ(s.harmonicOption, HarmonicOption::HighOrder256);
    EXPECT_EQ(s.saveMode, SaveMode::IntervalAverage);
    EXPECT_EQ(s.syncMode, SyncMode::ZeroCross);
    EXPECT_EQ(s.interpolation, InterpolationMode::Linear);
    EXPECT_EQ(s.ptRatio, 60);
    EXPECT_FLOAT_EQ(s.sampleCount, 1024);
    EXPECT_FLOAT_EQ(s.ctRatio[2], 1);
    EXPECT_FLOAT_EQ(s.currentSenseOhms[2], 0.1f);
    EXPECT_EQ(s.channelMap[7], 8);
    EXPECT_EQ(s.channelMap[8], 0);
    EXPECT_EQ(s.outputFileName, "out/day1.hn3");
    // No readable recording: one feeder.
    EXPECT_EQ(resolveConvertSettings(o, std::nullopt).feederCount, 1);
    // A 16-channel recorder offers more than the channel map holds.
    EXPECT_EQ(resolveConvertSettings(o, 15).feederCount, 7);
}

TEST(ConvertOptions, EveryOptionReachesTheSettings) {
    const ConversionSettings s = resolve({"--type",
                                          "3p1m",
                                          "--feeders",
                                          "2",
                                          "--samples=512",
                                          "--harmonics",
                                          "angle-unbalance",
                                          "--save",
                                          "vthd-max",
                                          "--sync",
                                          "60hz",
                                          "--interpolation",
                                          "sinc",
                                          "--pt",
                                          "35",
                                          "--ct",
                                          "100,200",
                                          "--clamp",
                                          "5,50",
                                          "--swap-voltages",
                                          "--invert-voltage",
                                          "ts",
                                          "--invert-current",
                                          "2",
                                          "--line-input",
                                          "1",
                                          "--phase-correction",
                                          "-30",
                                          "--under-one-minute",
                                          "--8840",
                                          "--time-offset",
                                          "-9",
                                          "--verbose"},
                                         7);
    EXPECT_EQ(s.measurementType, MeasurementType::ThreePhase1M);
    EXPECT_EQ(s.feederCount, 2);
    EXPECT_FLOAT_EQ(s.sampleCount, 512);
    EXPECT_EQ(s.sampleCountLog2, 9);
    EXPECT_EQ(s.harmonicOption, HarmonicOption::WithAngleAndUnbalance);
    EXPECT_FLOAT_EQ(s.maxHarmonicOrder, 99);
    EXPECT_EQ(s.saveMode, SaveMode::VoltageThdMax);
    EXPECT_EQ(s.syncMode, SyncMode::Fixed60Hz);
    EXPECT_EQ(s.interpolation, InterpolationMode::BandLimited);
    EXPECT_EQ(s.ptRatio, 35);
    EXPECT_FLOAT_EQ(s.ctRatio[0], 100);
    EXPECT_FLOAT_EQ(s.ctRatio[1], 200);
    EXPECT_FLOAT_EQ(s.currentSenseOhms[0], 0.04f);
    EXPECT_FLOAT_EQ(s.currentSenseOhms[1], 0.004f);
    EXPECT_TRUE(s.swapVoltages);
    EXPECT_FALSE(s.invertVoltage[0]);
    EXPECT_TRUE(s.invertVoltage[1]);
    EXPECT_FALSE(s.invertCurrent[0]);
    EXPECT_TRUE(s.invertCurrent[1]);
    EXPECT_TRUE(s.lineVoltageInput[0]);
    EXPECT_EQ(s.phaseCorrectionIndex, 1);
    EXPECT_EQ(s.phaseCorrectionDegrees, -30);
    EXPECT_TRUE(s.outputUnderOneMinute);
    EXPECT_TRUE(s.wevFiles);
    EXPECT_EQ(s.timeOffset, "-9");
    EXPECT_EQ(s.outputFileName, "out/day1.hv2");
}

TEST(ConvertOptions, PerFeederValuesRepeatTheLastForLaterFeeders) {
    const ConversionSettings s = resolve({"--feeders", "3", "--ct", "100", "--clamp", "20,5"}, 3);
    EXPECT_FLOAT_EQ(s.ctRatio[0], 100);
    EXPECT_FLOAT_EQ(s.ctRatio[2], 100);
    EXPECT_FLOAT_EQ(s.currentSenseOhms[0], 0.01f);
    EXPECT_FLOAT_EQ(s.currentSenseOhms[1], 0.04f);
    EXPECT_FLOAT_EQ(s.currentSenseOhms[2], 0.04f);
    EXPECT_FLOAT_EQ(resolve({"--shunt", "0.05"}, 1).currentSenseOhms[0], 0.05f);
}

TEST(ConvertOptions, ChannelsFollowTheMeasurementType) {
    // One channel per feeder: the R current moves to ch2 and T-S takes its channel.
    const ConversionSettings oneChannel = resolve({"--type", "1p2w"}, 3);
    EXPECT_EQ(oneChannel.feederCount, 3);
    EXPECT_EQ(oneChannel.channelMap[2], 3);  // several feeders: the fixed layout
    EXPECT_EQ(oneChannel.channelMap[7], 8);
    const ConversionSettings single = resolve({"--type", "3p1m", "--feeders", "1"}, 3);
    EXPECT_EQ(single.channelMap[0], 1);
    EXPECT_EQ(single.channelMap[1], 3);
    EXPECT_EQ(single.channelMap[2], 2);
    EXPECT_EQ(single.channelMap[3], 4);
    const ConversionSettings chosen = resolve({"--channels", "2,1,4,3"}, 1);
    EXPECT_EQ(chosen.channelMap[0], 2);
    EXPECT_EQ(chosen.channelMap[1], 1);
    EXPECT_EQ(chosen.channelMap[2], 4);
    EXPECT_EQ(chosen.channelMap[3], 3);
    EXPECT_EQ(chosen.channelMap[4], 0);
}

TEST(ConvertOptions, SingleFeederOptionsDefaultToOneFeederAndRefuseSeveral) {
    for (const auto& option : {Args{"--harmonics", "angle"}, Args{"--harmonics", "unbalance"},
                               Args{"--save", "ithd-max"}, Args{"--channels", "1,2,3,4"}}) {
        Args args = withBase({});
        args.insert(args.end(), option.begin(), option.end());
        const ConvertOptions o = parseConvertOptions(args);
        EXPECT_EQ(resolveConvertSettings(o, 4).feederCount, 1) << option[1];
        Args several = args;
        several.insert(several.end(), {"--feeders", "2"});
        EXPECT_THROW(resolveConvertSettings(parseConvertOptions(several), 4), UsageError)
            << option[1];
    }
    EXPECT_EQ(resolve({"--harmonics", "angle"}, 4).outputFileName, "out/day1.ha4");
}

TEST(ConvertOptions, ChoicesThatDoNotFitTheRecordingsAreRefused) {
    EXPECT_THROW(resolve({"--feeders", "3"}, 2), UsageError);  // beyond the channels
    EXPECT_THROW(resolve({"--feeders", "2", "--ct", "1,2,3"}, 7), UsageError);
    EXPECT_THROW(resolve({"--feeders", "2", "--clamp", "1,2,3"}, 7), UsageError);
    EXPECT_THROW(resolve({"--feeders", "2", "--invert-current", "3"}, 7), UsageError);
    EXPECT_THROW(resolve({"--feeders", "2", "--line-input", "0"}, 7), UsageError);
    EXPECT_NO_THROW(resolve({"--feeders", "2", "--invert-current", "2"}, 7));
}

class ConvertOptionErrors : public ::testing::TestWithParam<Args> {};

TEST_P(ConvertOptionErrors, AreOneLineUsageErrors) {
    try {
        parseConvertOptions(GetParam());
        FAIL() << "accepted";
    } catch (const UsageError& e) {
        const std::string message = e.what();
        EXPECT_FALSE(message.empty());
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Invalid, ConvertOptionErrors,
    ::testing::Values(Args{"--output", "x"},                          // no input folder
                      Args{"in"},                                     // no output name
                      Args{"in", "other", "--output", "x"},           // two folders
                      Args{"in", "--output", "x", "--ct", "0"},       // zero CT ratio
                      Args{"in", "--output", "x", "--ct", "100,-5"},  // negative CT ratio
                      Args{"in", "--output", "x", "--ct", "100,,5"},  // empty entry
                      Args{"in", "--output", "x", "--pt", "0"},       // zero PT ratio
                      Args{"in", "--output", "x", "--pt", "60.5"},    // PT ratio is whole
                      Args{"in", "--output", "x", "--pt", "40000"},   // beyond 16 bits
                      Args{"in", "--output", "x", "--clamp", "0"},    // zero clamp range
                      Args{"in", "--output", "x", "--shunt", "0"},    // zero shunt
                      Args{"in", "--output", "x", "--shunt", "0.1", "--clamp", "2"},
                      Args{"in", "--output", "x", "--channels", "1,2,3,3"},  // not distinct
                      Args{"in", "--output", "x", "--channels", "1,2,3,5"},  // beyond ch4
                      Args{"in", "--output", "x", "--channels", "1,2,3"},    // three only
                      Args{"in", "--output", "x", "--samples", "512"},       // 256 orders need 1024
                      Args{"in", "--output", "x", "--harmonics", "256", "--samples", "256"},
                      Args{"in", "--output", "x", "--samples", "2048", "--harmonics", "odd49"},
                      Args{"in", "--output", "x", "--phase-correction", "30"},  // 3p2m has none
                      Args{"in", "--output", "x", "--type", "3p1m", "--phase-correction", "45"},
                      Args{"in", "--output", "x", "--feeders", "0"},
                      Args{"in", "--output", "x", "--feeders", "8"},
                      Args{"in", "--output", "x", "--type", "2p2w"},
                      Args{"in", "--output", "x", "--interpolation", "cubic"},
                      Args{"in", "--output", "x", "--invert-voltage", "r"},
                      Args{"in", "--output", "x", "--time-offset", "nine"},
                      Args{"in", "--output", "x", "--frobnicate", "1"},
                      Args{"in", "--output", "x", "--pt"}));  // value missing

TEST(ConvertOptions, HelpNeedsNothingElse) {
    EXPECT_TRUE(parseConvertOptions({"--help"}).help);
    EXPECT_TRUE(parseConvertOptions({"-h", "--frobnicate"}).help);
}

}  // namespace
}  // namespace waveharm::cli
