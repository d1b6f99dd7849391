#include "app/cli_convert_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "base/utf8_path.h"
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
    "Records of other instruments: --comtrade (*.cfg with their *.dat, *.cff) or --csv\n"
    "(*.csv with a header row; a time column or --rate). --map says which channel\n"
    "carries each quantity: VRS, VTS (line voltages), I1R, I1T (feeder 1's currents; I1S\n"
    "too for 3p3m), ..., each a channel number #n, a channel's name, X-Y of two channels\n"
    "or -X; without it the map proposed from the channels' phases and units is used\n"
    "('info RECORD' shows it). Each channel's own ratio gives primary values unless --pt\n"
    "or --ct is given, which then scale the values as the file writes them.\n"
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

// A profile's choices as the options would give them; options declared after --profile
// replace them, since CLI11 runs the options' handlers in the order they are declared.
void takeProfile(ConvertOptions& o, PendingChoices& pending, const SiteProfile& p) {
    ConversionSettings& s = o.settings;
    s.measurementType = p.measurementType;
    s.setHarmonicOption(p.harmonicOption);
    pending.samples = p.sampleCount;
    pending.harmonicsGiven = false;
    for (int i = 0; i < 5; ++i)
        if (phaseCorrectionDegreesFor(i) == p.phaseCorrectionDegrees) pending.phaseCorrection = i;
    s.saveMode = p.saveMode;
    s.syncMode = p.syncMode;
    s.interpolation = p.interpolation;
    s.ptRatio = static_cast<std::int16_t>(p.ptRatio);
    s.swapVoltages = p.swapVoltages;
    s.invertVoltage = p.invertVoltage;
    s.outputUnderOneMinute = p.outputUnderOneMinute;
    s.timeOffsetHours = p.timeOffsetHours;
    s.siteName = p.siteName;
    o.feeders = static_cast<int>(p.feeders.size());
    o.ctRatios.clear();
    o.clampRanges.clear();
    o.invertCurrentFeeders.clear();
    o.lineInputFeeders.clear();
    for (std::size_t f = 0; f < p.feeders.size(); ++f) {
        const FeederProfile& feeder = p.feeders[f];
        s.feederNames[f] = feeder.name;
        o.ctRatios.push_back(static_cast<float>(feeder.ctRatio));
        o.clampRanges.push_back(static_cast<float>(feeder.clampAmperes));
        if (feeder.invertCurrent) o.invertCurrentFeeders.push_back(int(f) + 1);
        if (feeder.lineVoltageInput) o.lineInputFeeders.push_back(int(f) + 1);
    }
    // A shunt measures the one feeder instead of the clamp.
    if (p.shuntOhms) o.clampRanges.clear();
    o.shuntOhms = p.shuntOhms ? std::optional<float>(float(*p.shuntOhms)) : std::nullopt;
    o.channels = p.channels;
    o.campaign = p.campaign;
    o.fromProfile = {
        true, !o.clampRanges.empty(), o.shuntOhms.has_value(), o.channels.has_value(), true, true};
}

// An option given on the command line replaces what the profile gave for it.
template <class T>
void replaceProfiles(bool& fromProfile, T& value) {
    if (!fromProfile) return;
    fromProfile = false;
    value = T{};
}

// A float as the shortest decimal that reads back to it ("0.1", not 0.100000001).
double typed(float v) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    double d = v;
    std::from_chars(buffer, end, d);
    return d;
}

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
             [&s, &o](const std::string& v) {
                 // The PT ratio is kept as a 16-bit integer.
                 s.ptRatio = static_cast<std::int16_t>(wholeNumberValue("--pt", v, 1, 32767));
                 o.ptGiven = true;
             });
    addValue(command, "--ct", "R1,R2,...",
             "CT ratio per feeder [1]; later feeders\nrepeat the last value",
             [&o](const std::string& v) {
                 o.ctRatios = parsePositiveList("--ct", v);
                 o.fromProfile.ct = false;
             });
    // A sensor given here replaces the profile's sensor of feeder 1.
    addValue(command, "--clamp", "A1,A2,...",
             "clamp range in A per feeder (0.2 V at full\n"
             "range) [2]; later feeders repeat the last",
             [&o](const std::string& v) {
                 o.clampRanges = parsePositiveList("--clamp", v);
                 o.fromProfile.clamp = false;
                 replaceProfiles(o.fromProfile.shunt, o.shuntOhms);
             });
    addValue(command, "--shunt", "OHMS", "shunt resistance of feeder 1",
             [&o](const std::string& v) {
                 o.shuntOhms = float(positiveValue("--shunt", v));
                 o.fromProfile.shunt = false;
             });
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
             [&o](const std::string& v) {
                 o.channels = parseChannels(v);
                 o.fromProfile.channels = false;
             });
    addFlag(command, "--swap-voltages", "exchange the R-S and T-S data",
            [&s] { s.swapVoltages = true; });
    addRepeatable(command, "--invert-voltage", "rs|ts", "invert a line voltage (repeatable)",
                  [&s](const std::string& v) {
                      s.invertVoltage[valueNamed(kLineVoltages, "--invert-voltage", v)] = true;
                  });
    addRepeatable(command, "--invert-current", "F", "invert feeder F's current (repeatable)",
                  [&o](const std::string& v) {
                      replaceProfiles(o.fromProfile.invert, o.invertCurrentFeeders);
                      o.invertCurrentFeeders.push_back(
                          int(wholeNumberValue("--invert-current", v, 1, kMaxChannelFeeders)));
                  });
    addRepeatable(command, "--line-input", "F",
                  "feeder F's pair carries line quantities\n(repeatable)",
                  [&o](const std::string& v) {
                      replaceProfiles(o.fromProfile.lineInput, o.lineInputFeeders);
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
    addFlag(command, "--comtrade", "the folder holds COMTRADE records\n(*.cfg with *.dat, *.cff)",
            [&s] { s.records.format = RecordFormat::Comtrade; });
    addFlag(command, "--csv", "the folder holds CSV records",
            [&s] { s.records.format = RecordFormat::Csv; });
    addValue(command, "--rate", "HZ", "sampling rate of CSV records [from their\ntime column]",
             [&s](const std::string& v) { s.records.csvRate = positiveValue("--rate", v); });
    addValue(command, "--map", "VRS=EXPR,...",
             "the channel of each quantity of a record\n[proposed from phases and units]",
             [&s](const std::string& v) {
                 try {
                     parseChannelMap(v, s.records.channelMap);
                 } catch (const std::invalid_argument& e) {
                     fail(std::string("--map: ") + e.what());
                 }
             });
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

// Options of the recorder's files and of records of other instruments do not mix.
void checkRecordOptions(const ConvertOptions& options) {
    const ConversionSettings& s = options.settings;
    const bool records = s.records.format != RecordFormat::Recorder;
    if (s.records.csvRate && s.records.format != RecordFormat::Csv)
        fail("--rate: only CSV records (--csv) take a rate");
    if (!s.records.channelMap.empty() && !records)
        fail("--map: only records of other instruments (--comtrade, --csv) take a channel map");
    if (!records) return;
    if (s.wevFiles) fail("--8840: the folder holds either 8840 recordings or records");
    if (options.channels) fail("--channels: records take --map");
    if (options.shuntOhms || !options.clampRanges.empty())
        fail(std::string(options.shuntOhms ? "--shunt" : "--clamp") +
             ": a record's currents are amperes already");
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
    // A shunt on the command line measures feeder 1 beside the profile's clamps.
    if (options.shuntOhms && !options.clampRanges.empty() && !options.fromProfile.clamp)
        fail("--shunt and --clamp both set feeder 1's current sensor");
    checkRecordOptions(options);
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
    addValue(command, "--profile", "FILE",
             "a site profile: its choices, which the\noptions on the command line override",
             [&options, pending](const std::string& v) {
                 try {
                     takeProfile(options, *pending, readSiteProfile(utf8Path(v)));
                 } catch (const ProfileError& e) {
                     fail(std::string("--profile: ") + e.what());
                 }
             });
    addValue(command, "--save-profile", "FILE", "write the run's site profile to FILE",
             [&options](const std::string& v) { options.saveProfile = v; });
    addValue(command, "--site", "NAME", "the site's name, kept in the profile",
             [&options](const std::string& v) { options.settings.siteName = v; });
    addValue(command, "--names", "N1,N2,...", "the feeders' names, from feeder 1",
             [&options](const std::string& v) {
                 const auto names = splitList(v);
                 if (names.size() > std::size_t(kMaxChannelFeeders))
                     fail("--names: at most 7 names");
                 options.settings.feederNames = {};
                 for (std::size_t f = 0; f < names.size(); ++f)
                     options.settings.feederNames[f] = names[f];
             });
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
    // A one-feeder profile's channels give way to more feeders asked for here.
    std::optional<std::array<int, 4>> channels = options.channels;
    if (options.fromProfile.channels && n > 1) channels.reset();
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
        if (channels) fail("--channels: one feeder only");
    }
    s.setFeederCount(n);
    if (n == 1 && !channels && !pairedChannels(s.measurementType)) {
        // One channel per feeder: the current is on ch2, next to the line voltage.
        chooseChannel(s, ChosenQuantity::CurrentR, 2);
    }
    if (channels) {
        for (int q = 0; q < 4; ++q) s.channelMap[q] = static_cast<std::int16_t>((*channels)[q]);
    }

    // A profile's feeders beyond the count asked for here are left out.
    std::vector<float> ctRatios = options.ctRatios;
    std::vector<float> clampRanges = options.clampRanges;
    if (options.fromProfile.ct && ctRatios.size() > std::size_t(n)) ctRatios.resize(n);
    if (options.fromProfile.clamp && clampRanges.size() > std::size_t(n)) clampRanges.resize(n);
    if (ctRatios.size() > static_cast<std::size_t>(n))
        fail("--ct: " + std::to_string(ctRatios.size()) + " ratios for " + std::to_string(n) +
             " feeder(s)");
    if (clampRanges.size() > static_cast<std::size_t>(n))
        fail("--clamp: " + std::to_string(clampRanges.size()) + " ranges for " + std::to_string(n) +
             " feeder(s)");
    fillPerFeeder(s.ctRatio, ctRatios, same);
    fillPerFeeder(s.currentSenseOhms, clampRanges, clampSense);
    if (options.shuntOhms) s.currentSenseOhms[0] = *options.shuntOhms;

    if (!options.fromProfile.invert)
        checkFeederNumbers("--invert-current", options.invertCurrentFeeders, n);
    if (!options.fromProfile.lineInput)
        checkFeederNumbers("--line-input", options.lineInputFeeders, n);
    for (int f : options.invertCurrentFeeders)
        if (f <= n) s.invertCurrent[f - 1] = true;
    for (int f : options.lineInputFeeders)
        if (f <= n) s.lineVoltageInput[f - 1] = true;
    for (int f = n; f < kMaxFeeders; ++f) s.feederNames[f].clear();

    s.outputFileName = outputFileNameFor(options.outputName, s.outputExtension());
    s.records.ratiosGiven = options.ptGiven || !options.ctRatios.empty();
    return s;
}

SiteProfile profileOfRun(const ConvertOptions& options, const ConversionSettings& s) {
    SiteProfile p = profileChoicesOf(s);
    p.campaign = options.campaign;
    const std::size_t n = p.feeders.size();
    auto listed = [](const std::vector<float>& values, std::size_t f, float otherwise) {
        return values.empty() ? otherwise : values[std::min(f, values.size() - 1)];
    };
    for (std::size_t f = 0; f < n; ++f) {
        p.feeders[f].ctRatio = typed(listed(options.ctRatios, f, 1));
        p.feeders[f].clampAmperes = typed(listed(options.clampRanges, f, 2));
    }
    if (n == 1) {
        if (options.shuntOhms) p.shuntOhms = typed(*options.shuntOhms);
        if (options.channels) p.channels = options.channels;
    }
    return p;
}

void saveProfileIfAsked(const ConvertOptions& options, const ConversionSettings& settings) {
    if (options.saveProfile.empty()) return;
    try {
        writeSiteProfile(utf8Path(options.saveProfile), profileOfRun(options, settings));
    } catch (const std::exception& e) {
        throw UsageError(e.what());
    }
}

}  // namespace waveharm::cli
