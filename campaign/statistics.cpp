#include "campaign/statistics.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace waveharm {

double percentileInclusive(std::span<const float> sorted, double p) {
    assert(!sorted.empty() && p >= 0 && p <= 1 && "a quantile of an empty series");
    const double rank = static_cast<double>(sorted.size() - 1) * p;
    const std::size_t below = static_cast<std::size_t>(std::floor(rank));
    const double fraction = rank - static_cast<double>(below);
    if (below + 1 >= sorted.size()) return sorted[below];
    const double lo = sorted[below], hi = sorted[below + 1];
    return lo + fraction * (hi - lo);
}

SeriesStatistics describeSeries(std::span<float> values) {
    const auto numbers =
        std::partition(values.begin(), values.end(), [](float v) { return !std::isnan(v); });
    const std::span<float> valid(values.begin(), numbers);
    SeriesStatistics s;
    if (valid.empty()) return s;
    double sum = 0;
    float lo = valid.front(), hi = valid.front();
    for (float v : valid) {
        sum += v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    s.count = valid.size();
    s.min = lo;
    s.max = hi;
    s.mean = sum / static_cast<double>(valid.size());
    // Only the two ranks around the 95th percentile need to be in place: select the
    // lower one, then the upper one is the smallest value above it.
    const double rank = static_cast<double>(valid.size() - 1) * 0.95;
    const std::size_t below = static_cast<std::size_t>(std::floor(rank));
    std::nth_element(valid.begin(), valid.begin() + below, valid.end());
    if (below + 1 < valid.size()) {
        std::nth_element(valid.begin() + below + 1, valid.begin() + below + 1, valid.end());
        s.cp95 = percentileInclusive(valid.subspan(below, 2), rank - static_cast<double>(below));
    } else {
        s.cp95 = valid[below];
    }
    return s;
}
}  // namespace waveharm
