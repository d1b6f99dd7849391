#pragma once
// The accurate ("高精度") analysis window: the fundamental's period fitted over the whole
// record and every point of the window interpolated from the recorded samples around it
// by a Kaiser-windowed sinc.

#include <cstdint>
#include <span>

#include "engine/harmonic_result.h"
#include "engine/period.h"

namespace waveharm {

/// True when the kernel at every position from `start` to `end` (fractional samples)
/// stays on the table's recorded rows. The kernel reaches k − 31 .. k + 32 for a point
/// between samples k and k + 1 of the recorder's counts, and k − 127 .. k + 128 of real
/// values (records of other instruments, whose pass band reaches 0.49 of the rate).
bool kernelFits(const SampleTable& samples, double start, double end);

/// The fundamental's period in samples fitted over the record: the phase drift of the
/// fundamental between two Hann-tapered stretches of whole periods, on spans of 8 and 64
/// periods and then the whole record, starting from `period` (the crossings' estimate).
/// Returns `period` unchanged when the record holds fewer than three periods, the
/// fundamental is absent or the fit moves more than 5 % away from it.
double fitFundamentalPeriod(std::span<const std::int16_t> x, std::int64_t totalSamples,
                            double period);
/// The same on real values (records of other instruments).
double fitFundamentalPeriod(std::span<const double> x, std::int64_t totalSamples, double period);

/// The band-limited mode's analysis period from the measured one: a measured (not fixed)
/// period is replaced by the R-S voltage's fitted period from the same start; a window
/// too close to the record's start for the kernel is moved on by whole periods. When no
/// such move makes room the window is returned as it is (the resampler then interpolates
/// linearly).
AnalysisPeriod bandLimitedPeriod(const Recording& recording, const ConversionSettings& settings,
                                 const AnalysisPeriod& measured);

/// Band-limited values of `slots` (each with rows 0 .. totalSamples − 1) at the same
/// `positions`: `columns[c][i]` receives slot c at positions[i], `peaks[c]` the largest
/// |value| rounded (at most 32767). The kernel weights are computed once per position.
/// Throws AnalysisError when a position's kernel leaves the recorded rows.
void resampleBandLimited(std::span<const std::span<const std::int16_t>> slots,
                         std::int64_t totalSamples, std::span<const double> positions,
                         std::span<float* const> columns, std::span<int> peaks);
/// The same on real values (records of other instruments).
void resampleBandLimited(std::span<const std::span<const double>> slots, std::int64_t totalSamples,
                         std::span<const double> positions, std::span<float* const> columns,
                         std::span<int> peaks);

/// True when an analysis with these settings reads every row of the sample table (the
/// period fit walks the whole R-S voltage record, the kernel reaches 32 rows beyond the
/// window); false when the linear mode needs only the rows the period search and the
/// window touch.
bool analysisReadsWholeRecord(const ConversionSettings& settings);

}  // namespace waveharm
