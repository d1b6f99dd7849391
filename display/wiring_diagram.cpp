#include "display/wiring_diagram.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "engine/complex_math.h"

namespace waveharm {
namespace {

bool drawsThreePhase(MeasurementType type) {
    return type == MeasurementType::ThreePhase2M || type == MeasurementType::ThreePhase3M;
}

/// Surface y (down) of a diagram y (up).
double surfaceY(double y) { return kDiagramBaseY - y; }

}  // namespace

FeederLayout feederLayout(int feederCount, int f) {
    switch (feederCount) {
        case 1:
            return {3200, 1000, 1500};
        case 2:
            return {1800 + 3000 * f, 1000, 1500};
        case 3:
            return {1300 + 2400 * f, 1000, 1200};
        case 4:
            return {1800 + 3000 * (f % 2), 400 + 1800 * (1 - f / 2), 1200};
        case 5:
        case 6:
            return {1300 + 2400 * (f % 3), 400 + 1800 * (1 - f / 3), 1200};
        case 7:
        case 8:
            return {1100 + 1700 * (f % 4), 400 + 1800 * (1 - f / 4), 1100};
        default:
            return {1100 + 1300 * (f % 5), 400 + 1800 * (1 - f / 5), 1000};
    }
}

Picture emptyWiringPicture() {
    Picture picture;
    picture.width = kDiagramWidth;
    picture.height = kDiagramHeight;
    picture.textHeight = kDiagramTextHeight;
    picture.smooth = true;
    return picture;
}

void drawVector(Picture& picture, int x1, int y1, int x2, int y2, int colour, LineStyle style) {
    const Rgb c = paletteColour(colour);
    const double tipY = surfaceY(y2);
    picture.line(x1, surfaceY(y1), x2, tipY, c, style, LineRole::ArrowShaft);
    const int dy = round16(static_cast<double>(y2) - y1);
    const int dx = round16(static_cast<double>(x2) - x1);
    // The angle points from the tip back towards the tail.
    auto a = static_cast<float>(std::atan(dy / (dx + kAtanGuard)));
    if (x2 >= x1) a -= kPi;
    for (const double spread : {0.5, -0.5}) {
        picture.line(x2, tipY, x2 + 50 * std::cos(a + spread), tipY - 50 * std::sin(a + spread), c,
                     LineStyle::Solid, LineRole::ArrowBarb);
    }
}

void drawFeederPhasors(Picture& picture, const WiringCheckResult& check,
                       const ConversionSettings& settings, int x, int y, int size, int f) {
    const auto& sn = check.fundamentalSin;
    const auto& cs = check.fundamentalCos;
    const int a = 2 * f + 2;
    const int b = 2 * f + 3;
    if (static_cast<int>(sn.size()) <= b || static_cast<int>(cs.size()) <= b) return;
    const float rot = check.rotation;
    const int paired = pairedChannels(settings.measurementType) ? 1 : 0;
    const int yc = round16(y + size / 1.732);
    const int h = round16(size / 2.0);

    auto angle = [&](int e) {
        auto ang = static_cast<float>(std::atan(cs[e] / (sn[e] + kAtanGuard)));
        if (sn[e] < 0) ang -= kPi;
        return ang;
    };
    auto magnitude = [&](int e) {
        return static_cast<float>(
            std::sqrt(static_cast<double>(sn[e]) * sn[e] + static_cast<double>(cs[e]) * cs[e]));
    };
    // Length factors share the pair's total between its two vectors, so a balanced
    // pair draws both at full length and a single vector always does.
    auto factor = [&](float mine, float other) {
        return static_cast<float>((paired + 1) * mine / (mine + other + kAtanGuard));
    };
    const float m0 = magnitude(0), m1 = magnitude(1), ma = magnitude(a), mb = magnitude(b);
    const float kV0 = factor(m0, m1), kV1 = factor(m1, m0);
    const float kIa = factor(ma, mb), kIb = factor(mb, ma);

    const float ang0 = angle(0) + rot, ang1 = angle(1) + rot;
    const double v0x = size * kV0 * std::cos(ang0), v0y = size * kV0 * std::sin(ang0);
    const double v1x = size * kV1 * std::cos(ang1), v1y = size * kV1 * std::sin(ang1);
    // The S corner, placed so that the voltage triangle's centroid is (x, yc).
    const int ox = round16(x - (v0x + v1x) / 3);
    const int oy = round16(yc - (v0y + v1y) / 3);

    const int rx = round16(ox + v0x), ry = round16(oy + v0y);
    drawVector(picture, ox, oy, rx, ry, 10, LineStyle::Solid);
    const float angA = angle(a) + rot;
    const int iax = round16(x + h * kIa * std::cos(angA));
    const int iay = round16(yc + h * kIa * std::sin(angA));
    drawVector(picture, x, yc, iax, iay, 11, LineStyle::Solid);
    if (paired == 0) return;

    const int tx = round16(ox + v1x), ty = round16(oy + v1y);
    drawVector(picture, ox, oy, tx, ty, 12, LineStyle::Solid);
    const float angB = angle(b) + rot;
    const int itx = round16(x + h * kIb * std::cos(angB));
    const int ity = round16(yc + h * kIb * std::sin(angB));
    drawVector(picture, x, yc, itx, ity, 13, LineStyle::Solid);
    if (!drawsThreePhase(settings.measurementType)) return;

    auto line = [&](int x1, int y1, int x2, int y2, int colour, LineStyle style) {
        picture.line(x1, surfaceY(y1), x2, surfaceY(y2), paletteColour(colour), style);
    };
    line(rx, ry, tx, ty, 8, LineStyle::Solid);  // R-T line voltage
    // The S current closes the three currents: Is = -(Ir + It).
    drawVector(picture, x, yc, round16(x - (iax - x) - (itx - x)),
               round16(yc - (iay - yc) - (ity - yc)), 6, LineStyle::Dotted);
    // Phase voltages from the neutral point, in the colour of their current.
    line(x, yc, rx, ry, 11, LineStyle::Dotted);
    line(x, yc, tx, ty, 13, LineStyle::Dotted);
    line(x, yc, ox, oy, 6, LineStyle::Dotted);
}

Picture wiringDiagram(const WiringCheckResult& check, const ConversionSettings& settings) {
    Picture picture = emptyWiringPicture();
    const int feeders = settings.feederCount;
    for (int f = 0; f < feeders; ++f) {
        const FeederLayout l = feederLayout(feeders, f);
        if (feeders >= 2)
            picture.text(l.x - 200, 3950 - l.y, "F-" + std::to_string(f + 1), paletteColour(0));
        drawFeederPhasors(picture, check, settings, l.x, l.y, l.size, f);
    }
    auto legend = [&](int x, int y, const char* text, int colour) {
        picture.text(x, y, text, paletteColour(colour));
    };
    legend(6600, 3060, "Vr-s", 10);
    legend(7050, 3060, "Ir", 11);
    if (pairedChannels(settings.measurementType)) {
        legend(6600, 3240, "Vt-s", 12);
        legend(7050, 3240, "It", 13);
    }
    if (drawsThreePhase(settings.measurementType)) {
        legend(6600, 3420, "Vr-t", 8);
        legend(7050, 3420, "Is", 6);
    }
    return picture;
}

Picture fittedWiringDiagram(const WiringCheckResult& check, const ConversionSettings& settings,
                            double aspect, double textHeight) {
    Picture picture = emptyWiringPicture();
    picture.width = kDiagramHeight * std::clamp(aspect, 0.2, 10.0);
    picture.textHeight = textHeight;
    const int feeders = std::max<int>(1, settings.feederCount);
    const double legendHeight = 1.6 * textHeight;
    const double labelHeight = feeders >= 2 ? 1.4 * textHeight : 0;
    const double areaHeight = kDiagramBaseY - legendHeight;
    // A feeder's triangle and currents stay within about 0.65 of its radius around the
    // centroid: a cell of 1.3 radii each way holds it.
    auto radiusFor = [&](int columns) {
        const int rows = (feeders + columns - 1) / columns;
        return std::min(picture.width / columns, areaHeight / rows - labelHeight) / 1.3;
    };
    int columns = 1;
    for (int c = 2; c <= feeders; ++c)
        if (radiusFor(c) > radiusFor(columns)) columns = c;
    const int rows = (feeders + columns - 1) / columns;
    const double cellWidth = picture.width / columns, cellHeight = areaHeight / rows;
    const double size = radiusFor(columns);
    for (int f = 0; f < feeders; ++f) {
        const double cx = cellWidth * (f % columns + 0.5);
        const double top = cellHeight * (f / columns);  // surface y of the cell's top
        if (feeders >= 2) {
            picture.text(cx - textHeight, top + 0.2 * textHeight, "F-" + std::to_string(f + 1),
                         paletteColour(0));
        }
        // The triangle reaches 0.58 of the radius below its centroid and 0.29 above:
        // the centroid sits a little above the cell's middle.
        const double centreY =
            kDiagramBaseY - (top + labelHeight + (cellHeight - labelHeight) / 2) + 0.14 * size;
        drawFeederPhasors(picture, check, settings, round16(cx), round16(centreY - size / 1.732),
                          round16(size), f);
    }
    std::vector<std::pair<const char*, int>> legend = {{"Vr-s", 10}, {"Ir", 11}};
    if (pairedChannels(settings.measurementType)) {
        legend.push_back({"Vt-s", 12});
        legend.push_back({"It", 13});
    }
    if (drawsThreePhase(settings.measurementType)) {
        legend.push_back({"Vr-t", 8});
        legend.push_back({"Is", 6});
    }
    double x = picture.width - 3.2 * textHeight * static_cast<double>(legend.size());
    for (const auto& [text, colour] : legend) {
        picture.text(x, kDiagramBaseY - 1.3 * textHeight, text, paletteColour(colour));
        x += 3.2 * textHeight;
    }
    return picture;
}

}  // namespace waveharm
