#pragma once
// What the analysis window shows for a display mode, and the small rules of its
// controls (feeder button, wait period, layout), without Qt.

#include <optional>
#include <string>

#include "display/analysis_graphs.h"
#include "display/results_table.h"

namespace waveharm {

inline constexpr int kDisplayModeCount = 9;

/// The display of one recording: the grids in the numeric modes, else the picture.
struct AnalysisDisplay {
    bool showsGrids = false;
    ResultGrids grids;  ///< filled in modes 2..5
    Picture picture;    ///< filled in modes 1 and 6..9
};

/// Redraws one recording's results in a display mode: the charts, a table, the
/// waveforms, their distortion, both, or the harmonic phasors.
AnalysisDisplay showResults(DisplayMode displayMode, const GraphInputs& in);

/// The displayed feeder after a press on the feeder button at `x` of a button `width`
/// wide: the right half (beyond 362 of 725) goes to the next feeder, the left half to
/// the previous one, wrapping.
int feederAfterPress(int feeder, int feederCount, double x, double width);

/// The feeder button's caption: "- フィーダ2 +", with the feeder's name when it has one
/// ("- フィーダ2 2号線 +").
std::string feederCaption(int feeder, const std::string& name = {});

/// The wait period in milliseconds for the seconds typed in the wait box; text that is
/// not a number gives 0.
int waitIntervalMs(const std::string& secondsText);

/// Placement of the window's resizable parts for an inner size W × H (pixels).
struct AnalysisLayout {
    int pictureWidth = 0, pictureHeight = 0;
    int frame1Top = 0, frame2Top = 0;
    int labelTop = 0;
    int gridHeight = 0;
    TextScale textScale;
};

/// The layout for the window's inner size, or nothing when the outer size is below
/// 2000 twips in width or height (the layout then stays as it was).
std::optional<AnalysisLayout> analysisLayout(int outerWidthTwips, int outerHeightTwips,
                                             int innerWidth, int innerHeight);

}  // namespace waveharm
