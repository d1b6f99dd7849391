// waveharm-cli dump: a harm result file as CSV, one line per record, so the results
// can go straight into a spreadsheet.

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/cli_commands.h"
#include "base/error.h"
#include "output/record_csv.h"
#include "output/result_reader.h"

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

bool writeOut(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

int dumpFile(const DumpOptions& opt) {
    ResultFileReader reader(opt.file, opt.option, opt.feeders);
    const ResultRecordFormat& format = reader.format();
    if (!writeOut(recordCsvHeader(format))) return -1;
    std::string lines;
    bool written = true;
    try {
        reader.read([&](const RecordView& record) {
            appendRecordCsvLine(lines, record, format);
            if (lines.size() < (1u << 16)) return;
            written = written && writeOut(lines);
            lines.clear();
        });
    } catch (const InputError&) {
        // The records before a broken one are printed, as they are good.
        writeOut(lines);
        throw;
    }
    return written && writeOut(lines) ? 0 : -1;
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
