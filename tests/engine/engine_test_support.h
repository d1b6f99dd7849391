#pragma once
// Synthetic recordings and analysis windows for the engine tests: channels and window
// columns made of harmonic tones with known amplitudes and phases.

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "engine/analyzer.h"
#include "engine/harmonic_result.h"
#include "input/recording.h"
#include "settings/conversion_settings.h"

namespace waveharm::test {

/// amplitude·sin(order·θ + phaseDeg) in raw counts.
struct Tone {
    int order = 1;
    double amplitude = 0;
    double phaseDeg = 0;
};
using Tones = std::vector<Tone>;

inline double toneValue(const Tones& tones, double theta) {
    double v = 0;
    for (const Tone& t : tones) {
        v += t.amplitude * std::sin(t.order * theta + t.phaseDeg * std::numbers::pi / 180);
    }
    return v;
}

/// A recording of 8841 kind: each channel slot sampled from its tones at `fsHz` with a
/// fundamental of `f1Hz`, rounded half to even and clamped to 16 bits.
inline Recording makeRecording(double fsHz, double f1Hz, std::int64_t totalSamples,
                               const std::vector<Tones>& channels, double pretrigger = 2) {
    Recording rec;
    RecorderFileHeader& h = rec.header;
    h.model = "8841";
    h.recorderFamily = 41;
    h.channelCount = static_cast<std::int16_t>(channels.size());
    h.pointsPerDiv = 100;
    h.countsPerDiv = 80;
    h.totalSamples = totalSamples;
    h.samplingRateKHz = fsHz / 1000;
    h.pretrigger = pretrigger;
    for (std::size_t s = 0; s < channels.size(); ++s) {
        h.rangePerDiv[s] = 20;
        h.slots[s].channelInUse = true;
    }
    rec.samples = SampleTable(totalSamples, static_cast<int>(channels.size()));
    for (std::size_t s = 0; s < channels.size(); ++s) {
        auto column = rec.samples.column(static_cast<int>(s));
        for (std::int64_t i = 0; i < totalSamples; ++i) {
            const double theta = 2 * std::numbers::pi * f1Hz * static_cast<double>(i) / fsHz;
            const double v = std::nearbyint(toneValue(channels[s], theta));
            column[static_cast<std::size_t>(i)] =
                static_cast<std::int16_t>(std::fmax(-32768.0, std::fmin(32767.0, v)));
        }
    }
    return rec;
}

/// Settings for a window of `n` points with `feeders` feeders and all orders up to 99.
inline ConversionSettings engineSettings(MeasurementType type, int feeders, int n = 1024) {
    ConversionSettings s;
    s.measurementType = type;
    s.setFeederCount(feeders);
    s.setHarmonicOption(HarmonicOption::WithSuperpositionAngle);
    s.setSampleCount(n);
    s.ptRatio = 60;
    return s;
}

/// A window of 3F + 3 columns with one period of each given column's tones (θ = 2πi/N).
inline WindowWaveforms makeWindow(int n, int feeders, const std::vector<Tones>& columns) {
    WindowWaveforms w;
    w.columns =
        Array2<float>(static_cast<std::size_t>(3 * feeders + 3), static_cast<std::size_t>(n + 1));
    for (std::size_t c = 0; c < columns.size() && c < w.columns.rows(); ++c) {
        for (int i = 0; i <= n; ++i) {
            const double theta = 2 * std::numbers::pi * i / n;
            w.columns(c, static_cast<std::size_t>(i)) =
                static_cast<float>(toneValue(columns[c], theta));
        }
    }
    w.samplePositions.assign(static_cast<std::size_t>(n + 1), 0.0f);
    return w;
}

/// A header whose channel slots all read 20 units per division at 80 counts per division.
inline RecorderFileHeader windowHeader(int channels = 16) {
    RecorderFileHeader h;
    h.channelCount = static_cast<std::int16_t>(channels);
    h.countsPerDiv = 80;
    h.samplingRateKHz = 10;
    for (int s = 0; s < channels; ++s) h.rangePerDiv[static_cast<std::size_t>(s)] = 20;
    return h;
}

/// Degrees of the point (x, y), wrapped difference helper.
inline double angleDiffDeg(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d > 180) d -= 360;
    if (d < -180) d += 360;
    return d;
}

}  // namespace waveharm::test
