// `waveharm-cli check`: the wiring check of the settings screen's start on the console.
// The first readable recording of the folder is checked under the wiring options of
// `convert`; every finding is one line naming its feeder.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/cli_commands.h"
#include "app/cli_convert_options.h"
#include "display/number_format.h"
#include "display/wiring_texts.h"
#include "engine/wiring_findings.h"
#include "input/recording.h"

namespace waveharm::cli {

namespace {

constexpr const char* kPrefix = "waveharm-cli check";

constexpr const char* kCheckDetails =
    "Checks the wiring on the folder's first readable recording in recording-time order,\n"
    "as the settings screen does before a run: the fundamental frequency, the line\n"
    "voltages, each feeder's currents and their angles against their own phase voltage,\n"
    "then one line per finding (a current reversed, R and T exchanged, a current on\n"
    "another feeder's channel, a dead channel, R and T far apart, line voltages exchanged,\n"
    "inverted or missing, power flowing back, a load too light to judge) with the\n"
    "settings change that puts it right.\n"
    "Exit status: 0 nothing found, 1 something found, 2 usage error or no readable\n"
    "recording.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kPrefix, message.c_str());
    return 2;
}

struct FirstRecording {
    std::string name;
    Recording recording;
};

// The earliest recording that reads under `settings`, as the settings screen makes it
// current after a scan.
std::optional<FirstRecording> firstReadable(const WaveformFileList& files,
                                            const ConversionSettings& settings) {
    const ReadOptions read = ReadOptions::from(settings);
    const int first = std::max(0, files.firstDatedIndex());
    for (int k = 0; k < files.count(); ++k) {
        const int i = (first + k) % files.count();
        try {
            return FirstRecording{files.names[static_cast<std::size_t>(i)],
                                  readRecording(files.pathOf(i), read)};
        } catch (const InputError& e) {
            std::fprintf(stderr, "warning: %s: %s\n",
                         files.names[static_cast<std::size_t>(i)].c_str(), e.reason().c_str());
        }
    }
    return std::nullopt;
}

void printCheck(const WiringCheckResult& check, const WiringJudgement& j) {
    std::printf("%s\n", wiringFrequencyText(check).c_str());
    std::printf("%s  T-S/R-S %s°\n", wiringVoltageLine(check).c_str(),
                formatNumber(j.voltageAngleDeg, "##0.0").c_str());
    for (std::size_t f = 0; f < check.feederCurrents.size(); ++f) {
        const int feeder = static_cast<int>(f);
        std::printf("F%d %s  %s\n", feeder + 1, wiringCurrentLine(check, feeder).c_str(),
                    wiringAngleText(j, feeder).c_str());
    }
    for (const WiringFinding& w : j.findings) {
        const std::string fix = wiringFixText(w.fix);
        std::printf("%s%s\n", wiringFindingText(w).c_str(),
                    fix.empty() ? "" : ("  → " + fix).c_str());
    }
    std::printf("%s\n", wiringVerdictText(j).c_str());
}

int check(const ConvertOptions& options) {
    std::error_code ec;
    if (!std::filesystem::is_directory(utf8Path(options.inputDir), ec))
        return usageError("'" + options.inputDir + "' is not a folder");
    WaveformFileList files;
    try {
        files = scanFolder(utf8Path(options.inputDir), options.settings.wevFiles, 1);
    } catch (const InputError& e) {
        return usageError(options.inputDir + ": " + e.reason());
    }
    std::optional<FirstRecording> first = firstReadable(files, options.settings);
    if (!first) return usageError("no readable recording in '" + options.inputDir + "'");

    ConversionSettings settings;
    try {
        settings = resolveConvertSettings(
            options, maxFeederCount(first->recording.header, options.settings.measurementType));
        saveProfileIfAsked(options, settings);
    } catch (const UsageError& e) {
        return usageError(e.what());
    }
    std::printf("%s\n", first->name.c_str());
    WindowWaveforms window;
    try {
        // Read again: the options' inversions and exchanges apply as the run reads.
        first->recording = readRecording(utf8Path(options.inputDir) / utf8Path(first->name),
                                         ReadOptions::from(settings));
        const WiringCheckResult result = runWiringCheck(first->recording, settings, window);
        const WiringJudgement j =
            judgeWiring(result, settings, first->recording.header.countsPerDiv);
        printCheck(result, j);
        return j.findings.empty() ? 0 : 1;
    } catch (const WiringCheckError& e) {
        return usageError(first->name + ": " + wiringFaultText(e));
    } catch (const AnalysisError& e) {
        return usageError(first->name + ": " + e.what());
    } catch (const InputError& e) {
        return usageError(first->name + ": " + e.reason());
    }
}

}  // namespace

Command declareCheck(CLI::App& program) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App& command = addCommand(program, "check",
                                   "check the wiring on a folder's first recording", kCheckDetails);
    declareConvertOptions(command, *options, false);
    return {&command, [options] { return check(*options); }};
}

}  // namespace waveharm::cli
