#pragma once
// The sub-commands of waveharm-cli. Each takes the arguments after its name and
// returns the process exit status (0 success, 1 partial, 2 usage/output error).

#include <optional>
#include <string>
#include <vector>

#include "settings/conversion_settings.h"

namespace waveharm::cli {

using Args = std::vector<std::string>;

int runDemo(const Args& args);
int runInfo(const Args& args);
int runConvert(const Args& args);
int runDump(const Args& args);
int runReport(const Args& args);

/// The harmonic option a --harmonics value names (odd49, angle, unbalance,
/// angle-unbalance, 256); nothing for any other text.
std::optional<HarmonicOption> harmonicOptionNamed(const std::string& name);

/// True when the arguments ask for help ("--help" or "-h").
bool wantsHelp(const Args& args);

}  // namespace waveharm::cli
