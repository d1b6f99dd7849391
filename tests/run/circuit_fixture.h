#pragma once
// Synthetic measurement circuits for the conversion tests: balanced three-phase
// phase voltages and currents with harmonics, wired to recorder channels the way each
// measurement type expects, plus the phasors the analysis should find on each channel.

#include <cmath>
#include <complex>
#include <filesystem>
#include <map>
#include <vector>

#include "input/recording_writer.h"
#include "settings/conversion_settings.h"

namespace waveharm::testing {

using Phasor = std::complex<double>;  ///< amplitude (raw counts, peak) and phase of sin()

inline constexpr double kPi = 3.14159265358979323846;

inline Phasor polarDeg(double amplitude, double degrees) {
    return std::polar(amplitude, degrees * kPi / 180.0);
}

inline double angleDeg(Phasor z) { return std::arg(z) * 180.0 / kPi; }

/// Difference of two angles folded into -180..180.
inline double angleDiffDeg(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d > 180) d -= 360;
    if (d < -180) d += 360;
    return d;
}

/// One harmonic order of a channel: the phasor of sin(order·ωt + phase).
using ChannelPhasors = std::map<int, Phasor>;

/// A balanced positive-sequence circuit. Harmonics of order k are shifted by k times
/// the phase displacement, as real balanced harmonics are.
struct Circuit {
    double phaseVoltage = 700;  ///< peak counts of the phase voltage fundamental
    std::map<int, double> voltageHarmonics{{5, 0.08}, {7, 0.04}};  ///< fraction, phase 0
    double current = 600;  ///< peak counts of the phase current fundamental
    std::map<int, double> currentHarmonics{{5, 0.25}, {7, 0.12}, {11, 0.06}};
    double lagDeg = 25;  ///< the current lags its phase voltage by this
    double currentHarmonicPhaseDeg = 40;

    /// Phase voltage of phase p (0 = R, 1 = S, 2 = T).
    ChannelPhasors voltage(int p) const {
        const double shift[3] = {0, -120, 120};
        ChannelPhasors out{{1, polarDeg(phaseVoltage, shift[p])}};
        for (auto [k, f] : voltageHarmonics) out[k] = polarDeg(phaseVoltage * f, k * shift[p]);
        return out;
    }
    ChannelPhasors currentOf(int p) const {
        const double shift[3] = {0, -120, 120};
        ChannelPhasors out{{1, polarDeg(current, shift[p] - lagDeg)}};
        for (auto [k, f] : currentHarmonics)
            out[k] = polarDeg(current * f, k * shift[p] + currentHarmonicPhaseDeg);
        return out;
    }
};

inline ChannelPhasors minus(const ChannelPhasors& a, const ChannelPhasors& b) {
    ChannelPhasors out = a;
    for (auto [k, z] : b) out[k] -= z;
    return out;
}

inline ChannelPhasors scaled(const ChannelPhasors& a, double factor) {
    ChannelPhasors out;
    for (auto [k, z] : a) out[k] = z * factor;
    return out;
}

inline Phasor at(const ChannelPhasors& c, int k) {
    const auto it = c.find(k);
    return it == c.end() ? Phasor{} : it->second;
}

/// The signal the recording writer turns into raw counts.
inline ChannelSignal signalOf(const ChannelPhasors& phasors, const std::string& rangeText) {
    ChannelSignal s;
    s.rangeText = rangeText;
    for (auto [k, z] : phasors) s.tones.push_back({k, std::abs(z), angleDeg(z)});
    return s;
}

/// Recorder channels of the circuit for a measurement type: ch1, ch2, then the current
/// channels (R-S and T-S line voltages and the R and T currents for the two- and
/// three-wattmeter types; R-S and the R current for 3p1m; two half voltages and two
/// currents for single-phase three-wire).
inline std::vector<ChannelPhasors> channelsFor(const Circuit& c, MeasurementType type) {
    switch (type) {
        case MeasurementType::ThreePhase1M:
            return {minus(c.voltage(0), c.voltage(1)), c.currentOf(0)};
        case MeasurementType::SinglePhase3W: {
            // R-N and T-N of a split-phase supply: equal and opposite voltages, the
            // two outer lines loaded unequally.
            const ChannelPhasors v = c.voltage(0);
            const ChannelPhasors i = c.currentOf(0);
            return {v, scaled(v, -1), i, scaled(i, -0.5)};
        }
        default:
            return {minus(c.voltage(0), c.voltage(1)), minus(c.voltage(2), c.voltage(1)),
                    c.currentOf(0), c.currentOf(2)};
    }
}

/// Physical units per raw count of the test recordings' ranges: "10V" per division
/// and "20mV" per division over 80 counts per division.
inline constexpr double kVoltsPerCount = 10.0 / 80.0;
inline constexpr double kCurrentVoltsPerCount = 0.02 / 80.0;

/// A recording of the circuit at 10 kS/s, 50 Hz, 4000 samples.
inline RecordingContent recordingOf(const std::vector<ChannelPhasors>& channels,
                                    CivilDateTime start) {
    RecordingContent content;
    content.model = "8841";
    content.frequencyHz = 50;
    content.sampleRateHz = 10000;
    content.totalSamples = 4000;
    content.start = start;
    for (std::size_t i = 0; i < channels.size(); ++i)
        content.channels.push_back(signalOf(channels[i], i < 2 ? "10V" : "20mV"));
    // The single-phase types carry currents on ch2.
    if (channels.size() == 2) content.channels[1].rangeText = "20mV";
    return content;
}

}  // namespace waveharm::testing
