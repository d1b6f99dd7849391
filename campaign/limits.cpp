#include "campaign/limits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <vector>

#include "base/error.h"
#include "base/input_file.h"
#include "base/utf8_path.h"
#include "campaign/limit_tables.h"

namespace waveharm {
namespace {

constexpr int kHighestOrder = 256;

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string_view::npos) return out;
        const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
        out.push_back(line.substr(at, end - at));
        at = end;
    }
}

std::optional<double> number(std::string_view text) {
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> wholeNumber(std::string_view text) {
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return v;
}

class RowParser {
  public:
    RowParser(const std::string& file, int line) : m_file(file), m_line(line) {}

    LimitRow parse(const std::vector<std::string_view>& f) {
        if (f.size() < 4)
            fail("missing field: a limit row holds a quantity, orders, a limit and a unit");
        if (f.size() > 5) fail("unexpected field '" + std::string(f[5]) + "'");
        LimitRow row;
        row.line = m_line;
        row.quantity = quantity(f[0]);
        const bool thd =
            row.quantity == LimitQuantity::VoltageThd || row.quantity == LimitQuantity::CurrentThd;
        if (thd) {
            if (f[1] != "-")
                fail("a THD row takes '-' for its orders, not '" + std::string(f[1]) + "'");
        } else {
            orders(f[1], row);
        }
        const auto limit = number(f[2]);
        if (!limit) fail("the limit '" + std::string(f[2]) + "' is not a number");
        if (*limit < 0) fail("negative limit " + std::string(f[2]));
        row.limit = *limit;
        row.unit = unit(f[3], row.quantity);
        if (f.size() == 5) busClass(f[4], row);
        return row;
    }

  private:
    [[noreturn]] void fail(const std::string& reason) const {
        throw LimitError(m_file, m_line, reason);
    }

    LimitQuantity quantity(std::string_view q) const {
        if (q == "V") return LimitQuantity::VoltageHarmonic;
        if (q == "V_thd") return LimitQuantity::VoltageThd;
        if (q == "I") return LimitQuantity::CurrentHarmonic;
        if (q == "I_thd") return LimitQuantity::CurrentThd;
        fail("unknown quantity '" + std::string(q) + "' (V, V_thd, I or I_thd)");
    }

    void orders(std::string_view text, LimitRow& row) const {
        const auto dash = text.find('-');
        const auto first = wholeNumber(text.substr(0, dash));
        const auto last =
            dash == std::string_view::npos ? first : wholeNumber(text.substr(dash + 1));
        if (!first || !last || *first < 2 || *last > kHighestOrder || *first > *last)
            fail("unknown order '" + std::string(text) + "' (orders 2 to 256, or a range A-B)");
        row.firstOrder = *first;
        row.lastOrder = *last;
    }

    LimitUnit unit(std::string_view u, LimitQuantity q) const {
        const bool voltage = q == LimitQuantity::VoltageHarmonic;
        const bool current = q == LimitQuantity::CurrentHarmonic;
        if (u == "%" && !current) return LimitUnit::PercentOfFundamental;
        if (u == "V" && voltage) return LimitUnit::Volt;
        if (u == "A" && current) return LimitUnit::Ampere;
        if (u == "mA/kW" && current) return LimitUnit::MilliampPerKw;
        fail("unit '" + std::string(u) + "' does not suit this quantity (" +
             (voltage   ? "% or V"
              : current ? "A or mA/kW"
                        : "%") +
             ")");
    }

    void busClass(std::string_view text, LimitRow& row) const {
        const auto dash = text.find('-');
        const auto above = number(text.substr(0, dash));
        std::optional<double> upTo;
        if (dash != std::string_view::npos && dash + 1 < text.size())
            upTo = number(text.substr(dash + 1));
        if (dash == std::string_view::npos || !above || *above < 0 ||
            (dash + 1 < text.size() && (!upTo || *upTo <= *above)))
            fail("bus voltage class '" + std::string(text) + "' is not LO-HI in kV");
        row.hasBusClass = true;
        row.busKvAbove = *above;
        row.busKvUpTo = upTo;
    }

    const std::string& m_file;
    int m_line;
};

bool classesOverlap(const LimitRow& a, const LimitRow& b) {
    if (!a.hasBusClass || !b.hasBusClass) return true;
    const double aTop = a.busKvUpTo.value_or(INFINITY), bTop = b.busKvUpTo.value_or(INFINITY);
    return a.busKvAbove < bTop && b.busKvAbove < aTop;
}

bool appliesAt(const LimitRow& row, double kv) {
    if (!row.hasBusClass) return true;
    // The lowest class starts at zero and includes the bottom of its range.
    const bool aboveFloor = row.busKvAbove == 0 ? kv >= 0 : kv > row.busKvAbove;
    return aboveFloor && (!row.busKvUpTo || kv <= *row.busKvUpTo);
}

void checkNoDuplicate(const std::vector<LimitRow>& rows, const LimitRow& row,
                      const std::string& file) {
    for (const LimitRow& other : rows) {
        if (other.quantity != row.quantity || !classesOverlap(other, row)) continue;
        if (other.lastOrder < row.firstOrder || row.lastOrder < other.firstOrder) continue;
        throw LimitError(file, row.line,
                         "this limit is already given on line " + std::to_string(other.line));
    }
}

std::string formatKv(double kv) {
    std::ostringstream s;
    s << kv;
    return s.str();
}

}  // namespace

LimitError::LimitError(std::string file, int line, std::string reason)
    : std::runtime_error(file + (line > 0 ? ", line " + std::to_string(line) : "") + ": " + reason),
      m_file(std::move(file)),
      m_line(line),
      m_reason(std::move(reason)) {}

bool LimitTable::needsContractPower() const {
    return std::any_of(rows.begin(), rows.end(),
                       [](const LimitRow& r) { return r.unit == LimitUnit::MilliampPerKw; });
}

bool LimitTable::needsNominalVoltage() const {
    return std::any_of(rows.begin(), rows.end(), [](const LimitRow& r) { return r.hasBusClass; });
}

LimitTable parseLimitTable(std::string_view text, const std::string& fileName) {
    LimitTable table;
    table.name = fileName;
    int lineNumber = 0;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (const auto hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        line = trim(line);
        if (line.empty()) continue;
        if (line.starts_with("source:") || line.starts_with("title:")) {
            const bool source = line.starts_with("source:");
            const std::string value(trim(line.substr(source ? 7 : 6)));
            if (value.empty())
                throw LimitError(fileName, lineNumber,
                                 std::string(source ? "source" : "title") + " line without text");
            (source ? table.source : table.title) = value;
            continue;
        }
        const LimitRow row = RowParser(fileName, lineNumber).parse(fields(line));
        checkNoDuplicate(table.rows, row, fileName);
        table.rows.push_back(row);
    }
    if (table.source.empty())
        throw LimitError(fileName, 0, "no 'source:' line naming where the limits come from");
    if (table.rows.empty()) throw LimitError(fileName, 0, "the table holds no limits");
    return table;
}

std::vector<std::string> builtInLimitNames() {
    std::vector<std::string> names;
    for (const auto& t : kBuiltInLimitTables) names.emplace_back(t.name);
    return names;
}

std::optional<std::string_view> builtInLimitText(std::string_view name) {
    for (const auto& t : kBuiltInLimitTables)
        if (t.name == name) return t.text;
    return std::nullopt;
}

LimitTable loadLimitTable(const std::string& nameOrPath) {
    if (const auto text = builtInLimitText(nameOrPath)) {
        LimitTable table = parseLimitTable(*text, nameOrPath);
        return table;
    }
    const std::filesystem::path path = utf8Path(nameOrPath);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::string known;
        for (const auto& n : builtInLimitNames()) known += (known.empty() ? "" : ", ") + n;
        throw LimitError(nameOrPath, 0, "no such limit table or file (tables: " + known + ")");
    }
    std::vector<std::byte> bytes;
    try {
        readFileBytes(path, "limit table", bytes);
    } catch (const InputError& e) {
        throw LimitError(nameOrPath, 0, e.reason());
    }
    const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return parseLimitTable(text, nameOrPath);
}

AppliedLimits applyLimits(const LimitTable& table, const LimitContext& context) {
    if (table.needsContractPower() && !(context.contractKw && *context.contractKw > 0))
        throw LimitError(table.name, 0,
                         "the limits are per kW of contract power; give --contract-kw");
    if (table.needsNominalVoltage() && !(context.nominalKv && *context.nominalKv > 0))
        throw LimitError(table.name, 0, "the limits depend on the bus voltage; give --nominal-kv");
    AppliedLimits out;
    out.title = table.title.empty() ? table.name : table.title;
    out.source = table.source;
    bool any = false;
    for (const LimitRow& row : table.rows) {
        if (!appliesAt(row, context.nominalKv.value_or(0))) continue;
        any = true;
        switch (row.quantity) {
            case LimitQuantity::VoltageThd:
                out.voltageThd = row.limit;
                continue;
            case LimitQuantity::CurrentThd:
                out.currentThd = row.limit;
                continue;
            default:
                break;
        }
        for (int n = row.firstOrder; n <= row.lastOrder; ++n) {
            if (row.unit == LimitUnit::PercentOfFundamental) out.voltagePercent[n] = row.limit;
            if (row.unit == LimitUnit::Volt) out.voltageVolts[n] = row.limit;
            if (row.unit == LimitUnit::Ampere) out.currentAmps[n] = row.limit;
            // mA per kW of contract power, in A.
            if (row.unit == LimitUnit::MilliampPerKw)
                out.currentAmps[n] = row.limit * *context.contractKw / 1000.0;
        }
    }
    if (!any)
        throw LimitError(
            table.name, 0,
            "no row of the table applies at " + formatKv(context.nominalKv.value_or(0)) + " kV");
    return out;
}

}  // namespace waveharm
