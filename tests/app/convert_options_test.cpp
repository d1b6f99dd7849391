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
    EXPECT_EQ(s.harmonicOption(), HarmonicOption::HighOrder256);
    EXPECT_EQ(s.saveMode, SaveMode::IntervalAverage);
    EXPECT_EQ(s.syncMode, SyncMode::ZeroCross);
    EXPECT_EQ(s.interpolation, InterpolationMode::Linear);
    EXPECT_EQ(s.ptRatio, 60);
    EXPECT_EQ(s.sampleCount(), 1024);
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
    EXPECT_EQ(s.sampleCount(), 512);
    EXPECT_EQ(s.sampleCountLog2(), 9);
    EXPECT_EQ(s.harmonicOption(), HarmonicOption::WithAngleAndUnbalance);
    EXPECT_EQ(s.maxHarmonicOrder(), 99);
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
    EXPECT_EQ(s.phaseCorrectionIndex(), 1);
    EXPECT_EQ(s.phaseCorrectionDegrees(), -30);
    EXPECT_TRUE(s.outputUnderOneMinute);
    EXPECT_TRUE(s.wevFiles);
    EXPECT_EQ(s.timeOffsetHours, -9);
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

struct BadOptions {
    Args args;
    const char* message;
};

class ConvertOptionErrors : public ::testing::TestWithParam<BadOptions> {};

TEST_P(ConvertOptionErrors, NameTheOptionAndTheValue) {
    try {
        parseConvertOptions(GetParam().args);
        FAIL() << "accepted";
    } catch (const UsageError& e) {
        EXPECT_STREQ(e.what(), GetParam().message);
    }
}

Args withOutput(std::initializer_list<std::string> extra) {
    Args args{"in", "--output", "x"};
    args.insert(args.end(), extra);
    return args;
}

INSTANTIATE_TEST_SUITE_P(
    Invalid, ConvertOptionErrors,
    ::testing::Values(
        BadOptions{{"--output", "x"}, "INPUT_DIR is required"},
        BadOptions{{"in"}, "--output is required"},
        BadOptions{{"in", "--output", ""}, "--output: the result name is empty"},
        BadOptions{{"in", "other", "--output", "x"}, "unexpected argument 'other'"},
        BadOptions{withOutput({"--ct", "0"}), "--ct: 0 must be greater than 0"},
        BadOptions{withOutput({"--ct", "100,-5"}), "--ct: -5 must be greater than 0"},
        BadOptions{withOutput({"--ct", "100,,5"}), "--ct: '' is not a number"},
        BadOptions{withOutput({"--ct", "1,1,1,1,1,1,1,1,1,1"}), "--ct: at most 9 values"},
        BadOptions{withOutput({"--pt", "0"}), "--pt: '0' is not a whole number from 1 to 32767"},
        BadOptions{withOutput({"--pt", "60.5"}),
                   "--pt: '60.5' is not a whole number from 1 to 32767"},
        BadOptions{withOutput({"--pt", "40000"}),  // kept in 16 bits
                   "--pt: '40000' is not a whole number from 1 to 32767"},
        BadOptions{withOutput({"--pt", "0x3c"}),
                   "--pt: '0x3c' is not a whole number from 1 to 32767"},
        BadOptions{withOutput({"--clamp", "0"}), "--clamp: 0 must be greater than 0"},
        BadOptions{withOutput({"--shunt", "0"}), "--shunt: 0 must be greater than 0"},
        BadOptions{withOutput({"--shunt", "inf"}), "--shunt: 'inf' is not a number"},
        BadOptions{withOutput({"--shunt", "0.1", "--clamp", "2"}),
                   "--shunt and --clamp both set feeder 1's current sensor"},
        BadOptions{withOutput({"--channels", "1,2,3,3"}),
                   "--channels: each of the four quantities needs its own channel"},
        BadOptions{withOutput({"--channels", "1,2,3,5"}),
                   "--channels: '5' is not a whole number from 1 to 4"},
        BadOptions{withOutput({"--channels", "1,2,3"}),
                   "--channels: four channels RS,TS,R,T are needed"},
        BadOptions{withOutput({"--samples", "512"}),
                   "--samples 512: the 256-order option needs 1024 samples (choose --harmonics "
                   "other than 256)"},
        BadOptions{withOutput({"--harmonics", "256", "--samples", "256"}),
                   "--samples 256: the 256-order option needs 1024 samples"},
        BadOptions{withOutput({"--samples", "2048", "--harmonics", "odd49"}),
                   "--samples: '2048' is not one of 256, 512, 1024"},
        BadOptions{withOutput({"--phase-correction", "30"}),
                   "--phase-correction: only the 3p1m type takes a phase correction"},
        BadOptions{withOutput({"--type", "3p1m", "--phase-correction", "45"}),
                   "--phase-correction: '45' is not one of -90, -30, 0, 30, +30, 90, +90"},
        BadOptions{withOutput({"--feeders", "0"}),
                   "--feeders: '0' is not a whole number from 1 to 7"},
        BadOptions{withOutput({"--feeders", "8"}),
                   "--feeders: '8' is not a whole number from 1 to 7"},
        BadOptions{withOutput({"--invert-current", "8"}),
                   "--invert-current: '8' is not a whole number from 1 to 7"},
        BadOptions{withOutput({"--type", "2p2w"}),
                   "--type: '2p2w' is not one of 1p2w, 1p3w, 3p2m, 3p1m, 3p3m"},
        BadOptions{withOutput({"--interpolation", "cubic"}),
                   "--interpolation: 'cubic' is not one of linear, sinc"},
        BadOptions{withOutput({"--invert-voltage", "r"}),
                   "--invert-voltage: 'r' is not one of rs, ts"},
        BadOptions{withOutput({"--time-offset", "nine"}),
                   "--time-offset: 'nine' is not a number of hours within ±48"},
        BadOptions{withOutput({"--jobs", "0"}), "--jobs: '0' is not a whole number from 1 to 256"},
        BadOptions{withOutput({"--frobnicate", "1"}), "unknown option '--frobnicate'"},
        BadOptions{withOutput({"--pt"}), "--pt: a value is missing"}));

TEST(ConvertOptions, ValuesMayFollowAnEqualsSignAndTheLastOneCounts) {
    const ConversionSettings s =
        resolve({"--pt=30", "--pt", "35", "--invert-current=1", "--invert-current", "2",
                 "--phase-correction=-30", "--type", "3p1m", "--time-offset", "-9"},
                2);
    EXPECT_EQ(s.ptRatio, 35);
    EXPECT_TRUE(s.invertCurrent[0]);
    EXPECT_TRUE(s.invertCurrent[1]);
    EXPECT_EQ(s.phaseCorrectionDegrees(), -30);
    EXPECT_EQ(s.timeOffsetHours, -9);
}

TEST(ConvertOptions, HelpNeedsNothingElse) {
    CLI::App command;
    ConvertOptions options;
    declareConvertOptions(command, options);
    EXPECT_EQ(parseCommandLine(command, {"--help"}), Parsed::Help);
    EXPECT_EQ(parseCommandLine(command, {"-h", "--frobnicate"}), Parsed::Help);
    EXPECT_EQ(parseCommandLine(command, {"in", "--output", "x"}), Parsed::Run);
    EXPECT_EQ(options.outputName, "x");
}

}  // namespace
}  // namespace waveharm::cli
