#pragma once
// The fundamental period of a recording: the rising zero crossings of the R-S voltage, or
// a fixed 50/60 Hz period, and the rows of the recording the search needs.

#include <cstdint>
#include <optional>
#include <span>

#include "engine/analysis_error.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// Sum of `width` samples of a slot starting at centre − width/2; `next` receives the
/// sum one position later.
float movingSum(std::span<const std::int16_t> x, int width, std::int64_t centre, float& next);

/// First rising zero crossing of the 11-point moving sum at or after `position`
/// (in/out, stepped as the search goes); −1 when none. `limit` is the sample count.
/// A start exactly on a rising crossing returns it; a start in a positive half-cycle too
/// close to the record's start to step back from moves on to the next negative one.
/// Samples outside `x` read as 0; positions are 64-bit.
double findRisingZeroCrossing(std::span<const std::int16_t> x, std::int64_t& position,
                              double limit);

/// The analysis period of one recording, in fractional sample positions.
struct AnalysisPeriod {
    double windowStart = 0;
    double windowEnd = 0;
    bool fixed = false;      ///< fixed 50/60 Hz period instead of a measured one
    double frequencyHz = 0;  ///< sampling rate / period
    /// The rows of the R-S voltage the crossing search read (empty for a fixed sync mode).
    RowRange rowsSearched;
};

/// Where the search for the crossing that closes the period begins, given the first
/// rising crossing t1: in the negative half-cycle after t1 for 50 Hz and 60 Hz signals
/// alike (0.68 of a 50 Hz period after t1). The wiring check uses the same start.
std::int64_t secondCrossingSearchStart(double t1, double samplingRateKHz);

/// Sample-table slot of channel-map entry `e` (0 R-S, 1 T-S, 2f/2f+1 feeder f's R/T):
/// channelMap[e] − 1 with one channel per feeder and one feeder, else
/// (channelMap[e] − 1) div step, step = 1 for paired channels and 2 otherwise.
/// −1 when the entry names no channel.
int sourceSlot(const ConversionSettings& settings, int e);

/// Finds the analysis period of a recording by the sync mode (Fourier = zero cross).
/// The second crossing search starts in the negative half-cycle after t1, so 50 Hz and
/// 60 Hz signals both measure their own period. No crossing pair, or a period reaching
/// past the last sample, gives the fixed 50 Hz period, marked `fixed`. Throws AnalysisError
/// when the sampling rate is not positive, the R-S channel is not in the recording or
/// not even the fixed period fits in the recording.
AnalysisPeriod findAnalysisPeriod(const Recording& recording, const ConversionSettings& settings);

/// The rows an analysis with `settings` normally reads from a recording with `header`:
/// from 0 with a fixed period; around the search start near the pre-trigger point with a
/// measured one, enough for the two crossing searches and the window of a 45–65 Hz
/// fundamental. Nothing (the whole table) when the interpolation mode reads the whole
/// record or the header gives no sampling rate. An analysis that reaches further raises
/// RowsNotLoaded rather than work on rows not read.
std::optional<RowRange> rowsForAnalysis(const RecorderFileHeader& header,
                                        const ConversionSettings& settings);

/// Sample-table slot of channel-map entry `e` in `recording`. Throws AnalysisError when the
/// entry names no channel the recording holds.
int recordedSlot(const Recording& recording, const ConversionSettings& settings, int e);

/// True when a window from `start` to `end` (fractional sample positions) lies on the
/// recorded samples, so the interpolation at its end stays on them.
bool windowFits(const Recording& recording, double start, double end);

}  // namespace waveharm
