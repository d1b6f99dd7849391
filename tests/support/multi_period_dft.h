#pragma once
// The reference the analysis of real records is checked against, computed independently
// in long double from the recorded samples: the fundamental's frequency from the drift of
// its phase across a steady stretch of many periods, and each order's phasor from a DFT
// over the whole periods of that stretch, evaluated at the order's own frequency.

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <span>
#include <vector>

namespace waveharm::testing {

using LongPhasor = std::complex<long double>;

/// Phasor (peak amplitude) of the component at `hz` over samples first .. first + n − 1.
inline LongPhasor phasorAt(std::span<const double> x, double fs, long double hz, std::size_t first,
                           std::size_t n) {
    const long double w = 2 * std::numbers::pi_v<long double> * hz / fs;
    LongPhasor sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const long double t = static_cast<long double>(first + i);
        sum += static_cast<long double>(x[first + i]) * std::polar(1.0L, -w * t);
    }
    return sum * (2.0L / static_cast<long double>(n));
}

/// The fundamental's frequency: from `nominal`, refined by the phase drift between the first
/// and the last four whole periods of the stretch (two in a stretch shorter than eight),
/// three times.
inline double multiPeriodFrequency(std::span<const double> x, double fs, double nominal) {
    long double f = nominal;
    for (int pass = 0; pass < 3; ++pass) {
        const long double period = fs / f;
        const int periods = x.size() >= 8 * period ? 4 : 2;
        const auto block = static_cast<std::size_t>(std::llround(periods * period));
        if (2 * block > x.size()) return static_cast<double>(f);
        const std::size_t late = x.size() - block;
        const LongPhasor a = phasorAt(x, fs, f, 0, block);
        const LongPhasor b = phasorAt(x, fs, f, late, block);
        const long double drift = std::arg(b / a);  // within ±π for f near the truth
        f += drift * fs / (2 * std::numbers::pi_v<long double> * static_cast<long double>(late));
    }
    return static_cast<double>(f);
}

/// Phasors of orders 0 .. `orders` (RMS magnitudes in |·|) over the most whole periods of
/// `x` at fundamental `f`; order 0 is the mean.
inline std::vector<LongPhasor> multiPeriodDft(std::span<const double> x, double fs, double f,
                                              int orders) {
    const auto periods = static_cast<long long>(std::floor(x.size() * f / fs));
    const auto n =
        std::min<std::size_t>(x.size(), static_cast<std::size_t>(std::llround(periods * fs / f)));
    std::vector<LongPhasor> h(static_cast<std::size_t>(orders) + 1);
    for (int k = 0; k <= orders; ++k)
        h[static_cast<std::size_t>(k)] = phasorAt(x, fs, static_cast<long double>(k) * f, 0, n) /
                                         (k == 0 ? 2.0L : std::numbers::sqrt2_v<long double>);
    return h;
}

/// Distortion as the analysis reports it: orders 2 .. H of the per-order magnitudes
/// averaged over the phases, against the averaged fundamental.
inline double phaseAveragedDistortion(const std::vector<std::vector<LongPhasor>>& phases,
                                      int highest) {
    long double sum = 0, fundamental = 0;
    for (int k = 1; k <= highest; ++k) {
        long double mean = 0;
        for (const auto& p : phases) mean += std::abs(p[static_cast<std::size_t>(k)]);
        mean /= static_cast<long double>(phases.size());
        if (k == 1)
            fundamental = mean;
        else
            sum += mean * mean;
    }
    return static_cast<double>(std::sqrt(sum) / fundamental);
}

}  // namespace waveharm::testing
