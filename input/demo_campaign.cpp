// A demonstration measurement campaign: a 6.6 kV distribution bus measured through
// a PT of 60 in V connection (ch1 R-S, ch2 T-S) and the R and T currents of each
// feeder through clamps, recorded several times a minute with a rising-edge trigger
// on ch1 and a 2 % pre-trigger.

#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>

#include "input/recording_writer.h"

namespace waveharm {

namespace {

using Phasor = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kSampleRateHz = 10000;           // "10ms" per division at 100 points
constexpr double kVoltCounts = 80.0 / 20.0;       // "20V" range, 80 counts per division
constexpr double kAmpCounts = 80.0 / 0.05 * 0.1;  // "50mV" range, clamp 0.1 V/A
constexpr double kSecondaryLineVolts = 110.0;     // 6.6 kV / PT 60
constexpr int kHarmonicOrders[] = {1, 5, 7, 11, 13};

Phasor polar(double magnitude, double degrees) {
    return std::polar(magnitude, degrees * kPi / 180);
}

// Per order: the phase-R value of a balanced set; phases S and T follow with the
// order's rotation (120° per phase times the order).
struct BalancedSet {
    Phasor r[5];
    Phasor phase(int h, int shift) const {
        return r[h] * polar(1.0, -120.0 * shift * kHarmonicOrders[h]);
    }
};

struct RecordingState {
    BalancedSet voltage;
    std::vector<BalancedSet> currents;  // per feeder, secondary amperes
    double frequencyHz = 50;
};

RecordingState stateAt(int index, const DemoOptions& o, std::mt19937& rng) {
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    const double slow = 2 * kPi * index / 17.0;  // a slow load cycle over the campaign
    RecordingState s;
    s.frequencyHz = o.frequencyHz * (1 + 0.0006 * jitter(rng));
    const double vPhase = kSecondaryLineVolts / std::sqrt(3.0) * (1 + 0.01 * std::sin(slow));
    const double vPercent[] = {100, 2.2, 1.3, 0.7, 0.4};
    for (int h = 0; h < 5; ++h)
        s.voltage.r[h] = polar(vPhase * vPercent[h] / 100 * (1 + (h ? 0.1 : 0.003) * jitter(rng)),
                               h == 0 ? 0 : 180 + 10 * jitter(rng));
    for (int f = 0; f < o.feeders; ++f) {
        BalancedSet c;
        const double load = (2.0 + 0.4 * f) * (1 + 0.25 * std::sin(slow + f));
        const double lag = 15 + 10 * f + 3 * jitter(rng);
        const double iPercent[] = {100, 18 + 8 * std::sin(slow * 1.3 + f), 9 + 4 * std::cos(slow),
                                   4 + 2 * std::sin(slow * 0.7), 2.5 + std::cos(slow * 1.7 + f)};
        for (int h = 0; h < 5; ++h)
            c.r[h] = polar(load * std::sqrt(2.0) * iPercent[h] / 100,
                           -lag * kHarmonicOrders[h] + 20 * f + 5 * jitter(rng));
        s.currents.push_back(c);
    }
    return s;
}

ChannelSignal signalOf(const Phasor (&byOrder)[5], double countsPerUnit, double shiftRad,
                       const char* range) {
    ChannelSignal ch;
    ch.rangeText = range;
    ch.noise = 1.5;
    for (int h = 0; h < 5; ++h) {
        const int order = kHarmonicOrders[h];
        const double phase = std::arg(byOrder[h]) - order * shiftRad;
        ch.tones.push_back({order, std::abs(byOrder[h]) * countsPerUnit, phase * 180 / kPi});
    }
    return ch;
}

// The wiring mistakes asked for: inputs exchanged between channels, then leads reversed.
void miswire(std::vector<ChannelSignal>& channels, const DemoOptions& o) {
    const auto count = static_cast<int>(channels.size());
    auto at = [&](int channel) -> ChannelSignal& {
        if (channel < 1 || channel > count)
            throw std::invalid_argument("channel " + std::to_string(channel) +
                                        " is not recorded (1.." + std::to_string(count) + ")");
        return channels[static_cast<std::size_t>(channel - 1)];
    };
    for (const auto& [a, b] : o.exchangedChannels) std::swap(at(a).tones, at(b).tones);
    for (const int c : o.invertedChannels)
        for (ToneComponent& t : at(c).tones) t.phaseDeg += 180;
}

RecordingContent contentFor(const RecordingState& s, const DemoOptions& o, CivilDateTime start,
                            std::uint32_t seed) {
    Phasor rs[5], ts[5];
    for (int h = 0; h < 5; ++h) {
        rs[h] = (s.voltage.phase(h, 0) - s.voltage.phase(h, 1)) * std::sqrt(2.0);
        ts[h] = (s.voltage.phase(h, 2) - s.voltage.phase(h, 1)) * std::sqrt(2.0);
    }
    RecordingContent content;
    content.model = o.model;
    content.frequencyHz = s.frequencyHz;
    content.sampleRateHz = kSampleRateHz;
    content.totalSamples = o.samples;
    content.pretriggerPercent = 2;
    content.start = start;
    content.noiseSeed = seed;
    // Shift time so that R-S rises through zero at the trigger point (2 % into the record).
    const double w = 2 * kPi * s.frequencyHz;
    const double trigger = 0.02 * double(o.samples) / kSampleRateHz;
    const double shift = w * trigger + std::arg(rs[0]);
    content.channels.push_back(signalOf(rs, kVoltCounts, shift, "20V"));
    content.channels.push_back(signalOf(ts, kVoltCounts, shift, "20V"));
    for (const BalancedSet& c : s.currents) {
        Phasor r[5], t[5];
        for (int h = 0; h < 5; ++h) {
            r[h] = c.phase(h, 0);
            t[h] = c.phase(h, 2);
        }
        content.channels.push_back(signalOf(r, kAmpCounts, shift, "50mV"));
        content.channels.push_back(signalOf(t, kAmpCounts, shift, "50mV"));
    }
    miswire(content.channels, o);
    return content;
}

// Names that do not sort in time order, as in a folder copied from several media.
std::string demoFileName(int index, bool layout8840) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "W%d%03d.%s", 3 - index % 4, index, layout8840 ? "wev" : "MEM");
    return buf;
}

}  // namespace

std::vector<std::string> writeDemoCampaign(const std::filesystem::path& folder,
                                           const DemoOptions& o) {
    const int maxFeeders = o.model == "8840" ? 3 : 7;
    if (o.feeders < 1 || o.feeders > maxFeeders)
        throw std::invalid_argument("feeders must be 1.." + std::to_string(maxFeeders) +
                                    " for the " + o.model);
    if (o.count < 1 || o.count > 20160) throw std::invalid_argument("count must be 1..20160");
    if (!(o.intervalSeconds > 0)) throw std::invalid_argument("interval must be positive");
    if (o.samples < 400 || o.samples > 1000000)
        throw std::invalid_argument("samples must be 400..1000000 per channel");
    std::filesystem::create_directories(folder);
    std::mt19937 rng(o.seed);
    std::vector<std::string> names;
    const DateTime first = DateTime::fromCivil(o.start);
    for (int i = 0; i < o.count; ++i) {
        const RecordingState state = stateAt(i, o, rng);
        const DateTime at{first.serial + i * o.intervalSeconds / 86400.0};
        const std::string name = demoFileName(i, o.model == "8840");
        writeRecording(folder / name, contentFor(state, o, at.civil(), o.seed + std::uint32_t(i)));
        names.push_back(name);
    }
    return names;
}

}  // namespace waveharm
