#pragma once
// The named value columns of a result record, in the order the dump command prints
// them, with each value's byte position inside the record. The dump header, the
// campaign statistics and the campaign view all name a column the same way.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "output/result_reader.h"

namespace waveharm {

/// What a column holds.
enum class ColumnQuantity {
    VoltageRms,   ///< "V": voltage RMS (of one order, or of one phase)
    CurrentRms,   ///< "A": current RMS of a feeder
    AngleDegrees  ///< "deg": an angle stored as a 16-bit whole number of degrees
};

/// One value column: `V_h5`, `I2_h7`, `I2_angle_h7`, `V_sup_angle_h3`, `V_rms_ph1`, …
struct ResultColumn {
    std::string name;
    ColumnQuantity quantity = ColumnQuantity::VoltageRms;
    int offset = 0;  ///< byte position inside the record
    int order = 0;   ///< harmonic order, 0 for the per-phase RMS columns
    int feeder = 0;  ///< 1-based feeder of a current column, 0 for voltage columns
    bool isI16() const { return quantity == ColumnQuantity::AngleDegrees; }
};

/// The unit text of a quantity: "V", "A" or "deg".
const char* unitOf(ColumnQuantity quantity);

/// Every value column of a record of `layout`, in dump order (the date and time
/// stamps excluded). Per-phase files name their angle rows `V_phase_angle` and
/// `I1_phase_angle` instead of `V_sup_angle` and `I1_sup_angle`.
std::vector<ResultColumn> resultColumns(const ResultLayout& layout);

/// The value of `column` in the record that starts at `recordStart` in `reader`'s
/// bytes (a float, or an angle widened to float). Throws InputError past the end.
float readColumn(ByteReader& reader, std::int64_t recordStart, const ResultColumn& column);

}  // namespace waveharm
