// Campaign statistics against an independent computation: a full sort and the
// closest-ranks interpolation worked out in long double.

#include "campaign/statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace waveharm {
namespace {

TEST(CampaignStatistics, PercentileMatchesSpreadsheetValuesWorkedByHand) {
    const std::vector<float> sorted{1, 2, 3, 4};
    // PERCENTILE.INC({1,2,3,4}; 0.95) = 3.85: rank 0.95·3 = 2.85 between 3 and 4.
    EXPECT_NEAR(percentileInclusive(sorted, 0.95), 3.85, 1e-12);
    EXPECT_DOUBLE_EQ(percentileInclusive(sorted, 0.0), 1);
    EXPECT_DOUBLE_EQ(percentileInclusive(sorted, 1.0), 4);
    const std::vector<float> one{7.5f};
    EXPECT_DOUBLE_EQ(percentileInclusive(one, 0.95), 7.5);
}

TEST(CampaignStatistics, DescribeSeriesAgreesWithAFullSortAndIgnoresNaN) {
    std::mt19937 random(11);
    std::lognormal_distribution<float> value(1.0f, 0.8f);
    for (std::size_t n : {1u, 2u, 20u, 21u, 1001u}) {
        std::vector<float> values(n);
        for (float& v : values) v = value(random);
        std::vector<float> expected = values;
        values.insert(values.begin() + static_cast<std::ptrdiff_t>(n / 2), NAN);
        std::sort(expected.begin(), expected.end());
        long double sum = 0;
        for (float v : expected) sum += v;
        const long double rank = (n - 1) * 0.95L;
        const std::size_t lo = static_cast<std::size_t>(rank);
        const std::size_t hi = std::min(lo + 1, n - 1);
        const long double cp95 = expected[lo] + (rank - lo) * (expected[hi] - expected[lo]);

        const SeriesStatistics s = describeSeries(values);
        EXPECT_EQ(s.count, n);
        EXPECT_EQ(s.min, expected.front());
        EXPECT_EQ(s.max, expected.back());
        EXPECT_NEAR(s.mean, static_cast<double>(sum / n), 1e-9 * s.max) << n;
        EXPECT_NEAR(s.cp95, static_cast<double>(cp95), 1e-6 * s.max) << n;
    }
    std::vector<float> none{NAN, NAN};
    EXPECT_EQ(describeSeries(none).count, 0u);
}

}  // namespace
}  // namespace waveharm
