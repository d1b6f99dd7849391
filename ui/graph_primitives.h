#pragma once
// Drawing primitives of the analysis window's graphs: lines, polylines, rectangles
// and texts with colour and style, in the graph surface's logical 640 × 400 units
// (y grows downwards). The graph functions return a list; the widget paints it in
// order. No Qt here, so the geometry is tested without a screen.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace waveharm {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

/// Colour `number` (0..15) of the recorder software's fixed 16-colour palette.
Rgb graphPaletteColour(int number);
/// The grey of grid lines and order marks, (128, 128, 128).
inline constexpr Rgb kGridGrey{128, 128, 128};

enum class LineStyle { Solid, Dotted };

struct GraphPoint {
    double x = 0, y = 0;
};

struct GraphLine {
    GraphPoint from, to;
    Rgb colour;
    LineStyle style = LineStyle::Solid;
};

struct GraphPolyline {
    std::vector<GraphPoint> points;
    Rgb colour;
};

/// An axis-parallel rectangle between two corners, outlined or filled.
struct GraphRect {
    GraphPoint corner1, corner2;
    Rgb colour;
    bool filled = false;
};

/// A text whose top-left corner is at `at`.
struct GraphText {
    GraphPoint at;
    std::string text;
    Rgb colour;
};

using GraphPrimitive = std::variant<GraphLine, GraphPolyline, GraphRect, GraphText>;

/// The picture of one display mode: primitives in painting order.
struct GraphPicture {
    std::vector<GraphPrimitive> items;

    void line(double x1, double y1, double x2, double y2, Rgb colour,
              LineStyle style = LineStyle::Solid) {
        items.emplace_back(GraphLine{{x1, y1}, {x2, y2}, colour, style});
    }
    void rect(double x1, double y1, double x2, double y2, Rgb colour, bool filled) {
        items.emplace_back(GraphRect{{x1, y1}, {x2, y2}, colour, filled});
    }
    void text(double x, double y, std::string s, Rgb colour) {
        items.emplace_back(GraphText{{x, y}, std::move(s), colour});
    }
    bool empty() const { return items.empty(); }
};

/// Logical size of the graph surface.
inline constexpr double kGraphWidth = 640;
inline constexpr double kGraphHeight = 400;

/// Factors that place texts given in the virtual 640 × 360 text grid onto a surface
/// of the given logical scale.
struct TextScale {
    double x = 1;
    double y = 1;
    static TextScale forSurface(double scaleWidth, double scaleHeight) {
        return {scaleWidth / 640.0, scaleHeight / 360.0};
    }
};

}  // namespace waveharm
