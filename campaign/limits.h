#pragma once
// Limit tables for harmonic checks, kept as small text files (campaign/limits/*.txt,
// compiled into the program) so that a table can be read and corrected without
// touching code. A user's own file in the same format is accepted.
//
// Format, one item per line, "#" starting a comment:
//   source: where the values come from (required)
//   title:  a short caption for reports (optional)
//   QUANTITY ORDERS LIMIT UNIT [BUS_KV]
// QUANTITY is V (voltage harmonic), V_thd, I (every feeder's current harmonic) or
// I_thd; ORDERS is one order, a range "A-B" of orders 2..256, or "-" for the THD rows;
// UNIT is "%" (of the fundamental) or "V" for V, "A" or "mA/kW" (times the contract
// power) for I, "%" for the THD rows. BUS_KV "LO-HI" limits a row to a nominal bus
// voltage above LO kV up to HI kV (HI may be left open: "161-").

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace waveharm {

/// A limit table that cannot be used: names the file (or table) and the line
/// (0 when the fault is not on one line) and what is wrong.
class LimitError : public std::runtime_error {
  public:
    LimitError(std::string file, int line, std::string reason);
    const std::string& file() const { return m_file; }
    int line() const { return m_line; }
    const std::string& reason() const { return m_reason; }

  private:
    std::string m_file;
    int m_line;
    std::string m_reason;
};

enum class LimitQuantity { VoltageHarmonic, VoltageThd, CurrentHarmonic, CurrentThd };
enum class LimitUnit { PercentOfFundamental, Volt, Ampere, MilliampPerKw };

struct LimitRow {
    LimitQuantity quantity = LimitQuantity::VoltageHarmonic;
    int firstOrder = 0;  ///< 0 for THD rows
    int lastOrder = 0;
    double limit = 0;
    LimitUnit unit = LimitUnit::PercentOfFundamental;
    double busKvAbove = 0;            ///< the row applies above this nominal voltage, kV
    std::optional<double> busKvUpTo;  ///< … up to and including this one; open when absent
    bool hasBusClass = false;
    int line = 0;  ///< line in the file, for messages
};

struct LimitTable {
    std::string name;  ///< the built-in name or the file path
    std::string source;
    std::string title;
    std::vector<LimitRow> rows;

    bool needsContractPower() const;
    bool needsNominalVoltage() const;
};

/// Parses a limit table; `fileName` names it in errors. Throws LimitError for an
/// unknown quantity, unit or order, a negative or non-numeric limit, a missing or
/// extra field, an order given twice, a missing source line or a table with no rows.
LimitTable parseLimitTable(std::string_view text, const std::string& fileName);

/// The names of the tables that come with the program: jp-6.6kv, jp-22kv, jp-33kv,
/// ieee519, iec61000-2-2.
std::vector<std::string> builtInLimitNames();

/// The text of a built-in table; nothing for an unknown name.
std::optional<std::string_view> builtInLimitText(std::string_view name);

/// A built-in table by name, otherwise the file at `nameOrPath` (UTF-8). Throws
/// LimitError when neither exists or the table is malformed.
LimitTable loadLimitTable(const std::string& nameOrPath);

/// What the tables' relative rows are scaled by.
struct LimitContext {
    std::optional<double> contractKw;  ///< contract power, kW
    std::optional<double> nominalKv;   ///< nominal bus voltage, kV
};

/// A table reduced to the values that apply at one site.
struct AppliedLimits {
    std::string title;  ///< the table's title (its name when it has none)
    std::string source;
    std::map<int, double> voltagePercent;  ///< order → % of the fundamental voltage
    std::map<int, double> voltageVolts;    ///< order → V
    std::map<int, double> currentAmps;     ///< order → A, every feeder
    std::optional<double> voltageThd;      ///< %
    std::optional<double> currentThd;      ///< %
};

/// Chooses the rows of `table` for the site and scales mA/kW by the contract power.
/// Throws LimitError when the table needs a contract power or a nominal voltage that
/// `context` lacks, or when no row suits the nominal voltage.
AppliedLimits applyLimits(const LimitTable& table, const LimitContext& context);

}  // namespace waveharm
