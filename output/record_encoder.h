#pragma once
// Builds one result record in memory, field by field (little-endian, no padding),
// so that the file receives each record with a single write.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "engine/harmonic_result.h"
#include "settings/conversion_settings.h"

namespace waveharm {

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

/// An angle field: the four-quadrant angle of (x, y) in degrees, rounded half to even.
std::int16_t angleField(double x, double y);

/// A record field that would hold NaN or infinity; the record is not written.
class NonFiniteValue : public std::range_error {
  public:
    using std::range_error::range_error;
};

/// An append-only little-endian byte buffer. `putF32` throws NonFiniteValue for NaN
/// and infinity.
class RecordBuffer {
  public:
    explicit RecordBuffer(std::size_t expectedSize = 0) { m_bytes.reserve(expectedSize); }
    void putF32(float value);
    void putI16(std::int16_t value);
    const std::vector<std::byte>& bytes() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }

  private:
    std::vector<std::byte> m_bytes;
};

/// The record of the single result file: the interval's values divided by its
/// recording count. `interval.intervalState` must be at least 1 and the arrays must
/// hold the written orders and feeders (checkIntervalShape).
std::vector<std::byte> encodeSingleRecord(const RecordStamp& stamp,
                                          const IntervalAggregate& interval, HarmonicOption option,
                                          int feederCount);

/// The record of phase file `phase` (0 R, 1 T, 2 S): magnitudes and voltage-to-current
/// angles from the interval's phase-referenced phasors, the phase angles of rows 5 and
/// 6 from the own phasors of the recording the interval holds (`anglePhasor…`).
std::vector<std::byte> encodePhaseRecord(const RecordStamp& stamp,
                                         const IntervalAggregate& interval, int phase,
                                         HarmonicOption option, int feederCount);

/// Throws std::invalid_argument unless the interval holds every order and feeder a
/// record of this layout reads.
void checkIntervalShape(const IntervalAggregate& interval, HarmonicOption option, int feederCount);

}  // namespace waveharm
