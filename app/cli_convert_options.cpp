#include "app/cli_convert_options.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "output/result_writer.h"
#include "settings/settings_rules.h"

namespace waveharm::cli {

namespace {

constexpr const char* kDetails =
    "Analyses every recording of INPUT_DIR in recording-time order and writes the harm\n"
    "result file(s): NAME up to its first '.' plus the extension of the harmonic option\n"
    "(three per-phase files for 3p3m).\n"
    "\n"
    "Existing result files of that name are left alone (exit 2, naming them) unless\n"
    "--overwrite is given. Ctrl+C or SIGTERM ends the run as the analysis window's\n"
    "\"終了\" does: the records written so far stay, synchronised to the disk, and a line\n"
    "tells how many and up to which time stamp; a second signal ends at once.\n"
    "\n"
    "exit status: 0 every recording analysed, 1 some recordings skipped, 2 usage or\n"
    "output error (also: result files exist), 130 ended by Ctrl+C, 143 by SIGTERM.\n";

[[noreturn]] void fail(const std::string& message) { throw UsageError(message); }

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = text.find(',', begin);
        parts.push_back(text.substr(begin, comma - begin));
        if (comma == std::string::npos) return parts;
        begin = comma + 1;
    }
}

// Ratios and ranges must be positive: a zero would divide the scaled values by zero
// (the settings screen restores its default for a zero entry).
std::vector<float> parsePositiveList(const std::string& option, const std::string& text) {
    std::vector<float> values;
    for (const auto& part : splitList(text))
        values.push_back(static_cast<float>(positiveValue(option, part)));
    if (values.size() > static_cast<std::size_t>(kMaxFeeders))
        fail(option + ": at most " + std::to_string(kMaxFeeders) + " values");
    return values;
}

std::array<int, 4> parseChannels(const std::string& text) {
    const auto parts = splitList(text);
    if (parts.size() != 4) fail("--channels: four channels RS,TS,R,T are needed");
    std::array<int, 4> channels{};
    for (int q = 0; q < 4; ++q) channels[q] = int(wholeNumberValue("--channels", parts[q], 1, 4));
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b)
            if (channels[a] == channels[b])
                fail("--channels: each of the four quantities needs its own channel");
    return channels;
}

// Copies per-feeder values into the settings; feeders beyond the list repeat its last
// value, as an entry on the settings screen is copied into the boxes below it.
void fillPerFeeder(std::array<float, kMaxFeeders>& target, const std::vector<float>& values,
                   float (*convert)(float)) {
    if (values.empty()) return;
    for (int f = 0; f < kMaxFeeders; ++f) {
        const float v = values[std::min<std::size_t>(f, values.size() - 1)];
        target[f] = convert(v);
    }
}

void checkFeederNumbers(const std::string& option, const std::vector<int>& feeders, int count) {
    for (int f : feeders)
        if (f < 1 || f > count)
            fail(option + ": feeder " + std::to_string(f) + " is not among feeders 1.." +
                 std::to_string(count));
}

// What the options leave for the checks that need all of them.
struct PendingChoices {
    std::optional<int> samples;
    bool harmonicsGiven = false;
    std::optional<int> phaseCorrection;
};

constexpr Named<int> kSampleCounts[] = {{"256", 256}, {"512", 512}, {"1024", 1024}};
constexpr Named<int> kLineVoltages[] = {{"rs", 0}, {"ts", 1}};
// Current phase against the line voltage, as the index of the settings screen's choice.
constexpr Named<int> kPhaseCorrections[] = {{"-90", 0}, {"-30", 1}, {"0", 2},  {"30", 3},
                                            {"+30", 3}, {"90", 4},  {"+90", 4}};

void declareChoices(CLI::App& command, ConversionSettings& s, PendingChoices& pending) {
    addChoice(command, "--type", kMeasurementTypeNames, "measurement type", s.measurementType,
              [&s](MeasurementType t) { s.measurementType = t; });
    addChoice(command, "--samples", kSampleCounts, "samples per transform", s.sampleCount(),
              [&pending](int n) { pending.samples = n; });
    addChoice(command, "--harmonics", kHarmonicOptionNames, "harmonic option", s.harmonicOption(),
              [&s, &pending](HarmonicOption h) {
                  pending.harmonicsGiven = true;
                  s.setHarmonicOption(h);
              });
    addChoice(command, "--save", kSaveModeNames, "what a save interval keeps", s.saveMode,
              [&s](SaveMode m) { s.saveMode = m; });
    addChoice(command, "--sync", kSyncModeNames, "fundamental period", s.syncMode,
              [&s](SyncMode m) { s.syncMode = m; });
    addChoice(command, "--interpolation", kInterpolationNames,
              "resampling of the period: straight lines,\n"
              "or band-limited with the period fitted\n"
              "over the record (accurate)",
              s.interpolation, [&s](InterpolationMode m) { s.interpolation = m; });
}

void declareScaling(CLI::App& command, ConvertOptions& o) {
    ConversionSettings& s = o.settings;
    addValue(command, "--pt", "N", "PT ratio [" + std::to_string(s.ptRatio) + "]",
             [&s](const std::string& v) {
                 // The PT ratio is kept as a 16-bit integer.
                 s.ptRatio = static_cast<std::int16_t>(wholeNumberValue("--pt", v, 1, 32767));
             });
    addValue(command, "--ct", "R1,R2,...",
             "CT ratio per feeder [1]; later feeders\nrepeat the last value",
             [&o](const std::string& v) { o.ctRatios = parsePositiveList("--ct", v); });
    addValue(command, "--clamp", "A1,A2,...",
             "clamp range in A per feeder (0.2 V at full\n"
             "range) [2]; later feeders repeat the last",
             [&o](const std::string& v) { o.clampRanges = parsePositiveList("--clamp", v); });
    addValue(command, "--shunt", "OHMS", "shunt resistance of feeder 1",
             [&o](const std::string& v) { o.shuntOhms = float(positiveValue("--shunt", v)); });
}

void declareWiring(CLI::App& command, ConvertOptions& o, PendingChoices& pending) {
    ConversionSettings& s = o.settings;
    addValue(command, "--feeders", "N",
             "feeders measured [the most the first\n"
             "recording holds; 1 for single-feeder options]",
             [&o](const std::string& v) {
                 o.feeders = int(wholeNumberValue("--feeders", v, 1, kMaxChannelFeeders));
             });
    addValue(command, "--channels", "RS,TS,R,T",
             "recorder channels 1..4, one feeder only\n[1,2,3,4; 1,3,2,4 for 1p2w and 3p1m]",
             [&o](const std::string& v) { o.channels = parseChannels(v); });
    addFlag(command, "--swap-voltages", "exchange the R-S and T-S data",
            [&s] { s.swapVoltages = true; });
    addRepeatable(command, "--invert-voltage", "rs|ts", "invert a line voltage (repeatable)",
                  [&s](const std::string& v) {
                      s.invertVoltage[valueNamed(kLineVoltages, "--invert-voltage", v)] = true;
                  });
    addRepeatable(command, "--invert-current", "F", "invert feeder F's current (repeatable)",
                  [&o](const std::string& v) {
                      o.invertCurrentFeeders.push_back(
                          int(wholeNumberValue("--invert-current", v, 1, kMaxChannelFeeders)));
                  });
    addRepeatable(command, "--line-input", "F",
                  "feeder F's pair carries line quantities\n(repeatable)",
                  [&o](const std::string& v) {
                      o.lineInputFeeders.push_back(
                          int(wholeNumberValue("--line-input", v, 1, kMaxChannelFeeders)));
                  });
    addChoice(command, "--phase-correction", kPhaseCorrections,
              "current phase against the line voltage,\n3p1m only",
              std::optional<int>(s.phaseCorrectionIndex()),
              [&pending](int index) { pending.phaseCorrection = index; });
}

void declareRun(CLI::App& command, ConvertOptions& o) {
    ConversionSettings& s = o.settings;
    addFlag(command, "--under-one-minute",
            "a record for every recording, also\nseveral within one minute",
            [&s] { s.outputUnderOneMinute = true; });
    addFlag(command, "--8840", "the folder holds 8840 recordings", [&s] { s.wevFiles = true; });
    addValue(command, "--time-offset", "HOURS", "time-difference correction [0]",
             [&s](const std::string& v) {
                 double hours = 0;
                 if (!parseTimeOffsetHours(v, hours))
                     fail("--time-offset: '" + v + "' is not a number of hours within ±48");
                 s.timeOffsetHours = hours;
             });
    addFlag(command, "--verbose", "one line per recording", [&o] { o.verbose = true; });
    addFlag(command, "--overwrite", "replace existing result files of that name",
            [&o] { o.overwrite = true; });
    addValue(command, "--jobs", "N",
             "recordings analysed at once [the machine's\ncores]; the files are the same for any N",
             [&o](const std::string& v) { o.jobs = int(wholeNumberValue("--jobs", v, 1, 256)); });
}

// The checks that need several options at once, as the settings screen makes them.
void checkCombinations(ConvertOptions& options, const PendingChoices& pending) {
    ConversionSettings& s = options.settings;
    if (pending.samples) {
        // 256 orders need the 1024-point transform; the screen disables 256 and 512.
        if (s.harmonicOption() == HarmonicOption::HighOrder256 && *pending.samples != 1024)
            fail(std::string("--samples ") + std::to_string(*pending.samples) +
                 ": the 256-order option needs 1024 samples" +
                 (pending.harmonicsGiven ? "" : " (choose --harmonics other than 256)"));
        s.setSampleCount(*pending.samples);
    }
    if (pending.phaseCorrection) {
        if (*pending.phaseCorrection != 2 && s.measurementType != MeasurementType::ThreePhase1M)
            fail("--phase-correction: only the 3p1m type takes a phase correction");
        s.setPhaseCorrectionIndex(*pending.phaseCorrection);
    }
    if (options.shuntOhms && !options.clampRanges.empty())
        fail("--shunt and --clamp both set feeder 1's current sensor");
}

float same(float v) { return v; }
float clampSense(float amperes) { return clampRangeToSenseOhms(amperes); }

}  // namespace

bool ConvertOptions::needsSingleFeeder() const {
    const auto option = settings.harmonicOption();
    return option == HarmonicOption::WithSuperpositionAngle ||
           option == HarmonicOption::WithUnbalance ||
           settings.saveMode == SaveMode::CurrentThdMax || channels.has_value();
}

void declareConvertOptions(CLI::App& command, ConvertOptions& options, bool withOutput) {
    auto pending = std::make_shared<PendingChoices>();
    addArgument(command, "INPUT_DIR", "the folder of recordings", false,
                [&options](const std::string& v) { options.inputDir = v; });
    if (withOutput) {
        addValue(command, "--output", "NAME", "the result name; its extension follows --harmonics",
                 [&options](const std::string& v) {
                     if (v.empty()) fail("--output: the result name is empty");
                     options.outputName = v;
                 })
            ->required();
    }
    declareChoices(command, options.settings, *pending);
    declareWiring(command, options, *pending);
    declareScaling(command, options);
    if (withOutput) declareRun(command, options);
    whenParsed(command, [&options, pending] { checkCombinations(options, *pending); });
}

CLI::App& addConvertCommand(CLI::App& program, ConvertOptions& options) {
    CLI::App& command = addCommand(
        program, "convert", "analyse a folder of recordings into harm result files", kDetails);
    declareConvertOptions(command, options);
    return command;
}

ConvertOptions parseConvertOptions(const Args& args) {
    CLI::App command("waveharm-cli convert");
    prepareCommand(command, kDetails);
    ConvertOptions options;
    declareConvertOptions(command, options);
    parseCommandLine(command, args);
    return options;
}

int chooseFeederCount(const ConvertOptions& options, std::optional<int> offeredFeeders) {
    if (options.feeders) return *options.feeders;
    if (options.needsSingleFeeder() || !offeredFeeders) return 1;
    return std::clamp(*offeredFeeders, 1, kMaxChannelFeeders);
}

ConversionSettings resolveConvertSettings(const ConvertOptions& options,
                                          std::optional<int> offeredFeeders) {
    ConversionSettings s = options.settings;
    const int n = chooseFeederCount(options, offeredFeeders);
    if (offeredFeeders && n > *offeredFeeders)
        fail("--feeders " + std::to_string(n) + ": the recordings' channels hold at most " +
             std::to_string(*offeredFeeders) + " feeder(s) for this measurement type");
    if (n > 1) {
        // The settings screen offers these only while one feeder is measured.
        if (s.harmonicOption() == HarmonicOption::WithSuperpositionAngle)
            fail("--harmonics angle: one feeder only (use angle-unbalance)");
        if (s.harmonicOption() == HarmonicOption::WithUnbalance)
            fail("--harmonics unbalance: one feeder only (use angle-unbalance)");
        if (s.saveMode == SaveMode::CurrentThdMax) fail("--save ithd-max: one feeder only");
        if (options.channels) fail("--channels: one feeder only");
    }
    s.setFeederCount(n);
    if (n == 1 && !options.channels && !pairedChannels(s.measurementType)) {
        // One channel per feeder: the current is on ch2, next to the line voltage.
        chooseChannel(s, ChosenQuantity::CurrentR, 2);
    }
    if (options.channels) {
        for (int q = 0; q < 4; ++q)
            s.channelMap[q] = static_cast<std::int16_t>((*options.channels)[q]);
    }

    if (options.ctRatios.size() > static_cast<std::size_t>(n))
        fail("--ct: " + std::to_string(options.ctRatios.size()) + " ratios for " +
             std::to_string(n) + " feeder(s)");
    if (options.clampRanges.size() > static_cast<std::size_t>(n))
        fail("--clamp: " + std::to_string(options.clampRanges.size()) + " ranges for " +
             std::to_string(n) + " feeder(s)");
    fillPerFeeder(s.ctRatio, options.ctRatios, same);
    fillPerFeeder(s.currentSenseOhms, options.clampRanges, clampSense);
    if (options.shuntOhms) s.currentSenseOhms[0] = *options.shuntOhms;

    checkFeederNumbers("--invert-current", options.invertCurrentFeeders, n);
    checkFeederNumbers("--line-input", options.lineInputFeeders, n);
    for (int f : options.invertCurrentFeeders) s.invertCurrent[f - 1] = true;
    for (int f : options.lineInputFeeders) s.lineVoltageInput[f - 1] = true;

    s.outputFileName = outputFileNameFor(options.outputName, s.outputExtension());
    return s;
}

}  // namespace waveharm::cli
