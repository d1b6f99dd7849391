#pragma once
// The wiring check before a run: one fundamental period of the current recording,
// the fundamental of every used channel as sine/cosine sums, the channel RMS values,
// the primary voltages and currents and the turn of the phasor diagram (drawn, and put
// into words, by display/).

#include <array>
#include <vector>

#include "engine/analysis_error.h"
#include "engine/harmonic_result.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// Why the wiring check cannot look at a recording.
enum class WiringFault {
    NoSamplingRate,       ///< the header gives no positive sampling rate
    NoCountsPerDivision,  ///< the header gives no positive counts per division
    MissingChannel,       ///< a channel the settings use is not in the recording
};

/// A recording the wiring check cannot look at: the fault and, for a missing channel, the
/// input (1-based channel-map entry) that names it.
class WiringCheckError : public AnalysisError {
  public:
    explicit WiringCheckError(WiringFault fault, int input = 0);
    WiringFault fault() const { return m_fault; }
    int input() const { return m_input; }

  private:
    WiringFault m_fault;
    int m_input;
};

/// Outcome of the check on one recording.
struct WiringCheckResult {
    double t1 = 0;             ///< period start (fractional sample)
    double t2 = 0;             ///< period end
    bool fixedPeriod = false;  ///< no rising crossing found: fixed 50 Hz period
    bool fewSamples = false;   ///< a 50 Hz half-cycle holds 50 samples or fewer
    double frequencyHz = 0;    ///< sampling rate / period
    /// Per channel slot e (0 R-S, 1 T-S, 2f+2 / 2f+3 feeder f's R / T current); slots
    /// the measurement type does not use hold 0.
    std::vector<float> fundamentalSin, fundamentalCos, channelRms;
    float rotation = 0;  ///< turn of the whole diagram, radians
    /// Primary RMS volts of R-S and T-S: the channel RMS times the PT ratio.
    std::array<float, 2> lineVoltages{};
    /// Per feeder, primary RMS amperes of the R and T currents: the channel RMS times the
    /// CT ratio over the current sense.
    std::vector<std::array<double, 2>> feederCurrents;
};

/// Runs the check on `recording` with `settings`: period by rising zero crossings of
/// the R-S voltage whatever the sync mode (fixed 50 Hz when none is found), the
/// resampled window into `window` (sized here), sums, RMS values in input units times
/// the PT and CT ratios over the current sense. Throws WiringCheckError when the header
/// gives no sampling rate or counts per division or a used channel is missing, and
/// AnalysisError when the window lies beyond the samples.
WiringCheckResult runWiringCheck(const Recording& recording, const ConversionSettings& settings,
                                 WindowWaveforms& window);

/// The rotation of the diagram: for the two- and three-wattmeter types 1.05 rad when
/// T-S leads R-S (positive sequence, cross product ≥ 0), else 2.09 rad; 0 otherwise.
float diagramRotation(MeasurementType type, const std::vector<float>& fundamentalSin,
                      const std::vector<float>& fundamentalCos);

}  // namespace waveharm
