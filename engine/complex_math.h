#pragma once
// The program's constants and the small complex-number helpers (products and
// angles) shared by the engine, the result writers and the graphs.

namespace waveharm {

inline constexpr float kPi = 3.1415925f;     ///< the program's π
inline constexpr float kTwoPi = 6.283185f;   ///< the program's 2π
inline constexpr float kSqrt2 = 1.41421f;    ///< peak-to-RMS divisor
inline constexpr double kAtanGuard = 1e-20;  ///< added to every arctangent divisor

/// Real part of (a + jb)(c + jd): a·c − b·d.
inline double complexMulRe(double a, double b, double c, double d) { return a * c - b * d; }
/// Imaginary part of (a + jb)(c + jd): b·c + a·d.
inline double complexMulIm(double a, double b, double c, double d) { return b * c + a * d; }
/// Angle of the point (x, y) in radians, −π..π: atan(y / (x + 1e-20)), plus π when
/// x < 0 and y ≥ 0, minus π when x < 0 and y < 0.
double phaseAngle(double x, double y);
/// atan(y / (x + 1e-20)), plus π when x < 0 (range −π/2..3π/2).
double phaseAngleShifted(double y, double x);
/// Degrees by the quadrant rule: atan(y / (x + 1e-20))·180/π + (0 when x ≥ 0, +180 when
/// y > 0, else −180).
double quadrantAngleDeg(double x, double y);
/// Rounds half to even into a 16-bit integer (values are angles within ±180°).
short roundToInt16(double value);

}  // namespace waveharm
