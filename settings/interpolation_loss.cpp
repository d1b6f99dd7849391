#include "settings/interpolation_loss.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace waveharm {

double linearInterpolationLossPercent(int order, double fundamentalHz, double samplingRateHz) {
    if (!(samplingRateHz > 0) || !std::isfinite(samplingRateHz)) return 0;
    const double x = std::numbers::pi * order * fundamentalHz / samplingRateHz;
    if (x == 0) return 0;
    const double gain = std::sin(x) / x;
    return (gain * gain - 1) * 100;
}

namespace {

// One decimal with a real minus sign, as the screen shows signed percentages.
std::string percentText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", std::fabs(value));
    return (value < 0 && std::nearbyint(value * 10) != 0 ? "−" : "") + std::string(text);
}

}  // namespace

std::string linearLossText(double samplingRateKHz) {
    if (!(samplingRateKHz > 0) || !std::isfinite(samplingRateKHz)) return {};
    const double fs = samplingRateKHz * 1000;
    return "49次 " + percentText(linearInterpolationLossPercent(49, 50, fs)) + "(50Hz) " +
           percentText(linearInterpolationLossPercent(49, 60, fs)) + "(60Hz)";
}

}  // namespace waveharm
