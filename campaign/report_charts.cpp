#include "campaign/report_charts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/date_time.h"

namespace waveharm {
namespace {

constexpr double kLeft = 58, kRight = 14, kTop = 30, kBottom = 36;
constexpr const char* kAxisColour = "#555";
constexpr const char* kGridColour = "#ddd";
constexpr const char* kLimitColour = "#d00000";

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

std::string timeLabel(double serial, double spanDays) {
    const CivilDateTime c = DateTime{serial}.civil();
    char buf[32];
    if (spanDays <= 3)
        std::snprintf(buf, sizeof buf, "%02d/%02d %02d:%02d", c.month, c.day, c.hour, c.minute);
    else
        std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", c.year, c.month, c.day);
    return buf;
}

struct Frame {
    double left, top, width, height, yTop;
    double y(double v) const { return top + height - std::clamp(v / yTop, 0.0, 1.0) * height; }
};

// The frame, value grid and value labels of a chart whose axis runs from 0 to yTop.
Frame drawFrame(ChartGeometry& g, const std::string& title, const std::string& unit, double yTop) {
    Frame f{kLeft, kTop, g.width - kLeft - kRight, g.height - kTop - kBottom, yTop};
    g.texts.push_back({kLeft, 18, title, TextAnchor::Start, 13, "#111"});
    g.texts.push_back({kLeft - 6, kTop - 8, unit, TextAnchor::End, 10, kAxisColour});
    for (int i = 0; i <= 5; ++i) {
        const double v = yTop * i / 5, y = f.y(v);
        g.lines.push_back({{{f.left, y}, {f.left + f.width, y}}, kGridColour, 0.6, false});
        g.texts.push_back({f.left - 6, y + 3.5, number(v), TextAnchor::End, 10, kAxisColour});
    }
    g.rects.push_back({f.left, f.top, f.width, f.height, "none", kAxisColour});
    g.plot = {f.left, f.top, f.width, f.height};
    g.valueTop = yTop;
    return f;
}

void drawLimit(ChartGeometry& g, const Frame& f, std::optional<double> limit) {
    if (!limit) return;
    const double y = f.y(*limit);
    g.lines.push_back({{{f.left, y}, {f.left + f.width, y}}, kLimitColour, 1.4, true});
    g.texts.push_back({f.left + f.width - 4, y - 4, "制限値 " + number(*limit), TextAnchor::End, 10,
                       kLimitColour});
}

// Width of a label in logical units: Latin characters about 0.6 of the font size,
// Japanese ones a full size.
double textWidth(const std::string& text, double size) {
    double w = 0;
    for (unsigned char c : text) {
        if (c < 0x80)
            w += 0.6 * size;
        else if (c >= 0xC0)
            w += size;  // the lead byte of a multi-byte character
    }
    return w;
}

// Legend entries from the right end of the title line leftwards; an entry without a
// colour stands for a hidden line and is drawn grey and hollow. Returns each entry's box
// in the order given.
std::vector<ChartBox> drawLegend(ChartGeometry& g,
                                 const std::vector<std::pair<std::string, std::string>>& items) {
    std::vector<ChartBox> boxes(items.size());
    double x = g.width - kRight;
    for (std::size_t i = items.size(); i-- > 0;) {
        const auto& [label, colour] = items[i];
        const double w = textWidth(label, 10);
        x -= w;
        g.texts.push_back({x, 18, label, TextAnchor::Start, 10, colour.empty() ? "#aaa" : "#333"});
        if (colour.empty())
            g.rects.push_back({x - 14, 10, 10, 10, "none", "#aaa"});
        else
            g.rects.push_back({x - 14, 10, 10, 10, colour, ""});
        boxes[i] = {x - 16, 6, w + 18, 16};
        x -= 26;
    }
    return boxes;
}

}  // namespace

std::vector<ColumnExtent> decimateMinMax(std::span<const double> times,
                                         std::span<const float> values, double t0, double t1,
                                         int columns) {
    std::vector<ColumnExtent> out(static_cast<std::size_t>(std::max(columns, 0)));
    if (out.empty() || !(t1 >= t0)) return out;
    const double span = t1 > t0 ? t1 - t0 : 1.0;
    const std::size_t n = std::min(times.size(), values.size());
    for (std::size_t i = 0; i < n; ++i) {
        const float v = values[i];
        if (std::isnan(v) || times[i] < t0 || times[i] > t1) continue;
        const auto c = std::min<std::size_t>(
            out.size() - 1, static_cast<std::size_t>((times[i] - t0) / span * columns));
        ColumnExtent& e = out[c];
        if (!e.any) {
            e = {true, v, v};
        } else {
            e.min = std::min(e.min, v);
            e.max = std::max(e.max, v);
        }
    }
    return out;
}

double typicalRecordSpacing(std::span<const double> times) {
    // Records sharing a minute stamp (one per recording within a minute) do not count.
    std::vector<double> gaps;
    for (std::size_t i = 1; i < times.size(); ++i)
        if (times[i] > times[i - 1]) gaps.push_back(times[i] - times[i - 1]);
    if (gaps.empty()) return 0;
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    return gaps[gaps.size() / 2];
}

double niceCeiling(double value) {
    if (!(value > 0) || !std::isfinite(value)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * power >= value * (1 - 1e-12)) return step * power;
    return 10 * power;
}

const char* trendColour(int feeder) {
    static const char* kColours[] = {"#1f5fa8", "#c0392b", "#27ae60", "#8e44ad", "#d35400",
                                     "#16a085", "#7f8c8d", "#2c3e50", "#b7950b", "#6d4c41"};
    return kColours[static_cast<std::size_t>(std::max(feeder, 0)) % 10];
}

int trendPlotColumns(double width) { return std::max(1, static_cast<int>(width - kLeft - kRight)); }

ChartGeometry trendChart(const std::string& title, const std::string& unit, TimeWindow window,
                         double recordSpacing, const std::vector<TrendLine>& lines,
                         std::optional<double> limit, double width, double height) {
    ChartGeometry g{width, height, {}, {}, {}, {}, 0, {}};
    const int columns = trendPlotColumns(width);
    double highest = limit.value_or(0);
    for (const TrendLine& line : lines) {
        if (!line.shown) continue;
        for (const ColumnExtent& e : line.columns)
            if (e.any) highest = std::max(highest, double(e.max));
    }
    const Frame f = drawFrame(g, title, unit, niceCeiling(highest * 1.05));
    const double t0 = window.t0, span = window.t1 - window.t0;
    for (int i = 0; i <= 4 && span > 0; ++i) {
        const double x = f.left + f.width * i / 4;
        const TextAnchor anchor = i == 0   ? TextAnchor::Start
                                  : i == 4 ? TextAnchor::End
                                           : TextAnchor::Middle;
        g.texts.push_back({x, f.top + f.height + 15, timeLabel(t0 + span * i / 4, span), anchor, 10,
                           kAxisColour});
    }
    // Records further apart than a few of their usual intervals (the recorder was
    // stopped) leave a gap in the line; closer ones are joined across empty columns.
    const double columnDays = span > 0 ? span / columns : 1;
    const int joinColumns = static_cast<int>(std::ceil(5 * recordSpacing / columnDays)) + 1;
    std::vector<std::pair<std::string, std::string>> legend;
    for (const TrendLine& line : lines) {
        legend.emplace_back(line.label, line.shown ? line.colour : std::string());
        if (!line.shown) continue;
        // Each run of filled columns is one polyline going down and up through every
        // column's extent, so single spikes stay drawn.
        ChartPolyline run{{}, line.colour, 1.2, false};
        int lastFilled = -1;
        const int n = std::min(columns, static_cast<int>(line.columns.size()));
        for (int c = 0; c < n; ++c) {
            const ColumnExtent& e = line.columns[static_cast<std::size_t>(c)];
            if (!e.any) continue;
            if (lastFilled >= 0 && c - lastFilled > joinColumns) {
                g.lines.push_back(run);
                run.points.clear();
            }
            lastFilled = c;
            const double x = f.left + c + 0.5;
            const bool downFirst = c % 2 == 0;
            run.points.push_back({x, f.y(downFirst ? e.max : e.min)});
            run.points.push_back({x, f.y(downFirst ? e.min : e.max)});
        }
        if (!run.points.empty()) g.lines.push_back(run);
    }
    drawLimit(g, f, limit);
    const std::vector<ChartBox> boxes = drawLegend(g, legend);
    for (std::size_t l = 0; l < boxes.size(); ++l) g.legend.push_back({l, boxes[l]});
    return g;
}

ChartGeometry orderBarChart(const std::string& title, const std::string& unit,
                            const OrderBars& bars, double width, double height) {
    ChartGeometry g{width, height, {}, {}, {}, {}, 0, {}};
    double highest = 0;
    for (std::size_t i = 0; i < bars.orders.size(); ++i) {
        highest = std::max({highest, bars.max[i], bars.cp95[i], bars.limit[i].value_or(0)});
    }
    const Frame f = drawFrame(g, title, unit, niceCeiling(highest * 1.05));
    const std::size_t n = bars.orders.size();
    const double group = n ? f.width / static_cast<double>(n) : f.width;
    const int labelEvery = std::max(1, static_cast<int>(std::ceil(22 / group)));
    for (std::size_t i = 0; i < n; ++i) {
        const double x = f.left + group * static_cast<double>(i);
        const double bar = group * 0.36;
        const double cp = f.y(bars.cp95[i]), mx = f.y(bars.max[i]), base = f.y(0);
        g.rects.push_back({x + group * 0.12, cp, bar, base - cp, "#1f5fa8", ""});
        g.rects.push_back({x + group * 0.12 + bar, mx, bar, base - mx, "#9dbde6", ""});
        if (bars.limit[i]) {
            const double y = f.y(*bars.limit[i]);
            g.lines.push_back(
                {{{x + group * 0.04, y}, {x + group * 0.96, y}}, kLimitColour, 2, false});
        }
        if (static_cast<int>(i) % labelEvery == 0)
            g.texts.push_back({x + group / 2, f.top + f.height + 14, std::to_string(bars.orders[i]),
                               TextAnchor::Middle, 10, kAxisColour});
    }
    g.texts.push_back(
        {f.left + f.width / 2, f.top + f.height + 30, "次数", TextAnchor::Middle, 10, kAxisColour});
    drawLegend(g, {{"CP95", "#1f5fa8"}, {"最大値", "#9dbde6"}, {"制限値", kLimitColour}});
    return g;
}

std::string escapeMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string toSvg(const ChartGeometry& g) {
    char buf[160];
    std::string s;
    std::snprintf(buf, sizeof buf,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %g %g\" "
                  "class=\"chart\" role=\"img\">",
                  g.width, g.height);
    s += buf;
    for (const ChartRect& r : g.rects) {
        std::snprintf(buf, sizeof buf, "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"",
                      r.x, r.y, std::max(0.0, r.width), std::max(0.0, r.height));
        s += buf;
        s += " fill=\"" + escapeMarkup(r.fill) + "\"";
        if (!r.stroke.empty()) s += " stroke=\"" + escapeMarkup(r.stroke) + "\"";
        s += "/>";
    }
    for (const ChartPolyline& l : g.lines) {
        s += "<polyline fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\" points=\"";
        for (const ChartPoint& p : l.points) {
            std::snprintf(buf, sizeof buf, "%.1f,%.1f ", p.x, p.y);
            s += buf;
        }
        std::snprintf(buf, sizeof buf, "\" stroke-width=\"%g\"", l.width);
        s += buf;
        s += " stroke=\"" + escapeMarkup(l.colour) + "\"";
        if (l.dashed) s += " stroke-dasharray=\"6 4\"";
        s += "/>";
    }
    for (const ChartText& t : g.texts) {
        const char* anchor = t.anchor == TextAnchor::Start    ? "start"
                             : t.anchor == TextAnchor::Middle ? "middle"
                                                              : "end";
        std::snprintf(buf, sizeof buf,
                      "<text x=\"%.1f\" y=\"%.1f\" font-size=\"%g\" text-anchor=\"%s\"", t.x, t.y,
                      t.size, anchor);
        s += buf;
        s += " fill=\"" + escapeMarkup(t.colour) + "\">" + escapeMarkup(t.text) + "</text>";
    }
    return s + "</svg>";
}

}  // namespace waveharm
