#pragma once
// Charts of a campaign as plain geometry: rectangles, polylines and texts in the
// chart's logical units (one unit per drawn column of the trend), turned into SVG
// for the report. Nothing here depends on how many records there are: a trend keeps
// only each drawn column's minimum and maximum.

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace waveharm {

struct ChartPoint {
    double x = 0;
    double y = 0;
};

struct ChartRect {
    double x = 0, y = 0, width = 0, height = 0;
    std::string fill;
    std::string stroke;  ///< empty: no outline
};

struct ChartPolyline {
    std::vector<ChartPoint> points;
    std::string colour;
    double width = 1;
    bool dashed = false;
};

enum class TextAnchor { Start, Middle, End };

struct ChartText {
    double x = 0, y = 0;  ///< baseline position
    std::string text;     ///< plain text, escaped when written
    TextAnchor anchor = TextAnchor::Start;
    double size = 11;
    std::string colour = "#222";
};

/// An axis-parallel box in a chart's logical units (y grows downwards).
struct ChartBox {
    double x = 0, y = 0, width = 0, height = 0;
    bool contains(double px, double py) const {
        return px >= x && px <= x + width && py >= y && py <= y + height;
    }
};

/// Where a line's legend entry is drawn, so that a screen can show or hide the line
/// when the entry is clicked.
struct ChartLegendEntry {
    std::size_t line = 0;  ///< index into the chart's TrendLine list
    ChartBox box;
};

/// A chart as drawn: rectangles first, then lines over them, then texts.
struct ChartGeometry {
    double width = 0, height = 0;
    std::vector<ChartRect> rects;
    std::vector<ChartPolyline> lines;
    std::vector<ChartText> texts;
    ChartBox plot;                         ///< the plot area inside the axes
    double valueTop = 0;                   ///< the value at the top of the plot area
    std::vector<ChartLegendEntry> legend;  ///< trend charts only
};

/// The minimum and maximum of the values that fall into one drawn column.
struct ColumnExtent {
    bool any = false;
    float min = 0;
    float max = 0;
};

/// Splits the time span [t0, t1] into `columns` equal columns and keeps, for each,
/// the minimum and maximum of the values whose time falls into it (NaN values are
/// skipped). `times` ascending, same length as `values`.
std::vector<ColumnExtent> decimateMinMax(std::span<const double> times,
                                         std::span<const float> values, double t0, double t1,
                                         int columns);

/// The median time between consecutive records of different times (days); 0 when
/// there are no two such records. Records
/// more than five of these apart are drawn with a gap between them (the recorder was
/// stopped).
double typicalRecordSpacing(std::span<const double> times);

/// A round axis top at or above `value` (1, 2 or 5 times a power of ten).
double niceCeiling(double value);

struct TrendLine {
    std::string label;
    std::vector<ColumnExtent> columns;  ///< one per plot column (see trendPlotColumns)
    std::string colour;
    bool shown = true;  ///< a hidden line keeps its legend entry, greyed
};

/// The colour of a distortion trend: the voltage's (feeder 0) and each feeder's own,
/// the same in the report and on the screen.
const char* trendColour(int feeder);

/// The stretch of time a trend chart shows, in days since 1899-12-30.
struct TimeWindow {
    double t0 = 0, t1 = 0;
};

/// The plot columns of a trend chart `width` wide: one per logical unit of its plot area.
int trendPlotColumns(double width);

/// A trend over `window`: every plot column drawn from its minimum to its maximum (the
/// lines' `columns`), so the worst value stays visible at any record count, runs of
/// records further apart than five `recordSpacing` left as gaps, with an optional dashed
/// limit line; the value axis runs from 0 to a round value above the shown lines and the
/// limit, labelled with `unit`. The legend at the right end of the title line lists
/// every line.
ChartGeometry trendChart(const std::string& title, const std::string& unit, TimeWindow window,
                         double recordSpacing, const std::vector<TrendLine>& lines,
                         std::optional<double> limit, double width = 720, double height = 230);

/// One bar group per harmonic order: the CP95 and the maximum side by side, and the
/// limit of the order, where there is one, as a red mark across the group.
struct OrderBars {
    std::vector<int> orders;
    std::vector<double> cp95;
    std::vector<double> max;
    std::vector<std::optional<double>> limit;
};

ChartGeometry orderBarChart(const std::string& title, const std::string& unit,
                            const OrderBars& bars, double width = 720, double height = 230);

/// The chart as an inline SVG element, texts escaped.
std::string toSvg(const ChartGeometry& chart);

/// Text with &, <, >, " and ' replaced by entities, for HTML and SVG.
std::string escapeMarkup(std::string_view text);

}  // namespace waveharm
