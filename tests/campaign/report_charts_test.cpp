// The report's trend charts: each drawn column keeps its extremes, and the drawing does
// not grow with the number of records.

#include "campaign/report_charts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace waveharm {
namespace {

std::size_t pointCount(const ChartGeometry& g) {
    std::size_t n = 0;
    for (const ChartPolyline& l : g.lines) n += l.points.size();
    return n;
}

TEST(ReportCharts, ASingleSpikeSurvivesDecimationAndChartSizeIsFixed) {
    for (std::size_t records : {5000u, 500000u}) {
        std::vector<double> times(records);
        std::vector<float> values(records, 1.0f);
        for (std::size_t i = 0; i < records; ++i) times[i] = 45000 + double(i) / 1440;
        values[records / 3] = 9.0f;
        values[records / 2] = -4.0f;
        values[records / 4] = NAN;
        const auto columns = decimateMinMax(times, values, times.front(), times.back(), 600);
        float highest = -1e9f, lowest = 1e9f;
        for (const ColumnExtent& c : columns) {
            ASSERT_TRUE(c.any);
            highest = std::max(highest, c.max);
            lowest = std::min(lowest, c.min);
        }
        EXPECT_EQ(highest, 9.0f);
        EXPECT_EQ(lowest, -4.0f);

        const ChartGeometry g = trendChart("V_thd", "%", times, {{"V_thd", values, "#000"}}, 5.0);
        // Two points per drawn column and a few grid lines, whatever the record count.
        EXPECT_LE(pointCount(g), 2 * 662 + 40u) << records;
        EXPECT_GE(pointCount(g), 2 * 600u) << records;
    }
}

TEST(ReportCharts, TextsAreEscapedInTheSvg) {
    ChartGeometry g{100, 50, {}, {}, {{1, 2, "I<1> & \"x\""}}};
    const std::string svg = toSvg(g);
    EXPECT_NE(svg.find("I&lt;1&gt; &amp; &quot;x&quot;"), std::string::npos) << svg;
    EXPECT_EQ(svg.find("I<1>"), std::string::npos);
}

}  // namespace
}  // namespace waveharm
