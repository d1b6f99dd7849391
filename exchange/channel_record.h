#pragma once
// A waveform record of another instrument, read from a common exchange format (COMTRADE,
// CSV): its analog channels with their names, phases and units, their values as real
// numbers, the sampling-rate segments, the start and the trigger. The readers of each
// format produce it; the analysis takes the channels it is told to from it.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/date_time.h"

namespace waveharm {

/// One analog channel. Its values are the file's values scaled as the file says (a·x + b),
/// in the channel's own unit; `toPrimary` turns them into primary values.
struct RecordChannel {
    int number = 0;       ///< 1-based among the record's analog channels
    std::string name;     ///< shown as UTF-8 (bytes of another encoding as '?')
    std::string rawName;  ///< the bytes as written
    std::string phase;    ///< "A", "B", "C", "N", "R", "1", ... as written; may be empty
    std::string circuit;  ///< the circuit or component monitored, as shown
    std::string unit;     ///< "V", "kV", "A", "kA", ... as written; may be empty
    /// Transformer ratio of the values: primary / secondary when the file holds
    /// secondary values, 1 when it holds primary ones.
    double toPrimary = 1;
    bool secondaryValues = false;     ///< the file holds secondary values
    double primaryRating = 0;         ///< the ratio's primary side as written (0 when none)
    double secondaryRating = 0;       ///< its secondary side (0 when none)
    std::int64_t clippedSamples = 0;  ///< samples at the limit of the file's number format
    std::int64_t missingSamples = 0;  ///< samples marked missing (held as NaN)
    /// The values a sample at the format's limit takes (a·x + b of its extreme x); a
    /// value at or beyond either is clipped. Infinite where the format has no limit.
    double clippedBelow = -std::numeric_limits<double>::infinity();
    double clippedAbove = std::numeric_limits<double>::infinity();
};

/// A stretch of samples taken at one rate: rows first .. end − 1.
struct RateSegment {
    double rate = 0;  ///< samples per second
    std::int64_t first = 0;
    std::int64_t end = 0;

    std::int64_t count() const { return end - first; }
};

/// Date and time with a fraction of a second, as the exchange formats write it.
struct RecordTime {
    DateTime whole;         ///< to the second (what listings show and sort by)
    double fraction = 0;    ///< 0 <= fraction < 1 second
    std::int64_t days = 0;  ///< days since 1899-12-30 of `whole`
    int secondOfDay = 0;

    /// Seconds from `earlier` to this time.
    double secondsSince(const RecordTime& earlier) const;
    /// The time shifted by a number of seconds (either way).
    RecordTime plusSeconds(double seconds) const;
    static RecordTime from(const CivilDateTime& civil, double fraction);
};

struct ChannelRecord {
    std::string format;  ///< "COMTRADE 1999 BINARY", "CSV", ...
    std::string station;
    std::string device;
    double lineFrequency = 0;  ///< nominal frequency the file gives, 0 when none
    std::vector<RecordChannel> channels;
    std::vector<RateSegment> segments;  ///< in time order, covering every row
    std::int64_t sampleCount = 0;       ///< rows per channel
    /// Channel after channel, `sampleCount` values each.
    std::vector<double> values;
    std::optional<RecordTime> start;
    /// Seconds from the start to the trigger, when the file gives a trigger.
    std::optional<double> triggerSeconds;

    std::span<const double> column(int channel) const {
        return {values.data() +
                    static_cast<std::size_t>(channel) * static_cast<std::size_t>(sampleCount),
                static_cast<std::size_t>(sampleCount)};
    }
    std::span<double> column(int channel) {
        return {values.data() +
                    static_cast<std::size_t>(channel) * static_cast<std::size_t>(sampleCount),
                static_cast<std::size_t>(sampleCount)};
    }
};

/// More values than a disturbance record holds (16 channels of over two minutes at
/// 50 kS/s; 1 GB as doubles): a header that declares more is refused before anything is
/// allocated.
inline constexpr std::int64_t kMaxRecordValues = std::int64_t{1} << 27;

/// Whether a step between two time stamps fits a record sampled at an even rate whose
/// mean step is `mean`: a logger's clock corrections (a tenth of a step or so) pass; a
/// lost or a doubled sample (a step of two, or none) does not.
inline bool evenStep(double step, double mean) {
    return mean > 0 && step > 0.5 * mean && step < 1.5 * mean;
}

/// A channel name as UTF-8: text that already is UTF-8 is kept; in any other encoding
/// ASCII characters are kept and every other byte becomes '?'.
std::string shownName(std::string_view bytes);

}  // namespace waveharm
