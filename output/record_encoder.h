#pragma once
// Builds one result record in memory, each field at the place the record's field table
// gives it (little-endian, no padding), so that the file receives each record with a
// single write.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "engine/harmonic_result.h"
#include "output/record_format.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// An angle field: the four-quadrant angle of (x, y) in degrees, rounded half to even.
std::int16_t angleField(double x, double y);

/// A record field that would hold NaN or infinity; the record is not written.
class NonFiniteValue : public std::range_error {
  public:
    using std::range_error::range_error;
};

/// The record of the single result file: each field of `format` (a single-file layout)
/// from the interval's values divided by its recording count. `interval.intervalState`
/// must be at least 1 and the arrays must hold the written orders and feeders
/// (checkIntervalShape). Throws NonFiniteValue when a value is NaN or infinite.
std::vector<std::byte> encodeSingleRecord(const ResultRecordFormat& format,
                                          const RecordStamp& stamp,
                                          const IntervalAggregate& interval);

/// The record of phase file `phase` (0 R, 1 T, 2 S): magnitudes and voltage-to-current
/// angles from the interval's phase-referenced phasors, the phase angles of the voltage
/// and the first current from the own phasors of the recording the interval holds
/// (`anglePhasor…`). Throws NonFiniteValue as above.
std::vector<std::byte> encodePhaseRecord(const ResultRecordFormat& format, const RecordStamp& stamp,
                                         const IntervalAggregate& interval, int phase);

/// Throws std::invalid_argument unless the interval holds every order and feeder a
/// record of this layout reads.
void checkIntervalShape(const IntervalAggregate& interval, HarmonicOption option, int feederCount);

}  // namespace waveharm
