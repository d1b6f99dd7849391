#include "display/analysis_display.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace waveharm {

AnalysisDisplay showResults(DisplayMode displayMode, const GraphInputs& in) {
    AnalysisDisplay display;
    if (isTableMode(displayMode)) {
        display.showsGrids = true;
        display.grids =
            buildResultGrids(displayMode, in.result, in.feeder, in.settings.maxHarmonicOrder(),
                             in.settings.measurementType);
        return display;
    }
    switch (displayMode) {
        case DisplayMode::Charts:
            drawChartPage(in, display.picture);
            break;
        case DisplayMode::Waveforms:
            drawWaveforms(in, display.picture);
            break;
        case DisplayMode::DistortionWaveforms:
            drawDistortionWaveforms(in, display.picture);
            break;
        case DisplayMode::WaveformsAndDistortion:
            drawWaveforms(in, display.picture);
            drawDistortionWaveforms(in, display.picture);
            break;
        case DisplayMode::HarmonicPhasors:
            drawHarmonicPhasorPage(in, display.picture);
            break;
        default:
            break;
    }
    return display;
}

int feederAfterPress(int feeder, int feederCount, double x, double width) {
    if (feederCount <= 0) return 0;
    // The button was designed 725 wide with its halves split at 362.
    const double designX = width > 0 ? x * 725.0 / width : x;
    if (designX > 362) return (feeder + 1) % feederCount;
    return feeder == 0 ? feederCount - 1 : feeder - 1;
}

std::string feederCaption(int feeder, const std::string& name) {
    return "- フィーダ" + std::to_string(feeder + 1) + (name.empty() ? "" : " " + name) + " +";
}

int waitIntervalMs(const std::string& secondsText) {
    const char* begin = secondsText.c_str();
    char* end = nullptr;
    const double seconds = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(seconds)) return 0;
    while (*end == ' ') ++end;
    if (*end != '\0') return 0;
    const double ms = std::nearbyint(seconds * 1000);
    // A timer cannot run backwards or beyond a 32-bit interval.
    if (ms <= 0) return 0;
    return ms > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                : static_cast<int>(ms);
}

std::optional<AnalysisLayout> analysisLayout(int outerWidthTwips, int outerHeightTwips,
                                             int innerWidth, int innerHeight) {
    if (outerWidthTwips < 2000 || outerHeightTwips < 2000) return std::nullopt;
    AnalysisLayout l;
    l.pictureWidth = innerWidth - 4;
    l.pictureHeight = innerHeight - 76;
    l.frame1Top = innerHeight - 37;
    l.frame2Top = innerHeight - 49;
    l.labelTop = innerHeight - 49;
    l.gridHeight = innerHeight - 56;
    // The picture keeps its 640 × 400 logical scale whatever its pixel size, and its
    // texts are placed in the same units.
    l.textScale = TextScale{};
    return l;
}

}  // namespace waveharm
