#pragma once
// The pieces of one recording's quantities, shared by the files that compute them: the
// window's layout and scales, the analyser's buffers, and each step's function. Only the
// analyser (engine/analyzer.cpp) calls these.

#include <array>
#include <complex>
#include <optional>
#include <vector>

#include "engine/analyzer.h"

namespace waveharm::detail {

// A fundamental below half a count of the recorder is below its resolution: the channel
// carries no signal (dead channel, open clamp) and ratios against it mean nothing.
constexpr double kMinFundamentalCounts = 0.5;

struct Layout {
    int n = 0;           // points per period
    int orders = 0;      // H
    int feeders = 0;     // F
    int lastColumn = 0;  // last used voltage phase
    bool paired = false;
    MeasurementType type = MeasurementType::ThreePhase2M;

    int columns() const { return windowColumnCount(feeders); }
    // Phases whose products make up the power: the measured line-voltage/current pairs,
    // and with three wattmeters all three phases (the derived columns are phase values).
    int powerPhases() const {
        if (type == MeasurementType::ThreePhase3M) return 3;
        return paired ? 2 : 1;
    }
};

// Physical units per raw count (RMS values from samples); harmonics divide by √2 as well.
struct Scales {
    double voltage = 0;
    std::array<std::array<double, 3>, kMaxChannelFeeders> current{};
};

using Turns = std::vector<std::complex<double>>;

struct Context {
    const ConversionSettings& settings;
    const FftPlan& plan;
    Layout layout;
    Scales scales;
    WindowWaveforms& window;
    HarmonicResult& result;
    std::vector<float>& re;
    std::vector<float>& im;
    FftWorkspace& work;
    bool screenAngles;  ///< the angles only the screens show are wanted
    /// Per voltage phase: turning back by k times its fundamental angle, k = 0..orders.
    std::array<std::vector<std::complex<double>>, 3>& voltageTurns;
    std::array<std::vector<std::complex<double>>, 3>& backTurns;
    std::vector<double>& powerSums;        ///< four rows of the power sums of one feeder
    std::array<SpectrumRows, 3>& spectra;  ///< the phases of the group being extracted
};

// The third phase as a combination of the first two, third = a·first + b·second point by
// point: with two wattmeters S = R-S − T-S for the voltages, R + T for the currents and
// R − T for currents measured as line quantities; with three wattmeters −R − T for phase
// currents.
struct ThirdPhase {
    double first = 0, second = 0;
};

// The rule of a group's third phase: group −1 for the voltages, else a feeder.
std::optional<ThirdPhase> thirdPhaseOf(const ConversionSettings& settings, const Layout& layout,
                                       int group);

// Completes the third phase of the voltages and of every feeder's currents, each value
// worked out in double and rounded once to float.
void deriveWaveforms(WindowWaveforms& window, const ConversionSettings& settings,
                     const Layout& layout);

// Cosine and sine coefficients of the fundamental of one period of N points.
std::array<double, 2> projectFundamental(const FftPlan& plan, const float* w);

// cos(k·angle) + j·sin(k·angle) for k = 0..orders, by repeated turning in double
// precision (drift below 1e-13 over 256 orders).
// `turns` keeps its storage from recording to recording.
void turnsOf(double angle, int orders, Turns& turns);

// Voltage phasors of every order, primary RMS volts, and each phase's turns by the angle
// that puts its fundamental on the x-axis.
void extractVoltages(Context& ctx);

// Current phasors of every order, primary RMS amperes, turned like their voltage.
void extractCurrents(Context& ctx);

// Fundamentals of the columns no transform ran on, for the residual plot.
void projectUntransformedColumns(Context& ctx);

// True RMS of every phase from the window's samples.
void rmsFromSamples(Context& ctx);

// Magnitudes of every phasor and their mean over the used phases.
void magnitudes(Context& ctx);

// Power, reactive power, the voltage-to-current angle and the phasors referred to the
// fundamental of their voltage phase.
void powerAndReferences(Context& ctx);

// Voltage distortion per order, in sum and per phase. Throws AnalysisError when the
// fundamental voltage is 0.
void voltageDistortion(Context& ctx);

// Current distortion and harmonic power of feeder f.
void currentDistortion(Context& ctx, int f);

}  // namespace waveharm::detail
