#include "display/picture.h"

#include <algorithm>
#include <cmath>

namespace waveharm {

Rgb paletteColour(int number) {
    // The fixed 16-colour palette shared by the wiring diagram and the analysis graphs.
    static constexpr Rgb kPalette[16] = {
        {0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
        {128, 0, 0},     {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
        {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
        {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
    };
    return kPalette[std::clamp(number, 0, 15)];
}

PictureBox textBox(const PictureText& text, double textHeight) {
    double width = 0;
    const std::string& s = text.text;
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        // Half-width katakana (U+FF61..U+FF9F) is EF BD A1..EF BE 9F in UTF-8.
        const bool halfKana = length == 3 && lead == 0xEF && i + 2 < s.size() &&
                              ((static_cast<unsigned char>(s[i + 1]) == 0xBD &&
                                static_cast<unsigned char>(s[i + 2]) >= 0xA1) ||
                               static_cast<unsigned char>(s[i + 1]) == 0xBE);
        width += length == 1 || halfKana ? 0.7 : 1.0;
        i += length;
    }
    // A line of text reaches a quarter of its height below the glyphs' body.
    return {text.at.x, text.at.y, text.at.x + width * textHeight, text.at.y + 1.25 * textHeight};
}

std::optional<PictureBox> lineExtent(const Picture& picture) {
    std::optional<PictureBox> box;
    const auto add = [&box](PicturePoint p) {
        if (!box) {
            box = PictureBox{p.x, p.y, p.x, p.y};
            return;
        }
        box->left = std::min(box->left, p.x);
        box->right = std::max(box->right, p.x);
        box->top = std::min(box->top, p.y);
        box->bottom = std::max(box->bottom, p.y);
    };
    for (const auto& item : picture.items) {
        if (const auto* l = std::get_if<PictureLine>(&item)) {
            add(l->from);
            add(l->to);
        } else if (const auto* p = std::get_if<PicturePolyline>(&item)) {
            for (const auto& pt : p->points) add(pt);
        }
    }
    return box;
}

int round16(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(std::clamp(std::nearbyint(value), -32768.0, 32767.0));
}

}  // namespace waveharm
