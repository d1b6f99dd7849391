#pragma once
// The command-line parser every waveharm-cli command uses: CLI11 sub-commands whose
// option values are checked here, with the messages all commands share.
//
//   CLI::App& demo = addCommand(program, "demo", "write a folder of demo recordings", text);
//   addValue(demo, "--count", "N", "recordings [12]", [&o](const std::string& v) {
//       o.count = int(wholeNumberValue("--count", v, 1, 1000));
//   });
//   whenParsed(demo, [&o] { /* checks that need every option */ });
//
// Options take their value as the next word or after "=" ("--count 5", "--count=5"); an
// option given twice keeps the last value unless it is repeatable. A value's function
// runs when the command line is parsed: a bad value, an unknown option or a missing value
// throws UsageError, one line naming the option and what is wrong with it.

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "app/cli_names.h"

namespace waveharm::cli {

using Args = std::vector<std::string>;
using ValueHandler = std::function<void(const std::string&)>;

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// `text` as a finite number; UsageError naming `option` otherwise.
double numberValue(const std::string& option, const std::string& text);
/// `text` as a number greater than 0.
double positiveValue(const std::string& option, const std::string& text);
/// `text` as a whole number from `lo` to `hi`.
long long wholeNumberValue(const std::string& option, const std::string& text, long long lo,
                           long long hi);

/// The value `text` names in `table`; UsageError listing the names otherwise.
template <class T, std::size_t N>
T valueNamed(const Named<T> (&table)[N], const std::string& option, const std::string& text) {
    std::string allowed;
    for (const auto& entry : table) {
        if (text == entry.name) return entry.value;
        allowed += (allowed.empty() ? "" : ", ") + std::string(entry.name);
    }
    throw UsageError(option + ": '" + text + "' is not one of " + allowed);
}

/// Gives `command` (a program or one of its commands) the help layout and option rules
/// of waveharm-cli; `details` is the text after the option list.
void prepareCommand(CLI::App& command, const std::string& details);

/// A command of `program`: `summary` is its line in the program's help.
CLI::App& addCommand(CLI::App& program, const std::string& name, const std::string& summary,
                     const std::string& details);

/// An option with one value, passed to `handle` as typed.
CLI::Option* addValue(CLI::App& command, const std::string& name, const std::string& valueName,
                      const std::string& help, ValueHandler handle);

/// An option that may be given several times; `handle` receives every value in turn.
CLI::Option* addRepeatable(CLI::App& command, const std::string& name, const std::string& valueName,
                           const std::string& help, ValueHandler handle);

/// An option without a value.
CLI::Option* addFlag(CLI::App& command, const std::string& name, const std::string& help,
                     std::function<void()> set);

/// A choice from `table`: the help lists the names and shows `initial`'s as the default.
template <class T, std::size_t N>
CLI::Option* addChoice(CLI::App& command, const std::string& name, const Named<T> (&table)[N],
                       const std::string& help, std::type_identity_t<std::optional<T>> initial,
                       std::type_identity_t<std::function<void(T)>> set) {
    std::string text = help;
    if (initial) text += " [" + std::string(nameOf(table, *initial)) + "]";
    return addValue(command, name, choiceList(table), text,
                    [&table, name, set](const std::string& v) { set(valueNamed(table, name, v)); });
}

/// The required argument `name` (one word, or one or more when `many`).
CLI::Option* addArgument(CLI::App& command, const std::string& name, const std::string& help,
                         bool many, ValueHandler handle);

/// Checks that need every option of `command` (combinations, defaults that depend on
/// other options); they run once the command line is parsed, after words that no option
/// takes have been refused.
void whenParsed(CLI::App& command, std::function<void()> check);

enum class Parsed { Run, Help };

/// Parses `args` (the words after the program's name) against `app`. Returns Help, and
/// looks at nothing else, when "--help" or "-h" is among them. Throws UsageError.
Parsed parseCommandLine(CLI::App& app, const Args& args);

/// The help of `command`, its usage line first.
std::string helpText(const CLI::App& command);

}  // namespace waveharm::cli
