#pragma once
// Which channel of a record carries each quantity the analysis needs: the R-S and T-S line
// voltages and each feeder's R and T currents (and S with three wattmeters). A quantity is
// a channel by its number ("#3") or exact name ("IA_G1"), the difference of two channels
// ("VA-VB", a line voltage from two phase voltages) or a channel negated ("-VBC"). The
// proposal reads the channels' phase and unit fields, and their names where those are
// empty, for the user to confirm.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "exchange/channel_record.h"
#include "settings/conversion_settings.h"
#include "settings/record_input.h"

namespace waveharm {

/// A quantity resolved on a record: channel `plus` (0-based), minus channel `minus`, or
/// negated.
struct ChannelSource {
    int plus = -1;
    int minus = -1;  ///< -1: none
    bool negate = false;
};

/// Resolves an expression on a record. Throws std::invalid_argument saying which channel
/// the record does not hold.
ChannelSource resolveChannel(const ChannelRecord& record, std::string_view expression);

/// The values of a resolved quantity at row i, in the channels' units scaled to volts
/// and amperes ("kV" counts 1000) and, unless `asWritten`, to primary values.
double sourceValue(const ChannelRecord& record, const ChannelSource& source, std::int64_t row,
                   bool asWritten = false);

/// Volts or amperes per unit of a channel's unit text: "kV", "kA" 1000; "mV", "mA" 0.001;
/// anything else 1.
double unitScale(std::string_view unit);

/// What a channel carries, from its unit (V, kV, mV; A, kA, mA) or else its name ("Va",
/// "UL1", "HV IR": a word led by V or U, or by I): 'V', 'I' or 0 when it cannot be told.
char quantityKind(const RecordChannel& channel);
/// Its phase from the phase field (A/B/C, R/S/T, L1/L2/L3, 1/2/3) or else its name: 0 R,
/// 1 S, 2 T; -1 when it cannot be told (neutral, line-to-line, direct current).
int phaseOf(const RecordChannel& channel);

/// The proposal for a measurement type: the first voltage group holding all three phases
/// gives R-S and T-S as differences of its phase voltages (or a group's two line
/// voltages); every group of currents holding R and T (and S with three wattmeters), in
/// the record's order, gives a feeder, at most `maxFeeders`. Empty when no voltage group
/// is found.
RecordChannelMap proposeChannelMap(const ChannelRecord& record, MeasurementType type,
                                   int maxFeeders = kMaxChannelFeeders);

/// Feeders the map gives currents for, from feeder 1 on: R and T both named, or R alone
/// for the types that measure one current per feeder.
int mappedFeeders(const RecordChannelMap& map, MeasurementType type);

}  // namespace waveharm
