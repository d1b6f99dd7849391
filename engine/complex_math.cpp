#include "engine/complex_math.h"

#include <cmath>
#include <limits>

namespace waveharm {

double phaseAngle(double x, double y) {
    const double base = std::atan(y / (x + kAtanGuard));
    if (x >= 0) return base;
    return y >= 0 ? base + kPi : base - kPi;
}

double phaseAngleShifted(double y, double x) {
    const double base = std::atan(y / (x + kAtanGuard));
    return x < 0 ? base + kPi : base;
}

double quadrantAngleDeg(double x, double y) {
    const double base = std::atan(y / (x + kAtanGuard)) * 180.0 / kPi;
    if (x >= 0) return base;
    return y > 0 ? base + 180.0 : base - 180.0;
}

short roundToInt16(double value) {
    // Angles stay within ±180°; anything else (or NaN) is clamped rather than wrapped.
    if (!(value == value)) return 0;
    const double r = std::nearbyint(value);
    if (r >= std::numeric_limits<short>::max()) return std::numeric_limits<short>::max();
    if (r <= std::numeric_limits<short>::min()) return std::numeric_limits<short>::min();
    return static_cast<short>(r);
}

}  // namespace waveharm
