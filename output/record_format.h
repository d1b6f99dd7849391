#pragma once
// The record of a "harm" result file as data: every field with its byte position and
// meaning, derived from the harmonic option, the feeder count and whether the file is
// one phase of a three-wattmeter measurement. The writers put each field where this
// table says, the reader takes it from there, and dump's columns, the campaign's series
// and the tests all name fields through it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// The record layout of one result file.
struct ResultLayout {
    HarmonicOption option = HarmonicOption::Odd1To49;
    int feederCount = 1;
    char phase = 0;  ///< 'R', 'T' or 'S' for a per-phase file, 0 for a single file

    int recordBytes() const;
};

/// What a field holds. Angles are 16-bit whole degrees, everything else 32-bit floats.
enum class FieldKind : std::uint8_t {
    Date,               ///< yy·10000 + mm·100 + dd
    Time,               ///< hh·100 + mm (16-bit)
    VoltageRms,         ///< voltage RMS of one order (a per-phase file: of its phase)
    CurrentRms,         ///< current RMS of one feeder and order
    CurrentAngle,       ///< angle from the voltage to the current of one feeder and order
    VoltageAngle,       ///< the voltage's superposition angle (a per-phase file: phase angle)
    FirstCurrentAngle,  ///< the same for the first feeder's current
    VoltageRmsByPhase,  ///< RMS value of one phase voltage (three-phase unbalance)
    CurrentRmsByPhase,  ///< RMS value of one phase current of one feeder
};

/// The unit a value column is read in.
enum class ColumnQuantity {
    VoltageRms,   ///< "V"
    CurrentRms,   ///< "A"
    AngleDegrees  ///< "deg"
};

/// The unit text of a quantity: "V", "A" or "deg".
const char* unitOf(ColumnQuantity quantity);

struct RecordField {
    FieldKind kind = FieldKind::Date;
    int offset = 0;  ///< byte position inside the record
    int order = 0;   ///< harmonic order; 0 for the stamps and the per-phase RMS values
    int feeder = 0;  ///< 1-based feeder of a current field, 0 otherwise
    int phase = 0;   ///< phase 1, 2 or 3 of a per-phase RMS value, 0 otherwise

    /// Whether the field is a 16-bit whole number (the time and the angles).
    constexpr bool isI16() const {
        return kind == FieldKind::Time || kind == FieldKind::CurrentAngle ||
               kind == FieldKind::VoltageAngle || kind == FieldKind::FirstCurrentAngle;
    }
    int bytes() const { return isI16() ? 2 : 4; }
    ColumnQuantity quantity() const;
};

/// Every record begins with its minute stamp.
inline constexpr RecordField kDateField{FieldKind::Date, 0};
inline constexpr RecordField kTimeField{FieldKind::Time, 4};

/// The field table of one layout.
class ResultRecordFormat {
  public:
    explicit ResultRecordFormat(const ResultLayout& layout);

    const ResultLayout& layout() const { return m_layout; }
    int recordBytes() const { return m_recordBytes; }
    /// The harmonic orders of the per-order fields, in record order.
    const std::vector<int>& orders() const { return m_orders; }
    /// The value fields (the stamps excluded) in the order dump prints them: the record's
    /// order, except that each feeder's phase currents, stored as phases 1, 3, 2, are
    /// listed 1, 2, 3.
    const std::vector<RecordField>& columns() const { return m_columns; }

    /// The column's name as dump prints it: `V_h5`, `I2_h7`, `I2_angle_h7`,
    /// `V_sup_angle_h3`, `I1_sup_angle_h3` (per-phase files: `V_phase_angle_h3`,
    /// `I1_phase_angle_h3`), `V_rms_ph1`, `I2_rms_ph3`.
    std::string name(const RecordField& field) const;
    /// Index into `columns()` of the field of that kind, order, feeder and phase; -1
    /// when the layout has none.
    int find(FieldKind kind, int order, int feeder = 0, int phase = 0) const;

  private:
    ResultLayout m_layout;
    int m_recordBytes = 0;
    std::vector<int> m_orders;
    std::vector<RecordField> m_columns;
};

/// The date and time fields that open every record.
struct RecordStamp {
    float dateField = 0;         ///< yy·10000 + mm·100 + dd (2005-01-01 → 50101)
    std::int16_t timeField = 0;  ///< hh·100 + mm (09:05 → 905)
};

/// The record fields of a recording time (seconds dropped).
RecordStamp recordStampFor(DateTime t);

/// The calendar minute a record's stamp names (two-digit years as fullYear reads them);
/// nothing when the fields are no whole yymmdd and hhmm of a real day and minute, such
/// as 31 April or 24:00.
std::optional<CivilDateTime> stampTime(const RecordStamp& stamp);

/// The same for record `index` (0-based) at byte `offset` of `file`. Throws InputError
/// (NotAResultFile) naming the file and the record when the stamp names no real minute.
CivilDateTime recordTime(const RecordStamp& stamp, const std::string& file, std::int64_t index,
                         std::int64_t offset);

/// A value that differs exactly when the calendar minute of `t` differs.
std::int64_t minuteKey(DateTime t);

/// Orders written: 1..256 for 256 orders, else 1, 3, …, 49.
std::vector<int> writtenOrders(HarmonicOption option);

/// Bytes of one record for a harmonic option and feeder count (1..9).
int recordLength(HarmonicOption option, int feederCount);

}  // namespace waveharm
