// waveharm-cli info: a recording's information as the settings screen's
// "入力ファイル情報" frame shows it, or a folder's time-ordered list.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/cli_commands.h"
#include "app/cli_names.h"
#include "app/cli_record_info.h"
#include "exchange/comtrade.h"
#include "exchange/csv_record.h"
#include "input/folder_scan.h"
#include "input/header_text.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm::cli {

namespace {

constexpr const char* kInfoDetails =
    "For a recording: its information (model, start, time axis, record length, samples,\n"
    "sampling rate, pre-trigger, record time, points per division), the input range of\n"
    "each channel and the feeder counts it offers per measurement type.\n"
    "For a folder: its recordings in recording-time order with start time, model and\n"
    "channels, then the first and last start time and the number of files.\n"
    "For a record of another instrument (a COMTRADE .cfg or .cff, a CSV file): its\n"
    "information, its channels with their numbers, names, phases, units and ratios, its\n"
    "sampling rates, the stretch the analysis reads and the channel map proposed for\n"
    "--type.\n";

enum class RecordKind { Recorder, Comtrade, Csv };

struct InfoCommand {
    std::filesystem::path path;
    ReadOptions options;
    std::optional<RecordKind> kind;
    CsvOptions csv;
    MeasurementType type = MeasurementType::ThreePhase2M;
};

// The kind of a file from its extension: .cfg and .cff are COMTRADE, .csv is CSV.
RecordKind kindOfFile(const std::filesystem::path& path) {
    std::string ext = utf8Text(path.extension());
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (ext == ".cfg" || ext == ".cff") return RecordKind::Comtrade;
    if (ext == ".csv") return RecordKind::Csv;
    return RecordKind::Recorder;
}

constexpr MeasurementType kTypes[] = {MeasurementType::SinglePhase2W,
                                      MeasurementType::SinglePhase3W, MeasurementType::ThreePhase2M,
                                      MeasurementType::ThreePhase1M, MeasurementType::ThreePhase3M};
constexpr const char* kTypeCaptions[] = {"単相２線", "単相３線", "三相２Ｍ", "三相１Ｍ",
                                         "三相３Ｍ"};

void printLine(const char* caption, const std::string& value) {
    std::printf("  %s: %s\n", caption, value.c_str());
}

void printRecording(const std::filesystem::path& path, const Recording& r) {
    const RecorderFileHeader& h = r.header;
    std::printf("入力ファイル情報: %s\n", utf8Text(path.filename()).c_str());
    printLine("測定器形式", h.model);
    printLine("測定年月日", h.dateText());
    printLine("測定開始時間", h.timeText());
    printLine("時間軸(/DIV)", h.timeAxisText);
    printLine("記録長  DIV", h.recordLengthText);
    printLine("全ｻﾝﾌﾟﾙ数", std::to_string(h.totalSamples));
    printLine("ｻﾝﾌﾟﾘﾝｸﾞ周期", numberText(h.samplingRateKHz) + " kHz");
    printLine("ﾌﾟﾘﾄﾘｶﾞ", numberText(h.pretrigger) + " %");
    printLine("記録時間", numberText(h.recordTimeMs) + " ms");
    printLine("ﾃﾞｰﾀ数 (/DIV)", numberText(h.pointsPerDiv));
    std::printf("入力レンジ(/DIV)\n");
    for (int s = 0; s < kSlotCount && s < h.channelCount; ++s)
        std::printf("  %-6s %s\n", h.slots[s].name.c_str(), h.slots[s].rangeText.c_str());
    std::printf("測定ﾌｨｰﾀﾞ数\n");
    for (int t = 0; t < 5; ++t)
        std::printf("  %s: 1..%d\n", kTypeCaptions[t], maxFeederCount(h, kTypes[t]));
}

void printFolder(const WaveformFileList& list, const ReadOptions& options) {
    for (int i = 0; i < list.count(); ++i) {
        std::string details;
        try {
            const RecorderFileHeader h = readHeader(list.pathOf(i), options);
            details = h.model + "  " + std::to_string(h.channelCount) + " ch";
        } catch (const InputError& e) {
            details = "(" + e.reason() + ")";
        }
        std::printf("%-16s %-19s  %s\n", list.names[i].c_str(), list.startText(i).c_str(),
                    details.c_str());
    }
    for (const ScanProblem& p : list.problems) std::printf("problem: %s\n", p.text().c_str());
    for (const std::string& r : list.renamed) std::printf("renamed: %s\n", r.c_str());
    if (list.count() >= 2) {
        std::printf("first: %s\n", list.firstStartText().c_str());
        std::printf("last:  %s\n", list.lastStartText().c_str());
    }
    std::printf("files: %d\n", list.count());
}

// Without --8840, a folder holding only 8840 recordings (or a single .wav/.wev file)
// is read with the 8840 layout, as the 8840 option would.
bool looks8840(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec))
        return matchesRecordingPattern(utf8Text(path.filename()), true);
    bool mem = false;
    bool wev = false;
    for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
        const std::string name = utf8Text(entry.path().filename());
        mem = mem || matchesRecordingPattern(name, false);
        wev = wev || matchesRecordingPattern(name, true);
    }
    return wev && !mem;
}

}  // namespace

Command declareInfo(CLI::App& program) {
    auto info = std::make_shared<InfoCommand>();
    CLI::App& command =
        addCommand(program, "info",
                   "show a recording's information, or a folder's time-ordered list", kInfoDetails);
    addArgument(command, "PATH", "a recording or a folder of recordings", false,
                [info](const std::string& v) { info->path = utf8Path(v); });
    addFlag(command, "--8840", "read the 8840 layout (*.wav, *.wev) instead of *.MEM",
            [info] { info->options.wevFiles = true; });
    addFlag(command, "--comtrade", "read a COMTRADE record (.cfg with its .dat, or .cff)",
            [info] { info->kind = RecordKind::Comtrade; });
    addFlag(command, "--csv", "read a CSV record", [info] { info->kind = RecordKind::Csv; });
    addValue(command, "--rate", "HZ", "the sampling rate of a CSV record without a time column",
             [info](const std::string& v) { info->csv.rate = positiveValue("--rate", v); });
    addChoice(command, "--type", kMeasurementTypeNames,
              "measurement type the proposed channel map is for", info->type,
              [info](MeasurementType t) { info->type = t; });
    addValue(
        command, "--time-offset", "HOURS", "time-difference correction added to the start time",
        [info](const std::string& v) {
            if (!parseTimeOffsetHours(v, info->options.timeOffsetHours))
                throw UsageError("--time-offset: '" + v + "' is not a number of hours within ±48");
        });
    return {&command, [info] {
                ReadOptions options = info->options;
                const std::filesystem::path& path = info->path;
                if (!options.wevFiles) options.wevFiles = looks8840(path);
                try {
                    const RecordKind kind = info->kind.value_or(kindOfFile(path));
                    if (kind == RecordKind::Comtrade && !std::filesystem::is_directory(path)) {
                        printChannelRecord(path, readComtrade(path), info->type);
                        return 0;
                    }
                    if (kind == RecordKind::Csv && !std::filesystem::is_directory(path)) {
                        printChannelRecord(path, readCsvRecord(path, info->csv), info->type);
                        return 0;
                    }
                    if (std::filesystem::is_directory(path))
                        printFolder(scanFolder(path, options.wevFiles), options);
                    else
                        printRecording(path, readRecording(path, options));
                } catch (const InputError& e) {
                    std::fprintf(stderr, "waveharm-cli info: %s\n", e.what());
                    return 1;
                }
                return 0;
            }};
}

}  // namespace waveharm::cli
