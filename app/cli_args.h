#pragma once
// A small option parser shared by the waveharm-cli commands.
//
//   const ParsedArgs a = parseArgs(args, {"--model", "--count"}, {"--8840"});
//   a.positional      -> arguments that are not options, in order
//   a.value("--model") -> the option's value, or nothing when absent
//   a.has("--8840")    -> whether a flag was given
//
// Options take their value as the next argument or after "=" ("--count 5",
// "--count=5"). An unknown option, a missing value or a value that is not a number
// where one is expected throws UsageError, which the commands answer with their
// usage text and exit status 2.

#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli_commands.h"

namespace waveharm::cli {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    bool has(const std::string& flag) const { return flags.count(flag) > 0; }
    std::optional<std::string> value(const std::string& option) const;
    /// The option as an integer in [lo, hi], or `fallback` when absent; UsageError
    /// when it is not such an integer.
    long long intValue(const std::string& option, long long fallback, long long lo,
                       long long hi) const;
    /// The option as a number, or `fallback` when absent; UsageError when not a number.
    double doubleValue(const std::string& option, double fallback) const;
};

/// Splits arguments into positionals, options with a value (`valueOptions`) and flags
/// (`flagOptions`). Throws UsageError for anything else starting with "--".
ParsedArgs parseArgs(const Args& args, std::initializer_list<std::string_view> valueOptions,
                     std::initializer_list<std::string_view> flagOptions);

}  // namespace waveharm::cli
