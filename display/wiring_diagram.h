#pragma once
// The wiring check's picture: one phasor diagram of the fundamental per feeder, the
// "F-n" labels and the legend, in twips (1/1440 inch) on the check window's surface.

#include "display/picture.h"
#include "engine/wiring_check.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// Drawing surface of the diagram in twips; diagram y points up and a diagram point
/// (x, y) is drawn at surface position (x, kDiagramBaseY − y).
inline constexpr int kDiagramWidth = 7215;
inline constexpr int kDiagramHeight = 3757;
inline constexpr int kDiagramBaseY = 3750;
/// Height of the diagram's texts in twips (9 pt).
inline constexpr double kDiagramTextHeight = 180;

/// Centre and radius of feeder f's diagram (diagram twips) for `feederCount` feeders.
struct FeederLayout {
    int x = 0, y = 0, size = 0;
};
FeederLayout feederLayout(int feederCount, int f);

/// An empty picture of the diagram's surface size.
Picture emptyWiringPicture();

/// Appends one arrow from (x1, y1) to (x2, y2), diagram coordinates: the shaft in the
/// given style and palette colour and two solid 50-twip barbs at the tip.
void drawVector(Picture& picture, int x1, int y1, int x2, int y2, int colour, LineStyle style);

/// Appends feeder f's phasors centred at (x, y) with radius `size`: the line voltages
/// as a triangle around the centroid, the currents from the centroid; for the two- and
/// three-wattmeter types also the R-T voltage, the S current and the phase voltages
/// dotted. Draws nothing when the check holds no sums for the feeder.
void drawFeederPhasors(Picture& picture, const WiringCheckResult& check,
                       const ConversionSettings& settings, int x, int y, int size, int f);

/// The whole picture: every feeder's diagram from the layout table, "F-n" labels
/// when there are several feeders, and the legend.
Picture wiringDiagram(const WiringCheckResult& check, const ConversionSettings& settings);

/// The diagrams laid out to fill a surface of the given width-to-height `aspect`: the
/// height stays `kDiagramHeight` twips (diagram y as above), the width follows; the
/// feeders in the grid of columns and rows that gives each the largest radius, "F-n"
/// over each when there are several, the legend in one row along the bottom; texts
/// `textHeight` high. Used where the check's window is larger than its nominal size.
Picture fittedWiringDiagram(const WiringCheckResult& check, const ConversionSettings& settings,
                            double aspect, double textHeight);

}  // namespace waveharm
