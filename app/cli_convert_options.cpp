#include "app/cli_convert_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <string_view>

#include "output/result_writer.h"
#include "settings/settings_rules.h"

namespace waveharm::cli {

namespace {

constexpr const char* kUsage =
    "usage: waveharm-cli convert INPUT_DIR --output NAME [options]\n"
    "\n"
    "Analyses every recording of INPUT_DIR in recording-time order and writes the harm\n"
    "result file(s): NAME up to its first '.' plus the extension of the harmonic option\n"
    "(three per-phase files for 3p3m).\n"
    "\n"
    "options (defaults in brackets):\n"
    "  --type {1p2w,1p3w,3p2m,3p1m,3p3m}       measurement type [3p2m]\n"
    "  --feeders N                             feeders measured [the most the first\n"
    "                                          recording holds; 1 for single-feeder options]\n"
    "  --samples {256,512,1024}                samples per transform [1024]\n"
    "  --harmonics {odd49,angle,unbalance,angle-unbalance,256}   harmonic option [256]\n"
    "  --save {latest,average,vthd-max,ithd-max}   what a save interval keeps [average]\n"
    "  --sync {zerocross,50hz,60hz,fourier}    fundamental period [zerocross]\n"
    "  --interpolation {linear,sinc}           resampling of the period: straight lines,\n"
    "                                          or band-limited with the period fitted\n"
    "                                          over the record (accurate) [linear]\n"
    "  --pt N                                  PT ratio [60]\n"
    "  --ct R1,R2,...                          CT ratio per feeder [1]; later feeders\n"
    "                                          repeat the last value\n"
    "  --clamp A1,A2,...                       clamp range in A per feeder (0.2 V at full\n"
    "                                          range) [2]; later feeders repeat the last\n"
    "  --shunt OHMS                            shunt resistance of feeder 1\n"
    "  --channels RS,TS,R,T                    recorder channels 1..4, one feeder only\n"
    "                                          [1,2,3,4; 1,3,2,4 for 1p2w and 3p1m]\n"
    "  --swap-voltages                         exchange the R-S and T-S data\n"
    "  --invert-voltage rs|ts                  invert a line voltage (repeatable)\n"
    "  --invert-current F                      invert feeder F's current (repeatable)\n"
    "  --line-input F                          feeder F's pair carries line quantities\n"
    "                                          (repeatable)\n"
    "  --phase-correction {-90,-30,0,30,90}    current phase against the line voltage,\n"
    "                                          3p1m only [0]\n"
    "  --under-one-minute                      a record for every recording, also\n"
    "                                          several within one minute\n"
    "  --8840                                  the folder holds 8840 recordings\n"
    "  --time-offset HOURS                     time-difference correction [0]\n"
    "  --verbose                               one line per recording\n"
    "\n"
    "exit status: 0 every recording analysed, 1 some recordings skipped, 2 usage or\n"
    "output error.\n";

[[noreturn]] void fail(const std::string& message) { throw UsageError(message); }

double parseNumber(const std::string& option, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !std::isfinite(value))
        fail(option + ": '" + text + "' is not a number");
    return value;
}

int parseInteger(const std::string& option, const std::string& text) {
    const double value = parseNumber(option, text);
    if (value != std::floor(value) || std::fabs(value) > 1e9)
        fail(option + ": '" + text + "' is not a whole number");
    return static_cast<int>(value);
}

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
    for (const auto& part : splitList(text)) {
        const double v = parseNumber(option, part);
        if (v <= 0) fail(option + ": " + part + " must be greater than 0");
        values.push_back(static_cast<float>(v));
    }
    if (values.size() > static_cast<std::size_t>(kMaxFeeders))
        fail(option + ": at most " + std::to_string(kMaxFeeders) + " values");
    return values;
}

template <class T>
T choose(const std::string& option, const std::string& text,
         const std::vector<std::pair<std::string_view, T>>& choices) {
    std::string allowed;
    for (const auto& [name, value] : choices) {
        if (text == name) return value;
        allowed += (allowed.empty() ? "" : ", ") + std::string(name);
    }
    fail(option + ": '" + text + "' is not one of " + allowed);
}

std::array<int, 4> parseChannels(const std::string& text) {
    const auto parts = splitList(text);
    if (parts.size() != 4) fail("--channels: four channels RS,TS,R,T are needed");
    std::array<int, 4> channels{};
    for (int q = 0; q < 4; ++q) {
        channels[q] = parseInteger("--channels", parts[q]);
        if (channels[q] < 1 || channels[q] > 4) fail("--channels: channels are 1 to 4");
    }
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

struct Parser {
    ConvertOptions options;
    std::optional<int> samples;
    bool harmonicsGiven = false;
    std::optional<int> phaseCorrection;

    void apply(const std::string& name, const std::string& value);
    void finish();
};

void Parser::apply(const std::string& name, const std::string& value) {
    ConversionSettings& s = options.settings;
    if (name == "--output") {
        if (value.empty()) fail("--output: the result name is empty");
        options.outputName = value;
    } else if (name == "--type") {
        s.measurementType = choose<MeasurementType>(name, value,
                                                    {{"1p2w", MeasurementType::SinglePhase2W},
                                                     {"1p3w", MeasurementType::SinglePhase3W},
                                                     {"3p2m", MeasurementType::ThreePhase2M},
                                                     {"3p1m", MeasurementType::ThreePhase1M},
                                                     {"3p3m", MeasurementType::ThreePhase3M}});
    } else if (name == "--feeders") {
        const int n = parseInteger(name, value);
        if (n < 1 || n > kMaxChannelFeeders)
            fail("--feeders: 1 to " + std::to_string(kMaxChannelFeeders) + " feeders");
        options.feeders = n;
    } else if (name == "--samples") {
        samples = choose<int>(name, value, {{"256", 256}, {"512", 512}, {"1024", 1024}});
    } else if (name == "--harmonics") {
        harmonicsGiven = true;
        s.setHarmonicOption(
            choose<HarmonicOption>(name, value,
                                   {{"odd49", HarmonicOption::Odd1To49},
                                    {"angle", HarmonicOption::WithSuperpositionAngle},
                                    {"unbalance", HarmonicOption::WithUnbalance},
                                    {"angle-unbalance", HarmonicOption::WithAngleAndUnbalance},
                                    {"256", HarmonicOption::HighOrder256}}));
    } else if (name == "--save") {
        s.saveMode = choose<SaveMode>(name, value,
                                      {{"latest", SaveMode::LatestWindow},
                                       {"average", SaveMode::IntervalAverage},
                                       {"vthd-max", SaveMode::VoltageThdMax},
                                       {"ithd-max", SaveMode::CurrentThdMax}});
    } else if (name == "--sync") {
        s.syncMode = choose<SyncMode>(name, value,
                                      {{"zerocross", SyncMode::ZeroCross},
                                       {"50hz", SyncMode::Fixed50Hz},
                                       {"60hz", SyncMode::Fixed60Hz},
                                       {"fourier", SyncMode::Fourier}});
    } else if (name == "--interpolation") {
        s.interpolation = choose<InterpolationMode>(
            name, value,
            {{"linear", InterpolationMode::Linear}, {"sinc", InterpolationMode::BandLimited}});
    } else if (name == "--pt") {
        const int pt = parseInteger(name, value);
        // The PT ratio is kept as a 16-bit integer.
        if (pt <= 0 || pt > 32767) fail("--pt: the PT ratio is 1 to 32767");
        s.ptRatio = static_cast<std::int16_t>(pt);
    } else if (name == "--ct") {
        options.ctRatios = parsePositiveList(name, value);
    } else if (name == "--clamp") {
        options.clampRanges = parsePositiveList(name, value);
    } else if (name == "--shunt") {
        const double ohms = parseNumber(name, value);
        if (ohms <= 0) fail("--shunt: the shunt resistance must be greater than 0");
        options.shuntOhms = static_cast<float>(ohms);
    } else if (name == "--channels") {
        options.channels = parseChannels(value);
    } else if (name == "--invert-voltage") {
        s.invertVoltage[choose<int>(name, value, {{"rs", 0}, {"ts", 1}})] = true;
    } else if (name == "--invert-current") {
        options.invertCurrentFeeders.push_back(parseInteger(name, value));
    } else if (name == "--line-input") {
        options.lineInputFeeders.push_back(parseInteger(name, value));
    } else if (name == "--phase-correction") {
        phaseCorrection = choose<int>(
            name, value,
            {{"-90", 0}, {"-30", 1}, {"0", 2}, {"30", 3}, {"+30", 3}, {"90", 4}, {"+90", 4}});
    } else if (name == "--time-offset") {
        double hours = 0;
        if (!parseTimeOffsetHours(value, hours))
            fail("--time-offset: '" + value + "' is not a number of hours within ±48");
        s.timeOffset = value;
    } else {
        fail("unknown option " + name);
    }
}

void Parser::finish() {
    ConversionSettings& s = options.settings;
    if (options.inputDir.empty()) fail("the input folder INPUT_DIR is missing");
    if (options.outputName.empty()) fail("--output NAME is missing");
    if (samples) {
        // 256 orders need the 1024-point transform; the screen disables 256 and 512.
        if (s.harmonicOption == HarmonicOption::HighOrder256 && *samples != 1024)
            fail(std::string("--samples ") + std::to_string(*samples) +
                 ": the 256-order option needs 1024 samples" +
                 (harmonicsGiven ? "" : " (choose --harmonics other than 256)"));
        s.setSampleCount(*samples);
    }
    if (phaseCorrection) {
        if (*phaseCorrection != 2 && s.measurementType != MeasurementType::ThreePhase1M)
            fail("--phase-correction: only the 3p1m type takes a phase correction");
        s.setPhaseCorrectionIndex(*phaseCorrection);
    }
    if (options.shuntOhms && !options.clampRanges.empty())
        fail("--shunt and --clamp both set feeder 1's current sensor");
}

float same(float v) { return v; }
float clampSense(float amperes) { return clampRangeToSenseOhms(amperes); }

}  // namespace

bool ConvertOptions::needsSingleFeeder() const {
    const auto option = settings.harmonicOption;
    return option == HarmonicOption::WithSuperpositionAngle ||
           option == HarmonicOption::WithUnbalance ||
           settings.saveMode == SaveMode::CurrentThdMax || channels.has_value();
}

const char* convertUsage() { return kUsage; }

ConvertOptions parseConvertOptions(const Args& args) {
    static const std::map<std::string, std::function<void(ConvertOptions&)>, std::less<>> kFlags = {
        {"--swap-voltages", [](ConvertOptions& o) { o.settings.swapVoltages = true; }},
        {"--under-one-minute", [](ConvertOptions& o) { o.settings.outputUnderOneMinute = true; }},
        {"--8840", [](ConvertOptions& o) { o.settings.wevFiles = true; }},
        {"--verbose", [](ConvertOptions& o) { o.verbose = true; }},
    };
    Parser parser;
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            parser.options.help = true;
            return parser.options;
        }
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (auto flag = kFlags.find(arg); flag != kFlags.end()) {
            flag->second(parser.options);
            continue;
        }
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            const std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                parser.apply(arg.substr(0, eq), arg.substr(eq + 1));
                continue;
            }
            if (i + 1 >= args.size()) fail(arg + ": a value is missing");
            parser.apply(arg, args[++i]);
            continue;
        }
        if (!parser.options.inputDir.empty())
            fail("one input folder only ('" + parser.options.inputDir + "' and '" + arg + "')");
        parser.options.inputDir = arg;
    }
    parser.finish();
    return parser.options;
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
        if (s.harmonicOption == HarmonicOption::WithSuperpositionAngle)
            fail("--harmonics angle: one feeder only (use angle-unbalance)");
        if (s.harmonicOption == HarmonicOption::WithUnbalance)
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

    s.outputFileName = outputFileNameFor(options.outputName, s.outputExtension);
    return s;
}

}  // namespace waveharm::cli
