#pragma once
// The sub-commands of waveharm-cli. Each takes the arguments after its name and
// returns the process exit status (0 success, 1 partial, 2 usage/output error).

#include <string>
#include <vector>

namespace waveharm::cli {

using Args = std::vector<std::string>;

int runDemo(const Args& args);
int runInfo(const Args& args);
int runConvert(const Args& args);
int runDump(const Args& args);

/// True when the arguments ask for help ("--help" or "-h").
bool wantsHelp(const Args& args);

}  // namespace waveharm::cli
