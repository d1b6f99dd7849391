#pragma once
// Writes byte-exact recorder waveform files of every layout from synthetic
// channel signals. Used by the tests, the fuzz seed corpora and the demo
// campaign of `waveharm-cli demo`.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/date_time.h"

namespace waveharm {

/// One harmonic of a synthetic channel signal.
struct ToneComponent {
    int order = 1;         ///< multiple of the fundamental frequency
    double amplitude = 0;  ///< peak, in raw counts
    double phaseDeg = 0;   ///< phase of sin(order·ωt + phase)
};

/// A channel's signal in raw counts: Σ amplitude·sin(order·2πf·t + phase) + offset
/// + uniform noise of ±noise counts. Rounded half to even and clamped to the
/// layout's value range.
struct ChannelSignal {
    std::vector<ToneComponent> tones{};
    double offset = 0;
    double noise = 0;
    std::string rangeText = "200V";  ///< input range per division as written in the file
    bool off = false;                ///< written as a channel block marked "OFF" (`.MEM` only)
    int channelNumber = 0;           ///< number written in the channel block; 0 = position + 1
    /// Explicit raw samples instead of tones (length = totalSamples); empty = use tones.
    std::vector<std::int16_t> raw{};
};

/// Everything one recording file holds.
struct RecordingContent {
    /// "MR8880", "8847", "8841", "8835", "8807", "8860" (any "886…"), or "8840".
    std::string model = "8841";
    double frequencyHz = 50;
    double sampleRateHz = 10000;  ///< must be expressible by the time axis (below)
    std::int64_t totalSamples = 2000;
    double pretriggerPercent = 2;
    CivilDateTime start{2018, 12, 12, 10, 15, 10};
    std::vector<ChannelSignal> channels;  ///< in recorder channel order
    std::uint32_t noiseSeed = 1;
    double countsPerDiv = 80;  ///< written in the header (8840: always 80)
    /// Time axis text; empty = derived from sampleRateHz with 100 points per division
    /// (e.g. 10 kS/s → "10ms").
    std::string timeAxisText;
    double pointsPerDiv = 100;
};

/// The file's bytes.
std::vector<std::byte> encodeRecording(const RecordingContent& content);

/// Writes the file; throws std::runtime_error when it cannot be written.
void writeRecording(const std::filesystem::path& path, const RecordingContent& content);

/// A realistic measurement campaign (`waveharm-cli demo`).
struct DemoOptions {
    std::string model = "8841";
    int feeders = 2;
    int count = 12;               ///< recordings
    double intervalSeconds = 20;  ///< time between recordings
    double frequencyHz = 50;
    std::int64_t samples = 2000;  ///< per channel, at 10 kS/s (2000: ten 50 Hz periods)
    std::uint32_t seed = 1;
    CivilDateTime start{2018, 12, 12, 9, 0, 0};
    /// Wiring mistakes made at the recorder: channels (1-based) whose lead or clamp is
    /// reversed, and pairs of channels whose inputs are exchanged (applied first).
    std::vector<int> invertedChannels{};
    std::vector<std::array<int, 2>> exchangedChannels{};
};

/// Writes `count` recordings into `folder` (created when missing): 6.6 kV-class line
/// voltages through a PT of 60 (about 110 V secondary), feeder currents with
/// 5th/7th/11th/13th harmonics varying over time; file names whose order differs
/// from their time order. Raw values stay within ±2046 counts. Returns the names.
std::vector<std::string> writeDemoCampaign(const std::filesystem::path& folder,
                                           const DemoOptions& options);

}  // namespace waveharm
