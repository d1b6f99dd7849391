// The campaign's trend charts and their summaries: each drawn column keeps its extremes
// at any zoom, the drawing does not grow with the number of records, and a stopped
// recorder leaves a gap.

#include "campaign/report_charts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "campaign/trend_summary.h"

namespace waveharm {
namespace {

std::size_t pointCount(const ChartGeometry& g) {
    std::size_t n = 0;
    for (const ChartPolyline& l : g.lines) n += l.points.size();
    return n;
}

// Minute records from day 45000 with a value of 1, a spike, a dip, a NaN and, in the
// first third, three days without records.
struct Campaign {
    std::vector<double> times;
    std::vector<float> values;
    explicit Campaign(std::size_t records) {
        for (std::size_t i = 0; i < records; ++i) {
            const double t = 45000 + double(i) / 1440 + (i > records / 4 ? 3.0 : 0.0);
            times.push_back(t);
            values.push_back(1.0f);
        }
        values[records / 3] = 9.0f;
        values[records / 2] = -4.0f;
        values[records / 5] = NAN;
    }
};

TEST(TrendSummary, KeepsEveryColumnsExtremesAtAnyZoomAndLeavesGapsEmpty) {
    for (std::size_t records : {5000u, 525600u}) {
        const Campaign c(records);
        const TrendSummary summary(c.times, c.values, 1.0 / 1440);
        const auto sizes = summary.levelSizes();
        ASSERT_GE(sizes.size(), 2u);
        EXPECT_LE(sizes.back(), 64u);
        for (std::size_t l = 1; l < sizes.size(); ++l) EXPECT_LE(sizes[l] * 7, sizes[l - 1] + 7);

        // The whole campaign, then a window of a few hundred records round the spike.
        const double spike = c.times[records / 3];
        for (const auto& [t0, t1] :
             {std::pair{c.times.front(), c.times.back()}, std::pair{spike - 0.1, spike + 0.1}}) {
            const auto columns = summary.extents(c.times, c.values, t0, t1, 600);
            const auto exact = decimateMinMax(c.times, c.values, t0, t1, 600);
            // A span straddling two columns counts in the first: only the columns at the
            // ends of the stop may differ from the records themselves.
            float highest = -1e9f;
            int differing = 0, empty = 0;
            for (std::size_t i = 0; i < columns.size(); ++i) {
                differing += columns[i].any != exact[i].any;
                empty += !columns[i].any;
                if (columns[i].any) highest = std::max(highest, columns[i].max);
            }
            EXPECT_LE(differing, 2) << records;
            EXPECT_EQ(highest, 9.0f) << records;
            if (t1 - t0 > 30) {
                EXPECT_GT(empty, 0) << "the stop of three days shows";
            }
        }
        const auto whole = summary.extents(c.times, c.values, c.times.front(), c.times.back(), 600);
        const float lowest = std::min_element(whole.begin(), whole.end(), [](auto& a, auto& b) {
                                 return a.any && (!b.any || a.min < b.min);
                             })->min;
        EXPECT_EQ(lowest, -4.0f);
    }
}

TEST(ReportCharts, ChartSizeIsFixedAndHiddenLinesKeepTheirLegend) {
    for (std::size_t records : {5000u, 500000u}) {
        const Campaign c(records);
        const TrendSummary summary(c.times, c.values, 1.0 / 1440);
        const TimeWindow w{c.times.front(), c.times.back()};
        const int columns = trendPlotColumns(720);
        TrendLine line{"V_thd", summary.extents(c.times, c.values, w.t0, w.t1, columns), "#000"};
        TrendLine hidden{"I1_thd", line.columns, "#c00", false};
        const ChartGeometry g = trendChart("V_thd", "%", w, 1.0 / 1440, {line, hidden}, 5.0);
        // Two points per drawn column, grid and limit lines, whatever the record count.
        EXPECT_LE(pointCount(g), 2u * columns + 20) << records;
        const auto drawn = std::count_if(line.columns.begin(), line.columns.end(),
                                         [](const ColumnExtent& e) { return e.any; });
        EXPECT_GE(pointCount(g), 2u * std::size_t(drawn)) << records;
        // The stop of three days breaks the line.
        EXPECT_GE(std::count_if(g.lines.begin(), g.lines.end(),
                                [](const ChartPolyline& l) { return l.colour == "#000"; }),
                  2);
        ASSERT_EQ(g.legend.size(), 2u);
        EXPECT_LT(g.legend[1].box.x, g.width);
        EXPECT_GT(g.legend[1].box.x, g.legend[0].box.x);
        EXPECT_EQ(g.valueTop, 10);  // the spike of 9, rounded up
    }
}

TEST(ReportCharts, LimitMarksAreDrawnOverTheBars) {
    OrderBars bars{{5, 7}, {3.0, 1.0}, {4.0, 1.5}, {2.0, std::nullopt}};
    const ChartGeometry g = orderBarChart("I1", "A", bars);
    // The SVG and the screen draw rectangles first and lines over them.
    ASSERT_FALSE(g.lines.empty());
    const ChartPolyline& mark = g.lines.back();
    EXPECT_EQ(mark.colour, "#d00000");
    const double y = mark.points.front().y;
    const auto under = std::find_if(g.rects.begin(), g.rects.end(), [&](const ChartRect& r) {
        return r.fill == "#1f5fa8" && r.y < y && r.y + r.height > y;
    });
    EXPECT_NE(under, g.rects.end()) << "the CP95 bar above its limit lies under the mark";
}

TEST(ReportCharts, TextsAreEscapedInTheSvg) {
    ChartGeometry g{100, 50, {}, {}, {{1, 2, "I<1> & \"x\""}}, {}, 0, {}};
    const std::string svg = toSvg(g);
    EXPECT_NE(svg.find("I&lt;1&gt; &amp; &quot;x&quot;"), std::string::npos) << svg;
    EXPECT_EQ(svg.find("I<1>"), std::string::npos);
}

}  // namespace
}  // namespace waveharm
