#include "settings/record_input.h"

#include <stdexcept>

namespace waveharm {

namespace {

constexpr const char* kPhaseLetters = "RTS";  // the order of a feeder's currents in the map

std::string_view trimmedText(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string upper(std::string_view text) {
    std::string u(text);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

}  // namespace

std::string quantityKey(int quantity) {
    if (quantity == 0) return "VRS";
    if (quantity == 1) return "VTS";
    const int feeder = (quantity - 2) / 3 + 1;
    return "I" + std::to_string(feeder) + kPhaseLetters[(quantity - 2) % 3];
}

std::optional<int> quantityOfKey(std::string_view key) {
    const std::string wanted = upper(trimmedText(key));
    for (int q = 0; q < kMappedQuantities; ++q)
        if (quantityKey(q) == wanted) return q;
    return std::nullopt;
}

bool RecordChannelMap::empty() const {
    for (const std::string& e : expressions)
        if (!e.empty()) return false;
    return true;
}

std::string RecordChannelMap::text() const {
    std::string t;
    for (int q = 0; q < kMappedQuantities; ++q) {
        const std::string& e = expressions[static_cast<std::size_t>(q)];
        if (e.empty()) continue;
        t += (t.empty() ? "" : ",") + quantityKey(q) + "=" + e;
    }
    return t;
}

void parseChannelMap(std::string_view text, RecordChannelMap& map) {
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        const std::size_t equals = part.find('=');
        const auto quantity =
            equals == std::string_view::npos ? std::nullopt : quantityOfKey(part.substr(0, equals));
        if (!quantity)
            throw std::invalid_argument("'" + std::string(part) +
                                        "' is not QUANTITY=CHANNEL (VRS, VTS, I1R, I1T, I1S, ...)");
        const std::string_view expression = trimmedText(part.substr(equals + 1));
        if (expression.empty())
            throw std::invalid_argument("'" + std::string(part) + "' names no channel");
        map.expressions[static_cast<std::size_t>(*quantity)] = std::string(expression);
    }
}

}  // namespace waveharm
