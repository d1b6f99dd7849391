#include "engine/period.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/band_limited.h"

namespace waveharm {

namespace {

constexpr int kSumWidth = 11;         // moving-sum width: a low-pass against noise
constexpr std::int64_t kStride = 99;  // the search looks 99 samples ahead or back

// Where the second crossing search starts after t1, as a fraction of a 50 Hz period:
// 245° after t1 for a 50 Hz signal and 294° for a 60 Hz one. Both lie in the negative
// half-cycle that precedes the next rising crossing, about 65° from either end, so the
// search neither steps back to t1 nor passes the crossing that closes the period.
constexpr double kSecondSearchFraction = 0.68;

// The slot the search walks (whole counts of a recorder, or real values of another
// instrument), and the lowest and highest row it read: a recording read only around its
// trigger point is searched again in full when the search left the rows read.
template <class Sample>
struct SearchedColumn {
    std::span<const Sample> x;
    std::int64_t lowest = std::numeric_limits<std::int64_t>::max();
    std::int64_t highest = std::numeric_limits<std::int64_t>::min();
};

// A sample of a slot; positions outside the table read as zero (the row after the last
// sample is zero as well), so the search never reads past the recorded data.
template <class Sample>
inline Sample sampleAt(SearchedColumn<Sample>& c, std::int64_t i) {
    const auto n = static_cast<std::int64_t>(c.x.size());
    if (i < 0 || i >= n) return 0;
    c.lowest = std::min(c.lowest, i);
    c.highest = std::max(c.highest, i);
    return c.x[static_cast<std::size_t>(i)];
}

template <class Sample>
float sumOf(SearchedColumn<Sample>& x, int width, std::int64_t centre, float& next) {
    const std::int64_t first = centre - width / 2;
    float sum = 0;
    for (std::int64_t i = first; i < first + width; ++i) sum += static_cast<float>(sampleAt(x, i));
    next = sum + static_cast<float>(sampleAt(x, first + width)) -
           static_cast<float>(sampleAt(x, first));
    return sum;
}

template <class Sample>
double searchCrossing(SearchedColumn<Sample>& x, std::int64_t& position, double limit);

// Results of one scan of the search besides a crossing position.
constexpr double kEndOfRecord = -1;     // the start left the searchable part of the record
constexpr double kNoCrossingHere = -2;  // the 100 samples after the start hold no crossing

// Rounds half to even into a sample position; false when the value does not fit.
bool roundPosition(double value, std::int64_t& position) {
    if (!std::isfinite(value) || std::fabs(value) > 1e15) return false;
    position = static_cast<std::int64_t>(std::nearbyint(value));
    return true;
}

double samplingRateOf(const RecorderFileHeader& header) {
    const double fs = header.samplingRateKHz;
    if (!std::isfinite(fs) || fs <= 0) {
        throw AnalysisError("the sampling rate of the recording is not positive");
    }
    return fs;
}

// The last sample position a window may reach: the interpolation at the window's end
// must stay on recorded samples.
double lastSamplePosition(const Recording& recording) {
    return static_cast<double>(recording.samples.totalSamples() - 1);
}

AnalysisPeriod fixedPeriod(const Recording& recording, double fsKHz, double hz) {
    AnalysisPeriod period;
    period.windowStart = 0;
    period.windowEnd = fsKHz * 1000 / hz;
    period.fixed = true;
    period.frequencyHz = fsKHz * 1000 / (period.windowEnd - period.windowStart);
    if (!windowFits(recording, period.windowStart, period.windowEnd)) {
        throw AnalysisError(
            "the recording holds " + std::to_string(recording.samples.totalSamples()) +
            " samples, less than one fixed " + std::to_string(int(hz)) + " Hz period");
    }
    return period;
}

// Half a cycle before the trigger point: the recorder triggers on ch1's rising edge.
double firstSearchStart(const RecorderFileHeader& header, double fsKHz) {
    const double half = fsKHz * 1000 / 50 / 2;
    if (header.isMr8880()) return half;
    return static_cast<double>(header.totalSamples) * header.pretrigger / 100 - half;
}

template <class Sample>
RowRange rowsRead(const SearchedColumn<Sample>& x) {
    if (x.highest < x.lowest) return {};
    return {x.lowest, x.highest + 1};
}

template <class Sample>
AnalysisPeriod searchedPeriod(const Recording& recording, double fsKHz, SearchedColumn<Sample>& x) {
    const double limit = static_cast<double>(recording.samples.totalSamples());
    std::int64_t position = 0;
    if (!roundPosition(firstSearchStart(recording.header, fsKHz), position))
        return fixedPeriod(recording, fsKHz, 50);
    const double t1 = searchCrossing(x, position, limit);
    if (t1 < 0) return fixedPeriod(recording, fsKHz, 50);

    position = secondCrossingSearchStart(t1, fsKHz);
    const double t2 = searchCrossing(x, position, limit);
    if (t2 < 0 || t2 <= t1 || !windowFits(recording, t1, t2)) {
        return fixedPeriod(recording, fsKHz, 50);
    }
    AnalysisPeriod period;
    period.windowStart = t1;
    period.windowEnd = t2;
    period.frequencyHz = fsKHz * 1000 / (t2 - t1);
    return period;
}

template <class Sample>
AnalysisPeriod periodOf(const Recording& recording, double fsKHz, std::span<const Sample> column) {
    SearchedColumn<Sample> x{column};
    AnalysisPeriod period = searchedPeriod(recording, fsKHz, x);
    period.rowsSearched = rowsRead(x);
    return period;
}

AnalysisPeriod zeroCrossPeriod(const Recording& recording, const ConversionSettings& settings,
                               double fsKHz) {
    const int slot = recordedSlot(recording, settings, 0);
    if (recording.samples.holdsReals())
        return periodOf(recording, fsKHz, recording.samples.realColumn(slot));
    return periodOf(recording, fsKHz, recording.samples.column(slot));
}

}  // namespace

float movingSum(std::span<const std::int16_t> x, int width, std::int64_t centre, float& next) {
    SearchedColumn<std::int16_t> column{x};
    return sumOf(column, width, centre, next);
}

namespace {

// The first rising crossing of the sums S(position) .. S(position + 100); kNoCrossingHere
// when there is none.
template <class Sample>
double scanHundred(SearchedColumn<Sample>& x, std::int64_t& position) {
    float s1 = 0;
    float s0 = sumOf(x, kSumWidth, position, s1);
    for (std::int64_t l = 0; l <= kStride; ++l) {
        // A search that starts exactly on a rising crossing (sum 0, then positive) has
        // found it: the stepping never moves off a zero sum, and scanning on would only
        // cover the positive half-cycle that follows.
        const bool startsOnCrossing = l == 0 && s0 == 0 && s1 > 0;
        if ((s0 < 0 && s1 >= 0) || startsOnCrossing) {
            const double crossing = static_cast<double>(position + l) - s0 / (s1 - s0);
            position = position + l + 1 - 50;
            return crossing;
        }
        s0 = s1;
        s1 += static_cast<float>(sampleAt(x, position - 5 + l + 12)) -
              static_cast<float>(sampleAt(x, position - 5 + l + 1));
    }
    return kNoCrossingHere;
}

// One pass of the search: steps back out of a positive half-cycle, then scans the next
// 100 sample sums, moving on by 100 samples while they end negative without a crossing.
template <class Sample>
double scanForCrossing(SearchedColumn<Sample>& x, std::int64_t& position, double limit) {
    float unused = 0;
    for (;;) {
        if (static_cast<double>(position) > limit - 100) return kEndOfRecord;
        // A start before the record (a pre-trigger span shorter than half a 50 Hz cycle)
        // begins at the first sample whose moving sum is complete.
        if (position < 5) position = 5;
        // Step back until the search starts in a negative half-cycle.
        if (sumOf(x, kSumWidth, position, unused) > 0 && position > 105) {
            position -= kStride;
            continue;
        }
        // The 100 sums are scanned before moving on even when the last is negative: a
        // positive half-cycle shorter than 100 samples (60 Hz, or a distorted 50 Hz, at
        // 10 kS/s) lies wholly between them, and a jump of 100 samples at half a period
        // would land on the same phase again and again, never seeing a crossing.
        const double crossing = scanHundred(x, position);
        if (crossing >= 0) return crossing;
        if (sumOf(x, kSumWidth, position + kStride, unused) < 0) {
            position += kStride + 1;
            continue;
        }
        return kNoCrossingHere;
    }
}

// Moves a search start that sits in a positive half-cycle on to the next negative sum.
// False when the record ends first.
template <class Sample>
bool leavePositiveHalfCycle(SearchedColumn<Sample>& x, std::int64_t& position, double limit) {
    float next = 0;
    float sum = sumOf(x, kSumWidth, position, next);
    while (sum >= 0) {
        if (static_cast<double>(position) > limit - 100) return false;
        ++position;
        sum = next;
        next += static_cast<float>(sampleAt(x, position + kSumWidth / 2 + 1)) -
                static_cast<float>(sampleAt(x, position - kSumWidth / 2));
    }
    return true;
}

}  // namespace

double findRisingZeroCrossing(std::span<const std::int16_t> x, std::int64_t& position,
                              double limit) {
    SearchedColumn<std::int16_t> column{x};
    return searchCrossing(column, position, limit);
}

namespace {

template <class Sample>
double searchCrossing(SearchedColumn<Sample>& x, std::int64_t& position, double limit) {
    // Where the last move past a positive half-cycle left the search. A noisy channel can
    // make the scan step back before that point and land in the same half-cycle again;
    // each move must therefore reach further than the one before, or the search ends.
    std::int64_t movedTo = std::numeric_limits<std::int64_t>::min();
    for (;;) {
        const double crossing = scanForCrossing(x, position, limit);
        if (crossing >= 0 || crossing == kEndOfRecord) return crossing;
        // Near the start of the record the search cannot step back out of a positive
        // half-cycle; instead of giving up it moves on to the following negative one.
        if (crossing == kNoCrossingHere && leavePositiveHalfCycle(x, position, limit) &&
            position > movedTo) {
            movedTo = position;
            continue;
        }
        position = 4150;
        return -1;
    }
}

}  // namespace

std::int64_t secondCrossingSearchStart(double t1, double samplingRateKHz) {
    std::int64_t position = -1000;  // fails the search when t1 makes no sense
    roundPosition(t1 + kSecondSearchFraction * samplingRateKHz * 1000 / 50, position);
    return position;
}

std::optional<RowRange> rowsForAnalysis(const RecorderFileHeader& header,
                                        const ConversionSettings& settings) {
    if (analysisReadsWholeRecord(settings)) return std::nullopt;
    const double fs = header.samplingRateKHz;
    if (!std::isfinite(fs) || fs <= 0) return std::nullopt;
    const double period50 = fs * 1000 / 50;
    // The fixed 50 Hz window, also the fallback when no crossing pair is found: rows from
    // 0 to the sample after its end.
    const auto fixedEnd = static_cast<std::int64_t>(std::ceil(period50)) + 2;
    if (settings.syncMode == SyncMode::Fixed50Hz || settings.syncMode == SyncMode::Fixed60Hz)
        return RowRange{0, fixedEnd};
    const double start = firstSearchStart(header, fs);
    if (!std::isfinite(start) || std::fabs(start) > 1e15) return std::nullopt;
    // Back out of the positive half-cycle the start may lie in, then forward over the
    // crossing t1, the second search from 0.68 of a 50 Hz period after it and the
    // crossing t2 a 45 Hz period after t1, each search looking 106 rows beyond its
    // position; with room to spare on both sides.
    const double before = period50 + 2 * (kStride + kSumWidth);
    const double after = 3 * period50 + 4 * (kStride + kSumWidth);
    RowRange rows{static_cast<std::int64_t>(std::floor(start - before)),
                  static_cast<std::int64_t>(std::ceil(start + after))};
    // A span that starts within the fixed window takes the fixed window along.
    if (rows.first <= fixedEnd) rows.first = 0;
    if (rows.first == 0) rows.end = std::max(rows.end, fixedEnd);
    return rows;
}

bool windowFits(const Recording& recording, double start, double end) {
    return std::isfinite(start) && std::isfinite(end) && start >= 0 && end > start &&
           end <= lastSamplePosition(recording);
}

int recordedSlot(const Recording& recording, const ConversionSettings& settings, int e) {
    const int slot = sourceSlot(settings, e);
    if (slot < 0 || slot >= recording.samples.channelCount()) {
        throw AnalysisError("channel entry " + std::to_string(e) + " names recorder channel " +
                            std::to_string(settings.channelMap[static_cast<std::size_t>(e)]) +
                            ", but the recording holds " +
                            std::to_string(recording.samples.channelCount()) + " channels");
    }
    return slot;
}

int sourceSlot(const ConversionSettings& settings, int e) {
    if (e < 0 || e >= kChannelMapSize) return -1;
    const int channel = settings.channelMap[static_cast<std::size_t>(e)];
    if (channel <= 0) return -1;
    const bool paired = pairedChannels(settings.measurementType);
    if (!paired && settings.feederCount == 1) return channel - 1;
    const int step = paired ? 1 : 2;
    return (channel - 1) / step;
}

namespace {

AnalysisPeriod periodBySyncMode(const Recording& recording, const ConversionSettings& settings) {
    const double fsKHz = samplingRateOf(recording.header);
    switch (settings.syncMode) {
        case SyncMode::Fixed50Hz:
            return fixedPeriod(recording, fsKHz, 50);
        case SyncMode::Fixed60Hz:
            return fixedPeriod(recording, fsKHz, 60);
        case SyncMode::ZeroCross:
        case SyncMode::Fourier:  // no period source of its own: measured like ZeroCross
            break;
    }
    return zeroCrossPeriod(recording, settings, fsKHz);
}

}  // namespace

AnalysisPeriod findAnalysisPeriod(const Recording& recording, const ConversionSettings& settings) {
    const AnalysisPeriod period = periodBySyncMode(recording, settings);
    if (settings.interpolation != InterpolationMode::BandLimited) return period;
    return bandLimitedPeriod(recording, settings, period);
}

}  // namespace waveharm
