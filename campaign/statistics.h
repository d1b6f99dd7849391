#pragma once
// Summary statistics of one measured series over a campaign.

#include <cstddef>
#include <span>

namespace waveharm {

struct SeriesStatistics {
    std::size_t count = 0;  ///< values that took part (NaN values are left out)
    double min = 0;
    double mean = 0;
    double max = 0;
    double cp95 = 0;  ///< 95th percentile, see `percentileInclusive`
};

/// The p-th quantile (0 ≤ p ≤ 1) of `sorted` (ascending, no NaN, not empty) by linear
/// interpolation between the closest ranks: the rank (n − 1)·p counted from 0, its
/// fractional part weighting the two neighbours. This is Excel's PERCENTILE.INC and
/// NumPy's default "linear" method, so a spreadsheet over the same values agrees.
double percentileInclusive(std::span<const float> sorted, double p);

/// Count, min, mean (summed in double), max and the 95th percentile of `values`,
/// ignoring NaN entries; all zero with count 0 when no value is left. Reorders
/// `values` in place (a partial selection, not a full sort).
SeriesStatistics describeSeries(std::span<float> values);

}  // namespace waveharm
