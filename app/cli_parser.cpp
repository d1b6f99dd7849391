#include "app/cli_parser.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace waveharm::cli {

namespace {

constexpr std::size_t kHelpColumn = 34;

// The usage line first, then the summary, the arguments, the options and the details.
class HelpFormatter : public CLI::Formatter {
  public:
    HelpFormatter() {
        column_width(kHelpColumn);
        label("Usage", "usage");
        label("OPTIONS", "options");
        label("Positionals", "arguments");
        label("SUBCOMMAND", "COMMAND");
        label("REQUIRED", "");  // the usage line shows what is required
    }

    std::string make_option_opts(const CLI::Option* option) const override {
        std::string text = CLI::Formatter::make_option_opts(option);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text;
    }

    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
        std::string text = make_usage(app, name) + "\n" + make_description(app);
        text += make_positionals(app) + make_groups(app, mode) + make_subcommands(app, mode);
        const std::string footer = make_footer(app);
        return footer.empty() ? text : text + "\n" + footer;
    }
};

// A value that is plainly written: digits, sign, point and exponent only (no spaces,
// no hexadecimal, no "inf").
bool plainNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789+-.eE") == std::string::npos;
}

void rejectUnclaimedWords(const CLI::App& command) {
    for (const std::string& word : command.remaining(false)) {
        if (word.size() > 1 && word[0] == '-') throw UsageError("unknown option '" + word + "'");
        throw UsageError("unexpected argument '" + word + "'");
    }
}

// CLI11's own messages for a missing value name the count and type; ours the option.
std::string messageOf(const CLI::ParseError& e) {
    const std::string text = e.what();
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr &&
        text.find(" missing") != std::string::npos) {
        return text.substr(0, text.find(':')) + ": a value is missing";
    }
    return text;
}

}  // namespace

double numberValue(const std::string& option, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (!plainNumber(text) || end != text.c_str() + text.size() || errno != 0 ||
        !std::isfinite(value))
        throw UsageError(option + ": '" + text + "' is not a number");
    return value;
}

double positiveValue(const std::string& option, const std::string& text) {
    const double value = numberValue(option, text);
    if (!(value > 0)) throw UsageError(option + ": " + text + " must be greater than 0");
    return value;
}

long long wholeNumberValue(const std::string& option, const std::string& text, long long lo,
                           long long hi) {
    const std::string range = " from " + std::to_string(lo) + " to " + std::to_string(hi);
    double value = 0;
    try {
        value = numberValue(option, text);
    } catch (const UsageError&) {
        throw UsageError(option + ": '" + text + "' is not a whole number" + range);
    }
    if (value != std::floor(value) || value < static_cast<double>(lo) ||
        value > static_cast<double>(hi))
        throw UsageError(option + ": '" + text + "' is not a whole number" + range);
    return static_cast<long long>(value);
}

void prepareCommand(CLI::App& command, const std::string& details) {
    command.formatter(std::make_shared<HelpFormatter>());
    command.option_defaults()->group("options");
    command.set_help_flag("-h,--help", "print this help");
    command.allow_extras();  // refused by whenParsed, with the word named
    // On Windows CLI11 would also read "/name" as an option and swallow a path given
    // from the drive's root ("/計測/記録"); every option here is written "--name".
    command.allow_windows_style_options(false);
    command.footer(details);
}

CLI::App& addCommand(CLI::App& program, const std::string& name, const std::string& summary,
                     const std::string& details) {
    CLI::App& command = *program.add_subcommand(name, summary);
    command.group("commands");
    prepareCommand(command, details);
    whenParsed(command, {});
    return command;
}

CLI::Option* addValue(CLI::App& command, const std::string& name, const std::string& valueName,
                      const std::string& help, ValueHandler handle) {
    return command.add_option_function<std::string>(name, std::move(handle), help)
        ->type_name(valueName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CLI::Option* addRepeatable(CLI::App& command, const std::string& name, const std::string& valueName,
                           const std::string& help, ValueHandler handle) {
    return command
        .add_option_function<std::vector<std::string>>(
            name,
            [handle = std::move(handle)](const std::vector<std::string>& values) {
                for (const auto& v : values) handle(v);
            },
            help)
        ->type_name(valueName)
        ->allow_extra_args(false);
}

CLI::Option* addFlag(CLI::App& command, const std::string& name, const std::string& help,
                     std::function<void()> set) {
    return command.add_flag_callback(name, std::move(set), help);
}

CLI::Option* addArgument(CLI::App& command, const std::string& name, const std::string& help,
                         bool many, ValueHandler handle) {
    CLI::Option* option =
        many ? addRepeatable(command, name, "", help, std::move(handle))->allow_extra_args(true)
             : addValue(command, name, "", help, std::move(handle));
    return option->required();
}

void whenParsed(CLI::App& command, std::function<void()> check) {
    command.callback([&command, check = std::move(check)] {
        rejectUnclaimedWords(command);
        if (check) check();
    });
}

Parsed parseCommandLine(CLI::App& app, const Args& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return Parsed::Help;
    // CLI11 takes the words last first.
    std::vector<std::string> words(args.rbegin(), args.rend());
    try {
        app.parse(words);
    } catch (const CLI::ParseError& e) {
        throw UsageError(messageOf(e));
    }
    return Parsed::Run;
}

std::string helpText(const CLI::App& command) {
    const CLI::App* parent = command.get_parent();
    return parent ? command.help(parent->get_name()) : command.help();
}

}  // namespace waveharm::cli
