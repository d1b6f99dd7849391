#pragma once
// The stretch of a record the analysis reads. Disturbance records hold several rate
// segments and a fault after their trigger: the analysis takes the first segment at the
// highest rate that holds enough whole periods, and within it the steady part before the
// trigger when enough of it precedes the trigger: up to three periods (of 45 Hz) before
// it, since a recorder triggers some cycles after a disturbance begins, or else up to the
// trigger itself.

#include <cstdint>
#include <optional>

#include "exchange/channel_record.h"

namespace waveharm {

/// Samples the analysis needs at `rate` samples per second: two periods of the lowest
/// fundamental it measures (45 Hz) for the two rising crossings, and the 111 samples its
/// crossing search looks ahead.
std::int64_t minimumAnalysedSamples(double rate);

struct AnalysedStretch {
    int segment = -1;  ///< index into the record's segments; -1 when none holds enough
    std::int64_t first = 0;
    std::int64_t end = 0;  ///< rows first .. end − 1
    double rate = 0;
    bool beforeTrigger = false;  ///< the stretch ends at the record's trigger

    std::int64_t count() const { return end - first; }
};

/// The row of the trigger, counted through the rate segments; nothing when the record
/// gives no trigger or it lies beyond the last row.
std::optional<std::int64_t> triggerRow(const ChannelRecord& record);

/// The stretch to analyse; `segment` −1 when no segment holds enough samples.
AnalysedStretch chooseStretch(const ChannelRecord& record);

}  // namespace waveharm
