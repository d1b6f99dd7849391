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

int round16(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<int>(std::clamp(std::nearbyint(value), -32768.0, 32767.0));
}

}  // namespace waveharm
