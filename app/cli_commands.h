#pragma once
// The commands of waveharm-cli. Each declares itself and its options on the program's
// parser and returns itself with what runs it once the command line is parsed; that
// returns the process exit status (0 success, 1 partial, 2 usage or output error).

#include <functional>
#include <optional>

#include "app/cli_parser.h"

namespace waveharm::cli {

struct Command {
    CLI::App* parser;
    std::function<int()> run;
};

Command declareDemo(CLI::App& program);
Command declareInfo(CLI::App& program);
Command declareConvert(CLI::App& program);
Command declareCheck(CLI::App& program);
Command declareDump(CLI::App& program);
Command declareReport(CLI::App& program);

/// --feeders and --harmonics, for result files whose layout their name does not tell
/// (dump, report); the targets must outlive the parse.
void addResultLayoutOptions(CLI::App& command, std::optional<HarmonicOption>& option,
                            std::optional<int>& feeders);

}  // namespace waveharm::cli
