#pragma once
// Linear interpolation of one recorded channel onto the points of the analysis window:
// the inner loop of every conversion that does not use the band-limited kernel.

#include <cstddef>
#include <cstdint>

namespace waveharm::detail {

/// A recorded row under the window: its sample and the step to the next row. Both are
/// whole counts, exact in double, so a point is `x0 + fraction * step` from one load.
struct alignas(16) RowStep {
    double x0 = 0;
    double step = 0;
};

/// Fills `rows[r]` with sample x[r] and the step x[r + 1] - x[r], for r < count; reads
/// x[0] .. x[count].
void fillRowSteps(const std::int16_t* x, std::size_t count, RowStep* rows);

/// The same, one row at a time: what the vector path must match.
void fillRowStepsScalar(const std::int16_t* x, std::size_t count, RowStep* rows);

/// The same for real values (records of other instruments).
void fillRowSteps(const double* x, std::size_t count, RowStep* rows);

/// Writes to `column[i]` the value of point i, `fraction[i] * rows[below[i]].step +
/// rows[below[i]].x0` rounded to float, for i < points. Returns the largest magnitude of
/// the values before rounding (0 for no points). Two points per vector operation where
/// the processor has them; the values are the same bits either way.
double interpolateColumn(const RowStep* rows, const std::size_t* below, const double* fraction,
                         std::size_t points, float* column);

/// The same, one point at a time: what the vector path must match bit for bit.
double interpolateColumnScalar(const RowStep* rows, const std::size_t* below,
                               const double* fraction, std::size_t points, float* column);

}  // namespace waveharm::detail
