#include "exchange/channel_map.h"

#include <charconv>
#include <map>
#include <stdexcept>
#include <vector>

#include "exchange/record_text.h"

namespace waveharm {

namespace {

std::string upper(std::string_view text) {
    std::string u(text);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

}  // namespace

namespace {

// The one channel a reference names: "#n", or an exact name as written or as shown.
std::optional<int> channelNamed(const ChannelRecord& record, std::string_view ref) {
    ref = trimmed(ref);
    const auto count = static_cast<int>(record.channels.size());
    if (ref.size() > 1 && ref.front() == '#') {
        int n = 0;
        const auto [end, error] = std::from_chars(ref.data() + 1, ref.data() + ref.size(), n);
        if (error == std::errc() && end == ref.data() + ref.size() && n >= 1 && n <= count)
            return n - 1;
        return std::nullopt;
    }
    for (const bool raw : {true, false}) {
        std::optional<int> found;
        for (int c = 0; c < count; ++c) {
            const RecordChannel& ch = record.channels[static_cast<std::size_t>(c)];
            if ((raw ? ch.rawName : ch.name) != ref) continue;
            if (found)
                throw std::invalid_argument("two channels are named '" + std::string(ref) +
                                            "': give the channel's number, #" +
                                            std::to_string(c + 1));
            found = c;
        }
        if (found) return found;
    }
    return std::nullopt;
}

}  // namespace

ChannelSource resolveChannel(const ChannelRecord& record, std::string_view expression) {
    expression = trimmed(expression);
    if (const auto c = channelNamed(record, expression)) return {*c, -1, false};
    if (expression.size() > 1 && expression.front() == '-') {
        if (const auto c = channelNamed(record, expression.substr(1))) return {*c, -1, true};
    }
    // "X-Y": a name may hold '-' itself, so every split is tried.
    for (std::size_t at = expression.find('-', 1); at != std::string_view::npos;
         at = expression.find('-', at + 1)) {
        const auto plus = channelNamed(record, expression.substr(0, at));
        const auto minus = channelNamed(record, expression.substr(at + 1));
        if (plus && minus) return {*plus, *minus, false};
    }
    throw std::invalid_argument("the record holds no channel '" + std::string(expression) +
                                "' (a channel is #1 to #" + std::to_string(record.channels.size()) +
                                ", its name, or X-Y of two channels)");
}

double unitScale(std::string_view unit) {
    unit = trimmed(unit);
    if (sameLetters(unit, "kV") || sameLetters(unit, "kA")) return 1000;
    if (unit == "mV" || unit == "mA") return 0.001;
    return 1;
}

double sourceValue(const ChannelRecord& record, const ChannelSource& source, std::int64_t row,
                   bool asWritten) {
    const auto value = [&](int c) {
        const RecordChannel& ch = record.channels[static_cast<std::size_t>(c)];
        const double v = record.column(c)[static_cast<std::size_t>(row)] * unitScale(ch.unit);
        return asWritten ? v : v * ch.toPrimary;
    };
    double v = value(source.plus);
    if (source.minus >= 0) v -= value(source.minus);
    return source.negate ? -v : v;
}

namespace {

// A phase word of a name: V, U or I and then one of A/B/C, R/S/T, L1/L2/L3 ("Va", "IR",
// "UL2"), or a line-to-line word ("VAB", "URS").
struct NameWord {
    char kind = 0;   ///< 'V' or 'I'
    int phase = -1;  ///< 0 R, 1 S, 2 T
    int line[2] = {-1, -1};
    std::size_t at = 0, length = 0;  ///< where the word stands in the name
};

int phaseLetter(std::string_view t) {
    const std::string u = upper(t);
    if (u == "A" || u == "R" || u == "L1" || u == "1") return 0;
    if (u == "B" || u == "S" || u == "L2" || u == "2") return 1;
    if (u == "C" || u == "T" || u == "L3" || u == "3") return 2;
    return -1;
}

// "AB", "RS", "L1L2", ... as the two phases; false for anything else.
bool linePair(std::string_view t, int (&pair)[2]) {
    const std::string u = upper(t);
    const std::size_t half = u.size() / 2;
    if (u.size() != 2 && u.size() != 4) return false;
    pair[0] = phaseLetter(std::string_view(u).substr(0, half));
    pair[1] = phaseLetter(std::string_view(u).substr(half));
    return pair[0] >= 0 && pair[1] >= 0 && pair[0] != pair[1] &&
           (u.size() == 2 ? u.find_first_of("123") == std::string::npos : u[0] == 'L');
}

std::optional<NameWord> wordOf(std::string_view name, std::size_t at, std::size_t length) {
    const std::string_view word = name.substr(at, length);
    if (word.size() < 2) return std::nullopt;
    const char lead = static_cast<char>(word[0] & ~0x20);  // upper case
    NameWord w;
    w.kind = lead == 'V' || lead == 'U' ? 'V' : lead == 'I' ? 'I' : 0;
    if (w.kind == 0) return std::nullopt;
    w.at = at;
    w.length = length;
    const std::string_view rest = word.substr(1);
    if (rest.find_first_of("123") == std::string_view::npos || upper(rest).starts_with("L"))
        w.phase = phaseLetter(rest);
    if (w.phase >= 0) return w;
    if (w.kind == 'V' && linePair(rest, w.line)) return w;
    return std::nullopt;
}

// The last phase word of a name (words are runs of ASCII letters and digits).
std::optional<NameWord> phaseWord(std::string_view name) {
    std::optional<NameWord> last;
    std::size_t i = 0;
    while (i < name.size()) {
        const auto isWordChar = [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        };
        if (!isWordChar(name[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < name.size() && isWordChar(name[end])) ++end;
        if (auto w = wordOf(name, i, end - i)) last = w;
        i = end;
    }
    return last;
}

char kindOfUnit(std::string_view unit) {
    unit = trimmed(unit);
    for (const char* u : {"V", "kV", "mV"})
        if (unit == u || sameLetters(unit, u)) return 'V';
    for (const char* u : {"A", "kA", "mA"})
        if (unit == u || sameLetters(unit, u)) return 'I';
    return 0;
}

}  // namespace

char quantityKind(const RecordChannel& channel) {
    if (const char k = kindOfUnit(channel.unit)) return k;
    const auto word = phaseWord(channel.name);
    return word ? word->kind : 0;
}

int phaseOf(const RecordChannel& channel) {
    const std::string_view field = trimmed(channel.phase);
    if (!field.empty()) return phaseLetter(field);
    const auto word = phaseWord(channel.name);
    return word ? word->phase : -1;
}

namespace {

// The channels of one circuit and kind by phase, and its line-to-line voltages.
struct Group {
    char kind = 0;
    std::array<int, 3> phase{-1, -1, -1};
    std::map<std::pair<int, int>, int> lines;
};

// Where a channel belongs: its circuit field, or its name with the phase word cut to its
// kind letter ("HV Bus VR" and "HV Bus VS" share "HV Bus V").
std::string groupKey(const RecordChannel& ch, char kind) {
    std::string key = std::string(trimmed(ch.circuit));
    if (key.empty()) {
        key = ch.name;
        if (const auto w = phaseWord(ch.name)) key.replace(w->at, w->length, std::string(1, kind));
    }
    return key + '\x1F' + kind;
}

std::vector<Group> groupsOf(const ChannelRecord& record) {
    std::vector<Group> groups;
    std::map<std::string, std::size_t> index;
    for (std::size_t c = 0; c < record.channels.size(); ++c) {
        const RecordChannel& ch = record.channels[c];
        const char kind = quantityKind(ch);
        if (kind == 0) continue;
        const std::string key = groupKey(ch, kind);
        if (!index.contains(key)) {
            index[key] = groups.size();
            groups.push_back(Group{kind, {-1, -1, -1}, {}});
        }
        Group& g = groups[index[key]];
        const int p = phaseOf(ch);
        if (p >= 0 && g.phase[static_cast<std::size_t>(p)] < 0) {
            g.phase[static_cast<std::size_t>(p)] = static_cast<int>(c);
            continue;
        }
        int pair[2] = {-1, -1};
        const std::string_view field = trimmed(ch.phase);
        if (!field.empty()) {
            linePair(field, pair);
        } else if (const auto word = phaseWord(ch.name)) {
            pair[0] = word->line[0];
            pair[1] = word->line[1];
        }
        if (pair[0] >= 0) g.lines[{pair[0], pair[1]}] = static_cast<int>(c);
    }
    return groups;
}

// A channel as the map writes it: its name where that can be typed and read back, else
// its number.
std::string reference(const ChannelRecord& record, int c) {
    const RecordChannel& ch = record.channels[static_cast<std::size_t>(c)];
    const bool typeable = ch.name == ch.rawName && !ch.name.empty() && ch.name[0] != '#' &&
                          ch.name[0] != '-' && ch.name.find_first_of(",=-") == std::string::npos;
    if (typeable) {
        try {
            const auto found = channelNamed(record, ch.name);
            if (found && *found == c) return ch.name;
        } catch (const std::invalid_argument&) {
        }
    }
    return "#" + std::to_string(c + 1);
}

// R-S and T-S of a voltage group: differences of its phase voltages, or its line voltages
// (negated where the record holds the other direction).
bool lineVoltages(const ChannelRecord& record, const Group& g, RecordChannelMap& map) {
    const auto [r, s, t] = g.phase;
    if (r >= 0 && s >= 0 && t >= 0) {
        map.expressions[0] = reference(record, r) + "-" + reference(record, s);
        map.expressions[1] = reference(record, t) + "-" + reference(record, s);
        return true;
    }
    const auto line = [&](int a, int b) -> std::string {
        if (g.lines.contains({a, b})) return reference(record, g.lines.at({a, b}));
        if (g.lines.contains({b, a})) return "-" + reference(record, g.lines.at({b, a}));
        return "";
    };
    const std::string rs = line(0, 1), ts = line(2, 1);
    if (rs.empty() || ts.empty()) return false;
    map.expressions[0] = rs;
    map.expressions[1] = ts;
    return true;
}

}  // namespace

RecordChannelMap proposeChannelMap(const ChannelRecord& record, MeasurementType type,
                                   int maxFeeders) {
    RecordChannelMap map;
    const std::vector<Group> groups = groupsOf(record);
    bool voltage = false;
    for (const Group& g : groups)
        if (g.kind == 'V' && (voltage = lineVoltages(record, g, map))) break;
    if (!voltage) return {};
    int feeder = 0;
    for (const Group& g : groups) {
        if (g.kind != 'I' || g.phase[0] < 0 || g.phase[2] < 0) continue;
        if (++feeder > std::min(maxFeeders, kMaxChannelFeeders)) break;
        map.expressions[currentQuantity(feeder, 0)] = reference(record, g.phase[0]);
        map.expressions[currentQuantity(feeder, 1)] = reference(record, g.phase[2]);
        if (type == MeasurementType::ThreePhase3M && g.phase[1] >= 0)
            map.expressions[currentQuantity(feeder, 2)] = reference(record, g.phase[1]);
    }
    return map;
}

int mappedFeeders(const RecordChannelMap& map, MeasurementType type) {
    const bool paired = channelsPerFeeder(type) == 2;
    int f = 0;
    while (f < kMaxChannelFeeders && !map.expressions[currentQuantity(f + 1, 0)].empty() &&
           (!paired || !map.expressions[currentQuantity(f + 1, 1)].empty()))
        ++f;
    return f;
}

}  // namespace waveharm
