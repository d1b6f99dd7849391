#include "campaign/trend_summary.h"

#include <algorithm>
#include <cmath>

namespace waveharm {
namespace {

// Each level's spans are this many times those of the level below.
constexpr int kFactor = 8;
// Levels are added until one has no more spans than this.
constexpr std::size_t kCoarsest = 64;

void widen(ColumnExtent& e, float lo, float hi) {
    if (!e.any) {
        e = {true, lo, hi};
        return;
    }
    e.min = std::min(e.min, lo);
    e.max = std::max(e.max, hi);
}

}  // namespace

TrendSummary::TrendSummary(std::span<const double> times, std::span<const float> values,
                           double spacing) {
    if (times.empty() || !(spacing > 0)) return;
    m_origin = times.front();
    Level first;
    first.span = spacing * kFactor;
    const std::size_t n = std::min(times.size(), values.size());
    for (std::size_t i = 0; i < n; ++i) {
        const float v = values[i];
        if (std::isnan(v)) continue;
        const auto b = static_cast<std::int64_t>(std::floor((times[i] - m_origin) / first.span));
        if (!first.bucket.empty() && first.bucket.back() == b) {
            first.min.back() = std::min(first.min.back(), v);
            first.max.back() = std::max(first.max.back(), v);
            continue;
        }
        first.bucket.push_back(b);
        first.min.push_back(v);
        first.max.push_back(v);
    }
    m_levels.push_back(std::move(first));
    while (m_levels.back().bucket.size() > kCoarsest) {
        const Level& below = m_levels.back();
        Level up;
        up.span = below.span * kFactor;
        for (std::size_t i = 0; i < below.bucket.size(); ++i) {
            const std::int64_t b = below.bucket[i] / kFactor;
            if (!up.bucket.empty() && up.bucket.back() == b) {
                up.min.back() = std::min(up.min.back(), below.min[i]);
                up.max.back() = std::max(up.max.back(), below.max[i]);
                continue;
            }
            up.bucket.push_back(b);
            up.min.push_back(below.min[i]);
            up.max.push_back(below.max[i]);
        }
        m_levels.push_back(std::move(up));
    }
}

std::vector<ColumnExtent> TrendSummary::extents(std::span<const double> times,
                                                std::span<const float> values, double t0, double t1,
                                                int columns) const {
    std::vector<ColumnExtent> out(static_cast<std::size_t>(std::max(columns, 0)));
    if (out.empty() || !(t1 > t0)) return out;
    const double columnSpan = (t1 - t0) / columns;
    const Level* level = nullptr;
    for (const Level& l : m_levels)
        if (l.span <= columnSpan) level = &l;
    if (!level) {
        // Records themselves: only those within the window are visited.
        const auto first = std::lower_bound(times.begin(), times.end(), t0);
        const auto last = std::upper_bound(first, times.end(), t1);
        const auto from = static_cast<std::size_t>(first - times.begin());
        const auto count = static_cast<std::size_t>(last - first);
        return decimateMinMax(times.subspan(from, count), values.subspan(from, count), t0, t1,
                              columns);
    }
    const auto firstBucket = static_cast<std::int64_t>(std::floor((t0 - m_origin) / level->span));
    auto it = std::lower_bound(level->bucket.begin(), level->bucket.end(), firstBucket);
    for (; it != level->bucket.end(); ++it) {
        const double start = m_origin + static_cast<double>(*it) * level->span;
        if (start > t1) break;
        const double at = std::max(start, t0);
        const auto c =
            std::min<std::size_t>(out.size() - 1, static_cast<std::size_t>((at - t0) / columnSpan));
        const auto i = static_cast<std::size_t>(it - level->bucket.begin());
        widen(out[c], level->min[i], level->max[i]);
    }
    return out;
}

std::vector<std::size_t> TrendSummary::levelSizes() const {
    std::vector<std::size_t> sizes;
    for (const Level& l : m_levels) sizes.push_back(l.bucket.size());
    return sizes;
}

}  // namespace waveharm
