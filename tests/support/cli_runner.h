#pragma once
// Runs waveharm-cli from a test, without a shell: the arguments reach the program as
// given (blanks and Japanese names included) on Linux and on Windows alike.

#include <filesystem>
#include <string>
#include <vector>

namespace waveharm::testing {

struct CliOptions {
    bool withErrors = true;           ///< stderr into the output too (else discarded)
    long long fileSizeLimit = 0;      ///< > 0: no file the program writes grows past it
    std::filesystem::path directory;  ///< working folder; empty: the test's own
};

struct CliResult {
    int status = -1;     ///< the exit status; -1 when the program did not exit normally
    std::string output;  ///< what it printed (UTF-8, lines ending in LF)
};

/// Runs the command-line program with `args` (UTF-8) and waits for it.
CliResult runCli(const std::vector<std::string>& args, const CliOptions& options = {});

/// True on systems that can cap the size of a process's files (not Windows).
bool canLimitFileSize();

/// "a b  c" → {"a", "b", "c"}: option lists written as one text.
std::vector<std::string> words(const std::string& text);

}  // namespace waveharm::testing
