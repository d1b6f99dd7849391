#pragma once
// The wiring check before a run: one fundamental period of the current recording,
// the fundamental of every used channel as sine/cosine sums, the channel RMS values
// with the voltage/current text, and the phasor diagram of every feeder as a list of
// drawing primitives in twips (1/1440 inch) for the window to paint.

#include <array>
#include <string>
#include <vector>

#include "engine/analysis.h"
#include "engine/harmonic_result.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// The question the wiring check asks under its voltage/current text.
inline constexpr const char* kWiringQuestion = "結線はこのままでよいですか";
/// Message shown when a 50 Hz half-cycle holds 50 samples or fewer.
inline constexpr const char* kFewSamplesMessage =
    "サンプリング数が少なく、正確な分析ができない可能性があります。";

/// Outcome of the check on one recording.
struct WiringCheckResult {
    double t1 = 0;              ///< period start (fractional sample)
    double t2 = 0;              ///< period end
    bool fixedPeriod = false;   ///< no rising crossing found: fixed 50 Hz period
    bool fewSamples = false;    ///< a 50 Hz half-cycle holds 50 samples or fewer
    std::string frequencyText;  ///< "基本波周波数 50.00Hz" ("固定" before "Hz" when fixed)
    /// Per channel slot e (0 R-S, 1 T-S, 2f+2 / 2f+3 feeder f's R / T current); slots
    /// the measurement type does not use hold 0.
    std::vector<float> fundamentalSin, fundamentalCos, channelRms;
    float rotation = 0;                     ///< turn of the whole diagram, radians
    std::string voltageLine;                ///< "入力電圧,Vr-s= 110.0V ,Vt-s= 110.0V"
    std::vector<std::string> currentLines;  ///< "入力電流,I1r= 100.0A ,I1t= 100.0A"
    /// Voltage line, current lines and the question, one per line ("\n").
    std::string text;
};

/// Runs the check on `recording` with `settings`: period by rising zero crossings of
/// the R-S voltage whatever the sync mode (fixed 50 Hz when none is found), the
/// resampled window into `window` (sized here), sums, RMS values in input units times
/// the PT and CT ratios over the current sense, and the text. Throws AnalysisError
/// when the recording cannot be checked (no counts per division, window beyond the
/// samples, a channel the recording does not have).
WiringCheckResult runWiringCheck(const Recording& recording, const ConversionSettings& settings,
                                 WindowWaveforms& window);

/// The rotation of the diagram: for the two- and three-wattmeter types 1.05 rad when
/// T-S leads R-S (positive sequence, cross product ≥ 0), else 2.09 rad; 0 otherwise.
float diagramRotation(MeasurementType type, const std::vector<float>& fundamentalSin,
                      const std::vector<float>& fundamentalCos);

/// Drawing surface of the diagram in twips; diagram y points up and a diagram point
/// (x, y) is drawn at surface position (x, kDiagramBaseY − y).
inline constexpr int kDiagramWidth = 7215;
inline constexpr int kDiagramHeight = 3757;
inline constexpr int kDiagramBaseY = 3750;

/// Colour `index` (0..15) of the fixed 16-colour palette of diagrams and graphs.
struct PaletteRgb {
    int r = 0, g = 0, b = 0;
};
PaletteRgb paletteColour(int index);

enum class StrokeStyle { Solid, Dotted };
enum class SegmentRole { Line, ArrowShaft, ArrowBarb };

/// A straight stroke in surface twips (y down).
struct DiagramSegment {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int colour = 0;  ///< palette number
    StrokeStyle style = StrokeStyle::Solid;
    SegmentRole role = SegmentRole::Line;
};

/// A text whose top-left corner sits at (x, y) surface twips.
struct DiagramText {
    int x = 0, y = 0;
    int colour = 0;
    std::string text;
};

struct WiringDiagram {
    std::vector<DiagramSegment> segments;
    std::vector<DiagramText> texts;
};

/// Centre and radius of feeder f's diagram (diagram twips) for `feederCount` feeders.
struct FeederLayout {
    int x = 0, y = 0, size = 0;
};
FeederLayout feederLayout(int feederCount, int f);

/// Appends one arrow from (x1, y1) to (x2, y2), diagram coordinates: the shaft in the
/// given style and two solid 50-twip barbs at the tip.
void drawVector(WiringDiagram& diagram, int x1, int y1, int x2, int y2, int colour,
                StrokeStyle style);

/// Appends feeder f's phasors centred at (x, y) with radius `size`: the line voltages
/// as a triangle around the centroid, the currents from the centroid; for the two- and
/// three-wattmeter types also the R-T voltage, the S current and the phase voltages
/// dotted.
void drawFeederPhasors(WiringDiagram& diagram, const WiringCheckResult& check,
                       const ConversionSettings& settings, int x, int y, int size, int f);

/// The whole picture: every feeder's diagram from the layout table, "F-n" labels
/// when there are several feeders, and the legend.
WiringDiagram wiringDiagram(const WiringCheckResult& check, const ConversionSettings& settings);

}  // namespace waveharm
