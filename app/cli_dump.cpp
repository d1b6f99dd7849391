// waveharm-cli dump: a harm result file as CSV, one line per record, so the results
// can go straight into a spreadsheet.

#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "base/date_time.h"
#include "base/error.h"
#include "base/input_file.h"
#include "base/utf8_path.h"
#include "output/record_encoder.h"
#include "output/result_columns.h"
#include "output/result_reader.h"
#include "output/result_writer.h"

namespace waveharm::cli {
namespace {

constexpr const char* kDumpDetails =
    "Prints the records of a harm result file (.hmN, .ha4, .ha5, .hvN, .hnN, and the\n"
    "per-phase .Rh.., .Th.., .Sh.. files) as CSV on standard output, one line per\n"
    "record after a header line naming every column:\n"
    "  date, time            record time stamp (yyyy-mm-dd, hh:mm)\n"
    "  V_hN                  voltage RMS of order N\n"
    "  Ik_hN, Ik_angle_hN    current RMS of feeder k, order N, and its angle to the\n"
    "                        voltage in degrees\n"
    "  V_sup_angle_hN        voltage superposition angle (per-phase files: V_phase_angle)\n"
    "  I1_sup_angle_hN       first feeder's current superposition angle (per-phase files:\n"
    "                        I1_phase_angle)\n"
    "  V_rms_phJ, Ik_rms_phJ RMS value of each phase (three-phase unbalance)\n"
    "\n"
    "The harmonic option and the feeder count follow from the extension; give them\n"
    "for .ha4/.ha5 files whose size admits several feeder counts, or for renamed files.\n";

struct DumpOptions {
    std::string file;
    std::optional<HarmonicOption> option;
    std::optional<int> feeders;
};

std::string headerLine(const ResultLayout& layout) {
    std::string line = "date,time";
    for (const ResultColumn& column : resultColumns(layout)) line += "," + column.name;
    return line + "\n";
}

// The record's time stamp as "yyyy-mm-dd,hh:mm".
std::string stampText(const CivilDateTime& c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d,%02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute);
    return buf;
}

void appendValue(std::string& line, float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, ",%.7g", static_cast<double>(v));
    line += buf;
}

void appendValue(std::string& line, std::int16_t v) { line += "," + std::to_string(v); }

template <class T>
void appendAll(std::string& line, const std::vector<T>& values) {
    for (const T& v : values) appendValue(line, v);
}

std::string recordLine(const ResultRecord& r, const CivilDateTime& time) {
    std::string line = stampText(time);
    appendAll(line, r.voltageRms);
    for (std::size_t k = 0; k < r.currentRms.size(); ++k) {
        appendAll(line, r.currentRms[k]);
        appendAll(line, r.currentAngleDeg[k]);
    }
    appendAll(line, r.voltageAngleDeg);
    appendAll(line, r.firstCurrentAngleDeg);
    if (r.hasUnbalance) {
        for (float v : r.voltageRmsByPhase) appendValue(line, v);
        for (const auto& phases : r.currentRmsByPhase)
            for (float v : phases) appendValue(line, v);
    }
    return line + "\n";
}

bool writeOut(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

int dumpFile(const DumpOptions& opt) {
    InputFile in;
    in.open(utf8Path(opt.file), opt.file, "result file");
    const std::int64_t size = in.size();
    const ResultLayout layout = resolveResultLayout(opt.file, size, opt.option, opt.feeders);
    if (!writeOut(headerLine(layout))) return -1;
    // Record by record, so a month of records never has to fit in memory at once.
    std::vector<std::byte> bytes(static_cast<std::size_t>(layout.recordBytes()));
    for (std::int64_t at = 0, index = 0; at < size; at += layout.recordBytes(), ++index) {
        in.readExactly(at, bytes);
        const ResultRecord record = decodeResultRecord(bytes, layout, opt.file, at);
        const CivilDateTime time =
            recordTime({record.dateField, record.timeField}, opt.file, index, at);
        if (!writeOut(recordLine(record, time))) return -1;
    }
    return 0;
}

}  // namespace

void addResultLayoutOptions(CLI::App& command, std::optional<HarmonicOption>& option,
                            std::optional<int>& feeders) {
    addValue(command, "--feeders", "N", "feeder count 1..9", [&feeders](const std::string& v) {
        feeders = int(wholeNumberValue("--feeders", v, 1, 9));
    });
    addChoice(command, "--harmonics", kHarmonicOptionNames,
              "harmonic option: odd49 (.hm), angle (.ha4),\n"
              "unbalance (.ha5), angle-unbalance (.hv),\n"
              "256 (.hn)",
              std::nullopt, [&option](HarmonicOption h) { option = h; });
}

Command declareDump(CLI::App& program) {
    auto dump = std::make_shared<DumpOptions>();
    CLI::App& command =
        addCommand(program, "dump", "print a harm result file as CSV", kDumpDetails);
    addArgument(command, "RESULT_FILE", "the result file", false,
                [dump](const std::string& v) { dump->file = v; });
    addResultLayoutOptions(command, dump->option, dump->feeders);
    return {&command, [dump] {
                try {
                    if (dumpFile(*dump) != 0 || std::fflush(stdout) != 0) {
                        std::perror("waveharm-cli dump: cannot write the CSV output");
                        return 2;
                    }
                } catch (const InputError& e) {
                    std::fprintf(stderr, "waveharm-cli dump: %s\n", e.what());
                    return 2;
                }
                return 0;
            }};
}

}  // namespace waveharm::cli
