#include "output/result_columns.h"

#include <bit>

#include "output/result_writer.h"

namespace waveharm {

const char* unitOf(ColumnQuantity quantity) {
    switch (quantity) {
        case ColumnQuantity::VoltageRms:
            return "V";
        case ColumnQuantity::CurrentRms:
            return "A";
        case ColumnQuantity::AngleDegrees:
            return "deg";
    }
    return "";
}

std::vector<ResultColumn> resultColumns(const ResultLayout& layout) {
    const std::vector<int> orders = writtenOrders(layout.option);
    const bool phaseFile = layout.phase != 0;
    std::vector<ResultColumn> columns;
    int at = 4 + 2;  // after the date (f32) and time (i16) stamps
    auto perOrder = [&](const std::string& prefix, ColumnQuantity quantity, int feeder) {
        for (int n : orders) {
            columns.push_back({prefix + "_h" + std::to_string(n), quantity, at, n, feeder});
            at += quantity == ColumnQuantity::AngleDegrees ? 2 : 4;
        }
    };
    perOrder("V", ColumnQuantity::VoltageRms, 0);
    for (int k = 1; k <= layout.feederCount; ++k) {
        const std::string feeder = "I" + std::to_string(k);
        perOrder(feeder, ColumnQuantity::CurrentRms, k);
        perOrder(feeder + "_angle", ColumnQuantity::AngleDegrees, k);
    }
    if (hasVoltageAngleRow(layout.option))
        perOrder(phaseFile ? "V_phase_angle" : "V_sup_angle", ColumnQuantity::AngleDegrees, 0);
    if (hasCurrentAngleRow(layout.option))
        perOrder(phaseFile ? "I1_phase_angle" : "I1_sup_angle", ColumnQuantity::AngleDegrees, 1);
    if (hasUnbalanceRows(layout.option)) {
        for (int j = 1; j <= 3; ++j, at += 4)
            columns.push_back(
                {"V_rms_ph" + std::to_string(j), ColumnQuantity::VoltageRms, at, 0, 0});
        // Each feeder's three phase currents are stored in the phase order 1, 3, 2.
        for (int k = 1; k <= layout.feederCount; ++k, at += 12)
            for (int j = 1; j <= 3; ++j) {
                const int slot = j == 1 ? 0 : j == 2 ? 2 : 1;
                columns.push_back({"I" + std::to_string(k) + "_rms_ph" + std::to_string(j),
                                   ColumnQuantity::CurrentRms, at + 4 * slot, 0, k});
            }
    }
    return columns;
}

float readColumn(ByteReader& reader, std::int64_t recordStart, const ResultColumn& column) {
    reader.seek(recordStart + column.offset, column.name);
    if (column.isI16()) return static_cast<float>(reader.i16le());
    return std::bit_cast<float>(reader.i32le());
}

}  // namespace waveharm
