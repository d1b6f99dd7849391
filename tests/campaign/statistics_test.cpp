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

// The passes against describeSeries over the whole of each series, under budgets that
// settle it in one pass, in two (the sample's bracket), and in more when the sample
// misleads: values that repeat with the sample's stride, few distinct values, NaN.
TEST(CampaignStatistics, PassesAgreeExactlyWithAFullSelection) {
    const std::size_t records = 20000;
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<std::vector<float>> series(5, std::vector<float>(records));
    for (std::size_t i = 0; i < records; ++i) {
        series[0][i] = 50 + 10 * std::sin(float(i) / 300) + noise(random);
        series[1][i] = float(i % 625 == 0 ? 1000 : i % 7);  // 625: the stride at 256 bytes
        series[2][i] = float(i % 3) * 0.25f;                // few values, many equal
        series[3][i] = i % 11 == 0 ? NAN : -noise(random);  // negative, NaN
        series[4][i] = NAN;
    }
    series[0][123] = 1e30f;  // a far outlier stretches the range
    struct Budget {
        std::size_t bytes;
        int passes;  // 0: more than two
    };
    for (const Budget budget :
         {Budget{std::size_t{16} << 20, 1}, Budget{200000, 2}, Budget{256 * series.size(), 0}}) {
        StatisticsPasses passes(series.size(), records, budget.bytes);
        std::vector<float> row(series.size());
        while (passes.needsPass()) {
            passes.beginPass();
            for (std::size_t i = 0; i < records; ++i) {
                for (std::size_t s = 0; s < series.size(); ++s) row[s] = series[s][i];
                passes.add(row);
            }
            passes.endPass();
            ASSERT_LT(passes.passesDone(), 20) << "the search ends";
        }
        if (budget.passes > 0) {
            EXPECT_EQ(passes.passesDone(), budget.passes) << budget.bytes;
        } else {
            EXPECT_GT(passes.passesDone(), 2) << budget.bytes;
        }
        const auto results = passes.results();
        for (std::size_t s = 0; s < series.size(); ++s) {
            std::vector<float> copy = series[s];
            const SeriesStatistics expected = describeSeries(copy);
            EXPECT_EQ(results[s].count, expected.count) << s;
            EXPECT_EQ(results[s].cp95, expected.cp95) << "series " << s << ", " << budget.bytes;
            EXPECT_EQ(results[s].max, expected.max) << s;
            EXPECT_NEAR(results[s].mean, expected.mean, 1e-9 * std::abs(expected.max)) << s;
        }
    }
}

}  // namespace
}  // namespace waveharm
