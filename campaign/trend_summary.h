#pragma once
// A trend's minimum and maximum over spans of time at a few resolutions, made once per
// campaign, so that a chart of any stretch of it is drawn from a few spans per pixel
// column whatever the record count, and the worst value of each column stays visible.

#include <cstdint>
#include <span>
#include <vector>

#include "campaign/report_charts.h"

namespace waveharm {

class TrendSummary {
  public:
    TrendSummary() = default;
    /// `times` ascending (days since 1899-12-30), `values` one per time (NaN: none);
    /// `spacing` the usual time between records in days (see typicalRecordSpacing).
    TrendSummary(std::span<const double> times, std::span<const float> values, double spacing);

    /// The minimum and maximum of each of `columns` equal columns of [t0, t1]: from the
    /// records themselves when a column is narrower than the finest span kept, else from
    /// the coarsest spans no wider than a column (a span straddling two columns counts in
    /// the first). `times` and `values` are those the summary was made from. The work is
    /// about eight spans or records per column.
    std::vector<ColumnExtent> extents(std::span<const double> times, std::span<const float> values,
                                      double t0, double t1, int columns) const;

    /// The spans kept at each resolution, finest first (for tests and benchmarks).
    std::vector<std::size_t> levelSizes() const;

  private:
    struct Level {
        double span = 0;                   ///< days per bucket
        std::vector<std::int64_t> bucket;  ///< bucket number from the origin, ascending
        std::vector<float> min, max;
    };

    double m_origin = 0;
    std::vector<Level> m_levels;
};

}  // namespace waveharm
