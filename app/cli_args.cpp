#include "app/cli_args.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace waveharm::cli {

namespace {

bool listed(std::initializer_list<std::string_view> names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::optional<std::string> ParsedArgs::value(const std::string& option) const {
    const auto it = values.find(option);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

long long ParsedArgs::intValue(const std::string& option, long long fallback, long long lo,
                               long long hi) const {
    const auto text = value(option);
    if (!text) return fallback;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || errno != 0 || v < lo || v > hi)
        throw UsageError(option + " needs a whole number from " + std::to_string(lo) + " to " +
                         std::to_string(hi) + ", not '" + *text + "'");
    return v;
}

double ParsedArgs::doubleValue(const std::string& option, double fallback) const {
    const auto text = value(option);
    if (!text) return fallback;
    char* end = nullptr;
    const double v = std::strtod(text->c_str(), &end);
    if (text->empty() || *end != '\0')
        throw UsageError(option + " needs a number, not '" + *text + "'");
    return v;
}

ParsedArgs parseArgs(const Args& args, std::initializer_list<std::string_view> valueOptions,
                     std::initializer_list<std::string_view> flagOptions) {
    ParsedArgs out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a.rfind("--", 0) != 0) {
            out.positional.push_back(a);
            continue;
        }
        const std::size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        if (listed(flagOptions, name) && eq == std::string::npos) {
            out.flags.insert(name);
        } else if (!listed(valueOptions, name)) {
            throw UsageError("unknown option '" + a + "'");
        } else if (eq != std::string::npos) {
            out.values[name] = a.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            out.values[name] = args[++i];
        } else {
            throw UsageError(name + " needs a value");
        }
    }
    return out;
}

}  // namespace waveharm::cli
