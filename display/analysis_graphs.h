#pragma once
// The graphs of the analysis window computed as primitive lists: the resampled
// waveforms, the waveforms with their fundamental removed, the harmonic distortion
// bar charts, the high-order and phase-angle charts and the harmonic phasor diagrams.

#include <array>
#include <span>
#include <string>
#include <vector>

#include "display/picture.h"
#include "engine/harmonic_result.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// What every graph of one recording reads. References must outlive the call.
struct GraphInputs {
    const ConversionSettings& settings;
    const RecorderFileHeader& header;
    const WindowWaveforms& window;
    const HarmonicResult& result;
    int feeder = 0;  ///< displayed feeder, 0-based
    TextScale textScale{};
};

/// Voltage phases shown for a measurement type: 1, 2 or 3.
int shownPhases(MeasurementType type);

/// Full scale and grid step of a distortion bar chart for its scale value (percent):
/// below 5 → 5 and 1; else (round(value) div 10 + 1) × 10 with step 2 at 10, else 10.
struct BarScale {
    int fullScale = 5;
    int step = 1;
};
BarScale barChartScale(double scaleValue);

/// Resampled waveforms of the voltages (upper row) and the displayed feeder's currents
/// (lower row), black; a quarter of the height for MR8880 recordings.
void drawWaveforms(const GraphInputs& in, Picture& out);

/// The same waveforms with their fundamental subtracted, red.
void drawDistortionWaveforms(const GraphInputs& in, Picture& out);

/// The scale value of a distortion chart: the largest percentage of orders 2 and above
/// (`percentByOrder` is indexed by order), at least `least` (1 for the voltage, 2 for a
/// current, whose chart thus never scales to noise).
float distortionScaleValue(std::span<const float> percentByOrder, float least);

/// Bar chart of the per-order distortion (percent) of orders 2..49 framed at
/// (x0, y0)–(x0 + 250, y0 − 130). `values` is indexed by order.
void drawDistortionBars(double x0, double y0, const std::string& title, double scaleValue,
                        const std::vector<float>& values, TextScale textScale, Picture& out);

/// The voltage chart of the voltage distortion per order.
void drawVoltageDistortionBars(double x0, double y0, const std::string& title,
                               const GraphInputs& in, Picture& out);
/// The same chart for the displayed feeder's current.
void drawCurrentDistortionBars(double x0, double y0, const std::string& title,
                               const GraphInputs& in, Picture& out);

/// One high-order voltage distortion bar: orders `firstOrder`..`lastOrder` combined
/// as the root of the sum of their squared percentages.
struct OrderGroup {
    int firstOrder = 0;
    int lastOrder = 0;
    double percent = 0;
};
/// The groups of the high-order chart: with 256 orders the orders 50..256 in groups of
/// five; otherwise orders 2..49 one by one.
std::vector<OrderGroup> highOrderGroups(const HarmonicResult& result, int maxOrder);

/// Second chart of the graph mode: the high-order voltage distortion.
void drawHighOrderVoltageChart(double x0, double y0, const GraphInputs& in, Picture& out);
/// Fourth chart of the graph mode: the voltage-to-current angle of orders 1..49 of the
/// displayed feeder, −180..180°, around a middle zero line.
void drawPhaseAngleChart(double x0, double y0, const GraphInputs& in, Picture& out);

/// One arrow in diagram coordinates (y up, drawn at 400 − y): shaft and two 5-unit
/// barbs at the tip.
void drawScaledVector(int x1, int y1, int x2, int y2, int colour, LineStyle style, Picture& out);

/// One harmonic order's phasor diagram. `sinParts`/`cosParts` are interleaved as
/// voltage R-S, current R, voltage T-S, current T.
void drawOrderPhasors(const std::array<float, 4>& sinParts, const std::array<float, 4>& cosParts,
                      float rotation, bool paired, int x, int y, MeasurementType type, int size,
                      Picture& out);

/// The cell of the phasor diagram in column 0..3 and row 0 (upper) or 1 (lower) of the
/// harmonic phasor page: a square round the diagram's centre, clear of its neighbours and
/// of the order labels between and below the rows.
PictureBox phasorCell(int column, int row);

/// The eight phasor diagrams of orders 1, 5, 11, 17 / 3, 7, 13, 19 with their labels
/// and legend. Each diagram is drawn at size 50, or smaller when a dominant phase would
/// carry its arrows out of its cell.
void drawHarmonicPhasorPage(const GraphInputs& in, Picture& out);

/// The four charts of the graph mode.
void drawChartPage(const GraphInputs& in, Picture& out);

}  // namespace waveharm
