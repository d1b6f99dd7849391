#pragma once
// The wiring check before a run: one fundamental period of the current recording,
// the fundamental of every used channel as sine/cosine sums, the channel RMS values
// with the voltage/current text and the turn of the phasor diagram (drawn by
// display/wiring_diagram.h).

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

}  // namespace waveharm
