#include "campaign/statistics.h"

#include <algorithm>
#include <bit>
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

namespace {

// Floats as unsigned keys in the same order (-0 taken as 0), so that ranges of values
// split into histogram bins exactly, in whole numbers.
std::uint32_t orderedKey(float v) {
    if (v == 0) v = 0.0f;
    const auto bits = std::bit_cast<std::uint32_t>(v);
    return (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
}

float fromKey(std::uint32_t key) {
    return std::bit_cast<float>((key & 0x80000000u) ? key & 0x7FFFFFFFu : ~key);
}

// The ranks (0-based) whose values the 95th percentile interpolates.
struct Ranks {
    std::size_t low, high;
    double fraction;
};

Ranks ranksOf(std::size_t count) {
    const double rank = static_cast<double>(count - 1) * 0.95;
    const auto low = static_cast<std::size_t>(std::floor(rank));
    return {low, std::min(low + 1, count - 1), rank - static_cast<double>(low)};
}

double interpolate(double low, double high, double fraction) {
    const float pair[2] = {static_cast<float>(low), static_cast<float>(high)};
    return percentileInclusive(pair, fraction);
}

}  // namespace

StatisticsPasses::StatisticsPasses(std::size_t series, std::size_t records, std::size_t memoryBytes)
    : m_series(series) {
    const std::size_t perSeries = memoryBytes / std::max<std::size_t>(series, 1);
    m_keepPerSeries = std::max<std::size_t>(perSeries / 2 / sizeof(float), 16);
    m_binCount = std::clamp<std::size_t>(perSeries / 4 / sizeof(std::uint32_t), 64, 4096);
    m_gatherFirst = records <= m_keepPerSeries;
    m_records = records;
    // Every stride-th record's values are kept in the first pass as a sample.
    const std::size_t sample = std::clamp<std::size_t>(perSeries / 2 / sizeof(float), 16, 32768);
    m_stride = std::max<std::size_t>(1, (records + sample - 1) / sample);
}

bool StatisticsPasses::needsPass() const {
    if (m_passes == 0) return true;
    return std::any_of(m_series.begin(), m_series.end(),
                       [](const Search& s) { return s.step != Step::Settled; });
}

void StatisticsPasses::beginPass() {
    for (Search& s : m_series) {
        if (m_passes == 0) s.kept.reserve(m_gatherFirst ? m_records : m_records / m_stride + 1);
        if (s.step == Step::Gather) s.kept.reserve(s.inRange);
        if (s.step != Step::Histogram) continue;
        // Bins of 2^shift keys each, at most m_binCount of them.
        s.shift = 0;
        while (((std::uint64_t(s.high) - s.low) >> s.shift) + 1 > m_binCount) ++s.shift;
        s.bins.assign(static_cast<std::size_t>(((std::uint64_t(s.high) - s.low) >> s.shift) + 1),
                      0);
    }
}

void StatisticsPasses::add(std::span<const float> values) {
    assert(values.size() == m_series.size() && "one value per series");
    if (m_passes == 0) {
        const bool keep = m_gatherFirst || m_offered++ % m_stride == 0;
        for (std::size_t i = 0; i < m_series.size(); ++i) {
            const float v = values[i];
            if (std::isnan(v)) continue;
            Search& s = m_series[i];
            if (s.count == 0) s.min = s.max = v;
            ++s.count;
            s.sum += v;
            s.min = std::min(s.min, v);
            s.max = std::max(s.max, v);
            if (keep) s.kept.push_back(v);
        }
        return;
    }
    for (std::size_t i = 0; i < m_series.size(); ++i) {
        const float v = values[i];
        Search& s = m_series[i];
        if (s.step == Step::Settled || std::isnan(v)) continue;
        const std::uint32_t key = orderedKey(v);
        if (s.step == Step::Ends) {
            // The largest value of the lower bin, the smallest of the upper.
            if (key >= s.low && key <= s.high) s.endLow = std::max(s.endLow, v);
            if (key >= s.upperLow && key <= s.upperHigh) s.endHigh = std::min(s.endHigh, v);
            continue;
        }
        if (s.step == Step::Bracket) {
            if (key < s.low) {
                ++s.below;
            } else if (key <= s.high) {
                ++s.inRange;
                if (!s.bins.empty())
                    ++s.bins[key - s.low];
                else if (s.kept.size() < m_keepPerSeries)
                    s.kept.push_back(v);
            }
            continue;
        }
        if (key < s.low || key > s.high) continue;
        if (s.step == Step::Gather)
            s.kept.push_back(v);
        else
            ++s.bins[(key - s.low) >> s.shift];
    }
}

void StatisticsPasses::endPass() {
    const bool first = m_passes == 0;
    ++m_passes;
    for (Search& s : m_series) {
        if (first) {
            settleFirstPass(s);
        } else if (s.step == Step::Gather) {
            settleKept(s);
        } else if (s.step == Step::Bracket) {
            settleBracket(s);
        } else if (s.step == Step::Histogram) {
            narrow(s);
        } else if (s.step == Step::Ends) {
            s.cp95 = interpolate(s.endLow, s.endHigh, ranksOf(s.count).fraction);
            s.step = Step::Settled;
        }
    }
}

void StatisticsPasses::settleFirstPass(Search& s) {
    if (s.count == 0) {
        s.step = Step::Settled;
        return;
    }
    s.low = orderedKey(s.min);
    s.high = orderedKey(s.max);
    s.below = 0;
    s.inRange = s.count;
    if (m_gatherFirst) {
        settleKept(s);
        return;
    }
    if (s.low == s.high || s.kept.empty()) {
        std::vector<float>().swap(s.kept);
        nextStep(s);
        return;
    }
    bracketFromSample(s);
}

// The sample's values a few standard errors either side of the 95th percentile: the
// next pass keeps the values between them and counts those below.
void StatisticsPasses::bracketFromSample(Search& s) {
    std::vector<float>& sample = s.kept;
    const Ranks r = ranksOf(s.count);
    const double m = static_cast<double>(sample.size());
    const double p = s.count > 1 ? double(r.low) / double(s.count - 1) : 0.0;
    const double centre = p * (m - 1);
    const double half = 5 * std::sqrt(m * p * (1 - p)) + 4;
    const auto a = static_cast<std::size_t>(std::max(0.0, std::floor(centre - half)));
    const auto b = static_cast<std::size_t>(std::min(m - 1, std::ceil(centre + half + 1)));
    std::nth_element(sample.begin(), sample.begin() + std::ptrdiff_t(a), sample.end());
    const float lowValue = sample[a];
    std::nth_element(sample.begin() + std::ptrdiff_t(a), sample.begin() + std::ptrdiff_t(b),
                     sample.end());
    const float highValue = sample[b];
    if (a > 0) s.low = orderedKey(lowValue);
    if (b + 1 < sample.size()) s.high = orderedKey(highValue);
    sample.clear();
    s.below = 0;
    s.inRange = 0;
    s.step = Step::Bracket;
    // A bracket of few distinct values (many equal readings) is counted value by value.
    s.shift = 0;
    if (std::uint64_t(s.high) - s.low < m_binCount) s.bins.assign(s.high - s.low + 1, 0);
}

// After a bracket pass: settled when the ranks fell among the values kept, else the
// side of the bracket that holds them is searched as any range is.
void StatisticsPasses::settleBracket(Search& s) {
    const Ranks r = ranksOf(s.count);
    const std::size_t above = s.below + s.inRange;
    if (r.low >= s.below && r.high < above) {
        if (!s.bins.empty()) {
            narrow(s);
            return;
        }
        if (s.kept.size() == s.inRange) {
            settleKept(s);
            return;
        }
    }
    std::vector<float>().swap(s.kept);
    std::vector<std::uint32_t>().swap(s.bins);
    const std::uint32_t minKey = orderedKey(s.min), maxKey = orderedKey(s.max);
    if (r.low < s.below) {
        // From the minimum: up to the bracket's bottom, or through it.
        s.inRange = r.high < s.below ? s.below : above;
        s.high = r.high < s.below ? s.low - 1 : s.high;
        s.low = minKey;
        s.below = 0;
    } else if (r.high >= above) {
        // To the maximum: from above the bracket's top, or from its bottom.
        const bool beyond = r.low >= above;
        s.low = beyond ? s.high + 1 : s.low;
        s.below = beyond ? above : s.below;
        s.inRange = s.count - s.below;
        s.high = maxKey;
    }
    nextStep(s);
}

// What the next pass does with the range: nothing when it holds one value, keep its
// values when they fit, else split it again.
void StatisticsPasses::nextStep(Search& s) {
    if (s.low == s.high) {
        s.cp95 = fromKey(s.low);
        s.step = Step::Settled;
    } else if (s.inRange <= m_keepPerSeries) {
        s.step = Step::Gather;
    } else {
        s.step = Step::Histogram;
    }
}

// Keeps the bin that holds both ranks (the range shrinks by up to the bin count); when
// the two ranks fall into different bins, the lower is the largest value of its bin and
// the upper the smallest of its own, which the next pass finds without keeping values.
void StatisticsPasses::narrow(Search& s) {
    const Ranks r = ranksOf(s.count);
    std::size_t before = s.below, lowBin = 0, highBin = 0, underLowBin = s.below;
    bool lowFound = false;
    for (std::size_t b = 0; b < s.bins.size(); ++b) {
        const std::size_t after = before + s.bins[b];
        if (!lowFound && r.low < after) {
            lowFound = true;
            lowBin = b;
            underLowBin = before;
        }
        if (r.high < after) {
            highBin = b;
            break;
        }
        before = after;
    }
    assert(lowFound && "the ranks lie within the range searched");
    // Bin b holds the keys low + b·2^shift onwards, 2^shift of them (the last up to high).
    const auto firstKey = [&](std::size_t b) {
        return static_cast<std::uint32_t>(s.low + (std::uint64_t(b) << s.shift));
    };
    const auto lastKey = [&](std::size_t b) {
        return static_cast<std::uint32_t>(
            std::min<std::uint64_t>(s.high, s.low + (std::uint64_t(b + 1) << s.shift) - 1));
    };
    const std::size_t lowCount = s.bins[lowBin];
    std::vector<std::uint32_t>().swap(s.bins);
    if (s.shift == 0) {
        // One key per bin: the bins name the values.
        s.cp95 = interpolate(fromKey(firstKey(lowBin)), fromKey(firstKey(highBin)), r.fraction);
        s.step = Step::Settled;
        return;
    }
    const std::uint32_t lowFirst = firstKey(lowBin), lowLast = lastKey(lowBin);
    if (lowBin != highBin) {
        s.step = Step::Ends;
        s.upperLow = firstKey(highBin);
        s.upperHigh = lastKey(highBin);
        s.endLow = fromKey(lowFirst);
        s.endHigh = fromKey(s.upperHigh);
        s.low = lowFirst;
        s.high = lowLast;
        return;
    }
    s.low = lowFirst;
    s.high = lowLast;
    s.below = underLowBin;
    s.inRange = lowCount;
    nextStep(s);
}

void StatisticsPasses::settleKept(Search& s) {
    const Ranks r = ranksOf(s.count);
    std::vector<float>& v = s.kept;
    assert(r.low >= s.below && r.high - s.below < v.size() && "the ranks lie among the kept");
    const auto low = v.begin() + static_cast<std::ptrdiff_t>(r.low - s.below);
    std::nth_element(v.begin(), low, v.end());
    const double lowValue = *low;
    const double highValue = r.high == r.low ? lowValue : *std::min_element(low + 1, v.end());
    s.cp95 = interpolate(lowValue, highValue, r.fraction);
    std::vector<float>().swap(v);
    s.step = Step::Settled;
}

std::vector<SeriesStatistics> StatisticsPasses::results() const {
    assert(!needsPass() && "every series settled");
    std::vector<SeriesStatistics> out;
    out.reserve(m_series.size());
    for (const Search& s : m_series) {
        SeriesStatistics st;
        if (s.count > 0) {
            st.count = s.count;
            st.min = s.min;
            st.max = s.max;
            st.mean = s.sum / static_cast<double>(s.count);
            st.cp95 = s.cp95;
        }
        out.push_back(st);
    }
    return out;
}

}  // namespace waveharm
