#pragma once
// The one drawing vocabulary of the screens: lines, polylines, rectangles and texts
// with colour and style, in a drawing's own logical units (twips for the wiring
// diagram, the 640 × 400 grid for the analysis graphs; y grows downwards). Geometry
// functions return a picture; one painter in ui/ draws any picture in order. No Qt
// here, so every drawing is tested without a screen.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace waveharm {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

/// Colour `number` (0..15) of the fixed 16-colour palette of the diagrams and graphs;
/// numbers outside the palette are taken as its nearest end.
Rgb paletteColour(int number);
/// The grey of grid lines and order marks, (128, 128, 128).
inline constexpr Rgb kGridGrey{128, 128, 128};

enum class LineStyle { Solid, Dotted };
/// What a line is part of: a plain line, or the shaft or one barb of an arrow.
enum class LineRole { Plain, ArrowShaft, ArrowBarb };

struct PicturePoint {
    double x = 0, y = 0;
};

struct PictureLine {
    PicturePoint from, to;
    Rgb colour;
    LineStyle style = LineStyle::Solid;
    LineRole role = LineRole::Plain;
};

struct PicturePolyline {
    std::vector<PicturePoint> points;
    Rgb colour;
};

/// An axis-parallel rectangle between two corners, outlined or filled.
struct PictureRect {
    PicturePoint corner1, corner2;
    Rgb colour;
    bool filled = false;
};

/// A text whose top-left corner is at `at`.
struct PictureText {
    PicturePoint at;
    std::string text;
    Rgb colour;
};

using PicturePrimitive = std::variant<PictureLine, PicturePolyline, PictureRect, PictureText>;

/// One drawing: its logical size, the height of its texts in the same units, and the
/// primitives in painting order.
struct Picture {
    double width = 640;
    double height = 400;
    double textHeight = 10;
    bool smooth = false;  ///< drawn antialiased
    std::vector<PicturePrimitive> items;

    void line(double x1, double y1, double x2, double y2, Rgb colour,
              LineStyle style = LineStyle::Solid, LineRole role = LineRole::Plain) {
        items.emplace_back(PictureLine{{x1, y1}, {x2, y2}, colour, style, role});
    }
    void rect(double x1, double y1, double x2, double y2, Rgb colour, bool filled) {
        items.emplace_back(PictureRect{{x1, y1}, {x2, y2}, colour, filled});
    }
    void text(double x, double y, std::string s, Rgb colour) {
        items.emplace_back(PictureText{{x, y}, std::move(s), colour});
    }
    bool empty() const { return items.empty(); }
};

/// The primitives of one kind in a picture, in painting order.
template <class T>
std::vector<T> itemsOf(const Picture& picture) {
    std::vector<T> out;
    for (const auto& item : picture.items) {
        if (const auto* t = std::get_if<T>(&item)) out.push_back(*t);
    }
    return out;
}

/// An axis-parallel box in a picture's units (y grows downwards).
struct PictureBox {
    double left = 0, top = 0, right = 0, bottom = 0;

    bool contains(const PictureBox& b) const {
        return b.left >= left && b.right <= right && b.top >= top && b.bottom <= bottom;
    }
    bool intersects(const PictureBox& b) const {
        return b.left < right && left < b.right && b.top < bottom && top < b.bottom;
    }
    bool contains(PicturePoint p) const {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
};

/// The box a text takes when drawn `textHeight` high: one line, each character as wide
/// as the screens' Japanese font draws it at most (full-width characters one height,
/// half-width kana and ASCII 0.7 of it).
PictureBox textBox(const PictureText& text, double textHeight);

/// The smallest box holding every line and polyline point of `picture`, or nothing
/// when it has none.
std::optional<PictureBox> lineExtent(const Picture& picture);

/// A drawing position: the nearest whole number, halves to even, held within 16 bits
/// so that an extreme value lands on the edge of the drawing instead of wrapping round;
/// 0 for a value that is not finite.
int round16(double value);

/// Logical size of the analysis window's graph surface.
inline constexpr double kGraphWidth = 640;
inline constexpr double kGraphHeight = 400;

/// Factors that place texts given in a text grid onto the drawing's units. The analysis
/// graphs draw their lines and texts on one 640 × 400 surface, so their texts keep the
/// surface's own units (factors 1): stretched from a 640 × 360 grid, the titles of the
/// lower charts would fall inside their frames and the lowest labels off the surface.
struct TextScale {
    double x = 1;
    double y = 1;
};

}  // namespace waveharm
