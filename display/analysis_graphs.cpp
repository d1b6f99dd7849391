#include "display/analysis_graphs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/complex_math.h"

namespace waveharm {

namespace {

constexpr double kChartWidth = 250;
constexpr double kChartHeight = 130;

std::int64_t round32(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<std::int64_t>(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

/// An integer as printed by the program's runtime: a blank in place of the sign of a
/// non-negative number.
std::string printedInteger(long long v) {
    return v >= 0 ? " " + std::to_string(v) : std::to_string(v);
}

void printScaled(double x, double y, const std::string& text, Rgb colour, TextScale scale,
                 Picture& out) {
    out.text(x * scale.x, y * scale.y, text, colour);
}

double amplitudeDivisor(const RecorderFileHeader& header) { return header.isMr8880() ? 4 : 1; }

int currentColumn(int feeder, int phase) { return 3 * (1 + feeder) + phase; }

/// One waveform row of a phase: voltages on row 0, the displayed feeder's currents on
/// row 1. `residual` subtracts the column's fundamental.
void drawWaveformSet(const GraphInputs& in, bool residual, Rgb colour, Picture& out) {
    const auto& cols = in.window.columns;
    const int n = in.settings.sampleCount();
    const double d = amplitudeDivisor(in.header);
    const int phases = shownPhases(in.settings.measurementType);
    for (int u = 0; u < phases; ++u) {
        for (int r = 0; r < 2; ++r) {
            const int column = r == 0 ? u : currentColumn(in.feeder, u);
            const double base = 120 + 150 * r;
            const double left = 10 + 210 * u;
            printScaled(left, 10 + 150 * r, (r == 0 ? "V" : "I") + std::to_string(u + 1), colour,
                        in.textScale, out);
            if (static_cast<std::size_t>(column) >= cols.rows() ||
                cols.cols() < static_cast<std::size_t>(n) + 1) {
                continue;
            }
            float a = 0, b = 0;  // sine and cosine coefficients of the fundamental
            if (residual && static_cast<std::size_t>(column) < in.result.fundamentalSin.size()) {
                a = in.result.fundamentalSin[column];
                b = in.result.fundamentalCos[column];
            }
            PicturePolyline line;
            line.colour = colour;
            line.points.reserve(n + 1);
            for (int k = 0; k <= n; ++k) {
                double w = cols(column, k);
                if (residual) {
                    const float angle = kTwoPi * static_cast<float>(k) / static_cast<float>(n);
                    w -= k == 0 ? b : a * std::sin(angle) + b * std::cos(angle);
                }
                line.points.push_back(
                    {left + static_cast<double>(k) / n * 200, base - w / 500 * 128 / 2 / d});
            }
            out.items.emplace_back(std::move(line));
        }
    }
}

/// Grid lines with their values, from 0 to the full scale of a chart.
void drawScaleGrid(double x0, double y0, double fullScale, double step, int decimals,
                   Picture& out) {
    const int count = static_cast<int>(std::lround(fullScale / step));
    for (int i = 0; i <= count; ++i) {
        const double v = i * step;
        const int yv = round16(v / fullScale * -kChartHeight + y0);
        std::string label;
        if (decimals == 0) {
            label = printedInteger(std::lround(v));
        } else {
            char buf[32];
            std::snprintf(buf, sizeof buf, " %.*f", decimals, v);
            label = buf;
        }
        out.text(x0 - 40, yv - 8, label, paletteColour(0));
        out.line(x0, yv, x0 + kChartWidth, yv, kGridGrey, LineStyle::Dotted);
    }
}

/// A bar at horizontal slot `n` (x0 + 5n): odd slots wide and blue, even slots narrow
/// and red. `h` is the bar height in picture units (negative = upwards).
void drawBar(double x0, double yBase, int n, int h, Picture& out) {
    const double x = x0 + 5 * n;
    if (n % 2 != 0) {
        out.rect(x - 2, yBase, x + 2, yBase + h, paletteColour(1), true);
    } else {
        out.rect(x - 1, yBase, x + 1, yBase + h, paletteColour(12), true);
    }
}

/// A bar height within the chart frame: values outside the scale stop at its edge.
int barHeight(double value, double fullScale, double frame = kChartHeight) {
    const double h = round16(value / fullScale * -kChartHeight);
    return static_cast<int>(std::clamp(h, -frame, frame));
}

void drawOrderMark(double x0, double y0, int slot, const std::string& label, Picture& out) {
    const double x = x0 + 5 * slot;
    out.line(x, y0, x, y0 - kChartHeight, kGridGrey, LineStyle::Dotted);
    out.text(x - 6, y0 + 2, label, paletteColour(0));
}

/// A 1-2-5 full scale at or above `value`, at least 0.05 %, with five grid steps.
double fineScale(double value) {
    double scale = 0.05;
    static const double kSteps[] = {1, 2, 5};
    for (double decade = 0.1; scale < value; decade *= 10) {
        for (double s : kSteps) {
            scale = s * decade;
            if (scale >= value) break;
        }
    }
    return scale;
}

}  // namespace

int shownPhases(MeasurementType type) { return lastVoltageColumn(type) + 1; }

BarScale barChartScale(double scaleValue) {
    if (scaleValue < 5) return {5, 1};
    const std::int64_t full = (round32(scaleValue) / 10 + 1) * 10;
    const int capped = static_cast<int>(std::min<std::int64_t>(full, 1'000'000'000));
    return {capped, capped == 10 ? 2 : 10};
}

void drawWaveforms(const GraphInputs& in, Picture& out) {
    drawWaveformSet(in, false, paletteColour(0), out);
}

void drawDistortionWaveforms(const GraphInputs& in, Picture& out) {
    drawWaveformSet(in, true, paletteColour(12), out);
}

float distortionScaleValue(std::span<const float> percentByOrder, float least) {
    float value = least;
    for (std::size_t k = 2; k < percentByOrder.size(); ++k)
        value = std::max(value, percentByOrder[k]);
    return value;
}

void drawDistortionBars(double x0, double y0, const std::string& title, double scaleValue,
                        const std::vector<float>& values, TextScale textScale, Picture& out) {
    printScaled(x0 + 100, y0 - 147, title, paletteColour(0), textScale, out);
    out.rect(x0, y0, x0 + kChartWidth, y0 - kChartHeight, paletteColour(0), false);
    const BarScale scale = barChartScale(scaleValue);
    // With an extreme scale value the grid would have millions of lines; ten suffice.
    const double step = std::max<double>(scale.step, scale.fullScale / 10.0);
    drawScaleGrid(x0, y0, scale.fullScale, step, 0, out);
    for (int n = 2; n <= 49 && n < static_cast<int>(values.size()); ++n) {
        drawBar(x0, y0, n, barHeight(values[n], scale.fullScale), out);
    }
    for (int n = 5; n <= 47; n += 6) drawOrderMark(x0, y0, n, std::to_string(n), out);
}

void drawVoltageDistortionBars(double x0, double y0, const std::string& title,
                               const GraphInputs& in, Picture& out) {
    const auto& pct = in.result.voltageHarmonicPercent;
    drawDistortionBars(x0, y0, title, distortionScaleValue(pct, 1.0f), pct, in.textScale, out);
}

void drawCurrentDistortionBars(double x0, double y0, const std::string& title,
                               const GraphInputs& in, Picture& out) {
    std::vector<float> values;
    const auto& pct = in.result.currentHarmonicPercent;
    if (static_cast<std::size_t>(in.feeder) < pct.rows()) {
        values.assign(pct.row(in.feeder), pct.row(in.feeder) + pct.cols());
    }
    drawDistortionBars(x0, y0, title, distortionScaleValue(values, 2.0f), values, in.textScale,
                       out);
}

std::vector<OrderGroup> highOrderGroups(const HarmonicResult& result, int maxOrder) {
    std::vector<OrderGroup> groups;
    const auto& pct = result.voltageHarmonicPercent;
    const int last = std::min<int>(maxOrder, static_cast<int>(pct.size()) - 1);
    if (maxOrder > 99) {
        for (int first = 50; first <= last; first += 5) {
            OrderGroup g{first, std::min(first + 4, last), 0};
            double sum = 0;
            for (int n = g.firstOrder; n <= g.lastOrder; ++n) sum += double(pct[n]) * pct[n];
            g.percent = std::sqrt(sum);
            groups.push_back(g);
        }
        return groups;
    }
    for (int n = 2; n <= std::min(49, last); ++n) groups.push_back({n, n, pct[n]});
    return groups;
}

void drawHighOrderVoltageChart(double x0, double y0, const GraphInputs& in, Picture& out) {
    printScaled(150, 193, "高次電圧歪み率(%)", paletteColour(0), in.textScale, out);
    out.rect(x0, y0, x0 + kChartWidth, y0 - kChartHeight, paletteColour(0), false);
    const int maxOrder = in.settings.maxHarmonicOrder();
    const auto groups = highOrderGroups(in.result, maxOrder);
    double largest = 0;
    for (const auto& g : groups) largest = std::max(largest, g.percent);
    // High orders are small against the low ones: a fine 1-2-5 scale keeps them visible.
    const double full = fineScale(largest);
    drawScaleGrid(x0, y0, full, full / 5, full < 0.5 ? 2 : full < 5 ? 1 : 0, out);
    const bool grouped = maxOrder > 99;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        // Grouped bars stand side by side from slot 2 on, as the orders of the low chart.
        const int slot = grouped ? static_cast<int>(i) + 2 : groups[i].firstOrder;
        drawBar(x0, y0, slot, barHeight(groups[i].percent, full), out);
        const bool mark = grouped ? i % 6 == 0 : (slot + 1) % 6 == 0;
        if (mark) drawOrderMark(x0, y0, slot, std::to_string(groups[i].firstOrder), out);
    }
}

void drawPhaseAngleChart(double x0, double y0, const GraphInputs& in, Picture& out) {
    printScaled(470, 193, "位　相　角(ﾟ)", paletteColour(0), in.textScale, out);
    out.rect(x0, y0, x0 + kChartWidth, y0 - kChartHeight, paletteColour(0), false);
    const double zero = y0 - kChartHeight / 2;
    for (int v = -180; v <= 180; v += 90) {
        const int yv = round16(zero - v / 180.0 * kChartHeight / 2);
        out.text(x0 - 40, yv - 8, printedInteger(v), paletteColour(0));
        out.line(x0, yv, x0 + kChartWidth, yv, kGridGrey, LineStyle::Dotted);
    }
    const auto& r = in.result;
    const auto f = static_cast<std::size_t>(in.feeder);
    if (f >= r.phaseAngleDeg.rows()) return;
    const int last = std::min<int>(49, static_cast<int>(r.phaseAngleDeg.cols()) - 1);
    const double fundamental = r.currentRms.cols() > 1 ? r.currentRms(f, 1) : 0;
    for (int n = 1; n <= last; ++n) {
        // The angle of an order without current (below 0.1 % of the fundamental) is noise.
        if (fundamental <= 0 || r.currentRms(f, n) < fundamental * 0.001) continue;
        const double h = std::clamp(r.phaseAngleDeg(f, n) / 180.0, -1.0, 1.0) * kChartHeight / 2;
        drawBar(x0, zero, n, round16(-h), out);
    }
    for (int n = 5; n <= 47; n += 6) drawOrderMark(x0, y0, n, std::to_string(n), out);
}

void drawChartPage(const GraphInputs& in, Picture& out) {
    drawVoltageDistortionBars(50, 165, "電圧歪み率(%)", in, out);
    drawHighOrderVoltageChart(50, 340, in, out);
    drawCurrentDistortionBars(370, 165, "電流歪み率(%)", in, out);
    drawPhaseAngleChart(370, 340, in, out);
}

void drawScaledVector(int x1, int y1, int x2, int y2, int colour, LineStyle style, Picture& out) {
    const Rgb c = paletteColour(colour);
    out.line(x1, 400 - y1, x2, 400 - y2, c, style, LineRole::ArrowShaft);
    const int dy = static_cast<std::int16_t>(y2 - y1);
    const int dx = static_cast<std::int16_t>(x2 - x1);
    double a = std::atan(dy / (dx + kAtanGuard));
    if (x2 >= x1) a -= kPi;  // from the tip back towards the tail
    const double tipY = 400 - y2;
    for (const double spread : {0.5, -0.5}) {
        out.line(x2, tipY, x2 + 5 * std::cos(a + spread), tipY - 5 * std::sin(a + spread), c,
                 LineStyle::Solid, LineRole::ArrowBarb);
    }
}

void drawOrderPhasors(const std::array<float, 4>& sinParts, const std::array<float, 4>& cosParts,
                      float rotation, bool paired, int x, int y, MeasurementType type, int size,
                      Picture& out) {
    const int yc = round16(y + size / 1.732);
    const int h = round16(size / 2.0);
    std::array<float, 4> ang{}, mag{};
    const int used = paired ? 4 : 2;
    for (int e = 0; e < used; ++e) {
        ang[e] = static_cast<float>(std::atan(cosParts[e] / (sinParts[e] + kAtanGuard)));
        if (sinParts[e] < 0) ang[e] -= kPi;
        mag[e] = std::sqrt(sinParts[e] * sinParts[e] + cosParts[e] * cosParts[e]);
    }
    // The guard keeps an order without voltage or current from dividing zero by zero.
    const float vNorm = std::sqrt(mag[0] * mag[0] + mag[2] * mag[2]) + 1e-20f;
    const float iNorm = std::sqrt(mag[1] * mag[1] + mag[3] * mag[3]) + 1e-20f;
    const float kV0 = 3 * mag[0] / vNorm, kV1 = 3 * mag[2] / vNorm;
    const float kIa = paired ? 1.4f * mag[1] / iNorm : 0.0f;
    const float kIb = paired ? 1.4f * mag[3] / iNorm : 0.0f;

    const float v0x = size * kV0 * std::cos(ang[0] + rotation);
    const float v0y = size * kV0 * std::sin(ang[0] + rotation);
    const float v1x = size * kV1 * std::cos(ang[2] + rotation);
    const float v1y = size * kV1 * std::sin(ang[2] + rotation);
    const int ox = round16(x - (v0x + v1x) / 3);
    const int oy = round16(yc - (v0y + v1y) / 3);

    const int rx = round16(ox + v0x), ry = round16(oy + v0y);
    drawScaledVector(ox, oy, rx, ry, 10, LineStyle::Solid, out);
    const int iax = round16(x + h * kIa * std::cos(ang[1] + rotation));
    const int iay = round16(yc + h * kIa * std::sin(ang[1] + rotation));
    drawScaledVector(x, yc, iax, iay, 11, LineStyle::Solid, out);
    int tx = ox, ty = oy, itx = x, ity = yc;
    if (paired) {
        tx = round16(ox + v1x);
        ty = round16(oy + v1y);
        drawScaledVector(ox, oy, tx, ty, 12, LineStyle::Solid, out);
        itx = round16(x + h * kIb * std::cos(ang[3] + rotation));
        ity = round16(yc + h * kIb * std::sin(ang[3] + rotation));
        drawScaledVector(x, yc, itx, ity, 13, LineStyle::Solid, out);
    }
    if (type != MeasurementType::ThreePhase2M && type != MeasurementType::ThreePhase3M) return;
    out.line(rx, 400 - ry, tx, 400 - ty, paletteColour(8));
    drawScaledVector(x, yc, x - (iax - x) - (itx - x), yc - (iay - yc) - (ity - yc), 6,
                     LineStyle::Dotted, out);
    out.line(x, 400 - yc, rx, 400 - ry, paletteColour(11), LineStyle::Dotted);
    out.line(x, 400 - yc, tx, 400 - ty, paletteColour(13), LineStyle::Dotted);
    out.line(x, 400 - yc, ox, 400 - oy, paletteColour(6), LineStyle::Dotted);
}

namespace {

constexpr int kPhasorSize = 50;
constexpr double kPhasorCellHalf = 62;

/// Centre of a page diagram's triangle on the surface: x = 110 + 128 b, and the centroid
/// of a size-50 diagram placed at y = 250 − 150 j.
PicturePoint phasorCentre(int column, int row) {
    return {110.0 + 128 * column, 400.0 - round16(250 - 150 * row + kPhasorSize / 1.732)};
}

/// One order's diagram at the largest size up to 50 whose lines stay inside `cell`; the
/// centroid stays at the cell's centre whatever the size.
void drawPhasorsInCell(const std::array<float, 4>& s, const std::array<float, 4>& c, bool paired,
                       MeasurementType type, int column, int row, Picture& out) {
    const PictureBox cell = phasorCell(column, row);
    const PicturePoint centre = phasorCentre(column, row);
    const int x = static_cast<int>(centre.x);
    int size = kPhasorSize;
    while (true) {
        const int y = round16(250 - 150 * row + (kPhasorSize - size) / 1.732);
        Picture diagram;
        drawOrderPhasors(s, c, 0, paired, x, y, type, size, diagram);
        const auto box = lineExtent(diagram);
        if (size <= 1 || !box || cell.contains(*box)) {
            out.items.insert(out.items.end(), diagram.items.begin(), diagram.items.end());
            return;
        }
        // Lengths grow with the size; the barbs keep their 5 units.
        const double reach = std::max({centre.x - box->left, box->right - centre.x,
                                       centre.y - box->top, box->bottom - centre.y});
        const int fitted = static_cast<int>(size * (kPhasorCellHalf - 5) / (reach - 5));
        size = std::clamp(fitted, 1, size - 1);
    }
}

}  // namespace

PictureBox phasorCell(int column, int row) {
    const PicturePoint c = phasorCentre(column, row);
    return {c.x - kPhasorCellHalf, c.y - kPhasorCellHalf, c.x + kPhasorCellHalf,
            c.y + kPhasorCellHalf};
}

void drawHarmonicPhasorPage(const GraphInputs& in, Picture& out) {
    const auto& r = in.result;
    const bool paired = pairedChannels(in.settings.measurementType);
    const auto f = static_cast<std::size_t>(in.feeder);
    const int maxOrder = r.orders;
    for (int b = 0; b < 4; ++b) {
        const int base = b == 0 ? 2 : 6 * b;
        for (int j = 0; j < 2; ++j) {
            const int order = j == 0 ? base - 1 : base + 1;
            std::array<float, 4> s{}, c{};
            if (order <= maxOrder && f < r.currentHarmonicRe.size0()) {
                for (int p = 0; p < 2; ++p) {
                    s[2 * p] = r.voltageHarmonicIm(p, order);
                    c[2 * p] = r.voltageHarmonicRe(p, order);
                    s[2 * p + 1] = r.currentHarmonicIm(f, p, order);
                    c[2 * p + 1] = r.currentHarmonicRe(f, p, order);
                }
            }
            drawPhasorsInCell(s, c, paired, in.settings.measurementType, b, j, out);
            printScaled(80 + 128 * b, 192 + 160 * j, printedInteger(order) + "次", paletteColour(0),
                        in.textScale, out);
        }
    }
    printScaled(584, 256, "V1", paletteColour(10), in.textScale, out);
    printScaled(608, 256, "I1", paletteColour(11), in.textScale, out);
    if (paired) {
        printScaled(584, 272, "V2", paletteColour(12), in.textScale, out);
        printScaled(608, 272, "I2", paletteColour(13), in.textScale, out);
    }
    const auto type = in.settings.measurementType;
    if (type == MeasurementType::ThreePhase2M || type == MeasurementType::ThreePhase3M) {
        printScaled(584, 288, "V3", paletteColour(8), in.textScale, out);
        printScaled(608, 288, "I3", paletteColour(6), in.textScale, out);
    }
}

}  // namespace waveharm
