// RMS values, magnitudes and distortion of the voltages and of each feeder's currents.

#include <cmath>
#include <cstddef>

#include "engine/complex_math.h"
#include "engine/quantities.h"

namespace waveharm::detail {

namespace {

// |im + j·re| of a phasor held in floats: the squares are exact in double, so this is the
// float hypotenuse without the library call's overflow handling, which floats never need.
double magnitude(float im, float re) {
    const double x = im;
    const double y = re;
    return static_cast<float>(std::sqrt(x * x + y * y));
}

double rmsOfColumn(const float* w, int n) {
    // Four partial sums, as in the projection: independent additions.
    std::array<double, 4> sum{};
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        for (int l = 0; l < 4; ++l) sum[l] += static_cast<double>(w[i + l]) * w[i + l];
    }
    for (; i < n; ++i) sum[0] += static_cast<double>(w[i]) * w[i];
    return std::sqrt(((sum[0] + sum[1]) + (sum[2] + sum[3])) / n);
}

// True when a feeder's current has a fundamental above the recorder's resolution.
bool feederCarriesCurrent(const Context& ctx, int f) {
    if (!(ctx.result.currentRms(static_cast<std::size_t>(f), 1) > 0)) return false;
    for (int c = 0; c <= ctx.layout.lastColumn; ++c) {
        const auto column = static_cast<std::size_t>(currentColumn(f, c));
        const double amplitude =
            std::hypot(ctx.result.fundamentalCos[column], ctx.result.fundamentalSin[column]);
        if (amplitude >= kMinFundamentalCounts) return true;
    }
    return false;
}

}  // namespace

void rmsFromSamples(Context& ctx) {
    HarmonicResult& r = ctx.result;
    const auto& w = ctx.window.columns;
    for (std::size_t c = 0; c < 3; ++c) {
        r.voltageRmsByPhase[c] =
            static_cast<float>(rmsOfColumn(w.row(c), ctx.layout.n) * ctx.scales.voltage);
        for (int f = 0; f < ctx.layout.feeders; ++f) {
            const auto uf = static_cast<std::size_t>(f);
            const auto column = static_cast<std::size_t>(currentColumn(f, 0)) + c;
            r.currentRmsByPhase(c, uf) = static_cast<float>(
                rmsOfColumn(w.row(column), ctx.layout.n) * ctx.scales.current[uf][c]);
        }
    }
}

void magnitudes(Context& ctx) {
    HarmonicResult& r = ctx.result;
    const Layout& layout = ctx.layout;
    const double phases = layout.lastColumn + 1;
    const auto orders = static_cast<std::size_t>(layout.orders);
    const auto lastColumn = static_cast<std::size_t>(layout.lastColumn);
    // Each phase's magnitudes first, then their mean over the phases order by order (the
    // sums add the phases in the same order as one pass would).
    for (std::size_t c = 0; c <= lastColumn; ++c) {
        const float* re = r.voltageHarmonicRe.row(c);
        const float* im = r.voltageHarmonicIm.row(c);
        float* m = r.voltageHarmonicMagnitude.row(c);
        for (std::size_t k = 1; k <= orders; ++k) m[k] = magnitude(im[k], re[k]);
    }
    for (std::size_t k = 1; k <= orders; ++k) {
        double sum = 0;
        for (std::size_t c = 0; c <= lastColumn; ++c) sum += r.voltageHarmonicMagnitude(c, k);
        r.voltageRms[k] = static_cast<float>(sum / phases);
    }
    for (std::size_t f = 0; f < static_cast<std::size_t>(layout.feeders); ++f) {
        for (std::size_t c = 0; c <= lastColumn; ++c) {
            const float* re = r.currentHarmonicRe.row(f, c);
            const float* im = r.currentHarmonicIm.row(f, c);
            float* m = r.currentHarmonicMagnitude.row(f, c);
            for (std::size_t k = 1; k <= orders; ++k) m[k] = magnitude(im[k], re[k]);
        }
        float* rms = r.currentRms.row(f);
        for (std::size_t k = 1; k <= orders; ++k) {
            double sum = 0;
            for (std::size_t c = 0; c <= lastColumn; ++c)
                sum += r.currentHarmonicMagnitude.row(f, c)[k];
            rms[k] = static_cast<float>(sum / phases);
        }
    }
    for (std::size_t c = 0; c <= static_cast<std::size_t>(layout.lastColumn); ++c) {
        r.voltageAngle[c] = static_cast<float>(
            phaseAngleShifted(r.voltageHarmonicRe(c, 1), r.voltageHarmonicIm(c, 1)));
    }
}

void voltageDistortion(Context& ctx) {
    HarmonicResult& r = ctx.result;
    const double fundamental = r.voltageRms[1];
    if (!(fundamental > 0)) throw AnalysisError("the fundamental voltage is 0");
    double sum = 0;
    std::array<double, 3> byPhase{};
    r.voltageHarmonicPercent[1] = 100;
    for (int k = 2; k <= ctx.layout.orders; ++k) {
        const auto uk = static_cast<std::size_t>(k);
        const double percent = r.voltageRms[uk] / fundamental * 100;
        r.voltageHarmonicPercent[uk] = static_cast<float>(percent);
        sum += static_cast<double>(r.voltageRms[uk]) * r.voltageRms[uk];
        for (std::size_t c = 0; c < 3; ++c) {
            const double m = r.voltageHarmonicMagnitude(c, uk);
            byPhase[c] += m * m;
        }
    }
    r.voltageDistortionSum = static_cast<float>(std::sqrt(sum));
    for (std::size_t c = 0; c < 3; ++c) {
        r.voltageDistortionByPhase[c] = static_cast<float>(std::sqrt(byPhase[c]));
    }
}

void currentDistortion(Context& ctx, int f) {
    HarmonicResult& r = ctx.result;
    const auto uf = static_cast<std::size_t>(f);
    const bool live = feederCarriesCurrent(ctx, f);
    const double fundamental = r.currentRms(uf, 1);
    const double fundamentalPower = r.activePower(uf, 1);
    double sum = 0, p = 0, q = 0;
    std::array<double, 3> byPhase{};
    if (live) r.currentHarmonicPercent(uf, 1) = 100;
    if (live && fundamentalPower != 0) r.powerHarmonicPercent(uf, 1) = 100;
    for (int k = 2; k <= ctx.layout.orders; ++k) {
        const auto uk = static_cast<std::size_t>(k);
        p += r.activePower(uf, uk);
        q += r.reactivePower(uf, uk);
        for (std::size_t c = 0; c < 3; ++c) {
            const double m = r.currentHarmonicMagnitude(uf, c, uk);
            byPhase[c] += m * m;
        }
        if (!live) continue;
        const double percent = r.currentRms(uf, uk) / fundamental * 100;
        r.currentHarmonicPercent(uf, uk) = static_cast<float>(percent);
        sum += static_cast<double>(r.currentRms(uf, uk)) * r.currentRms(uf, uk);
        // A current at 90° to its voltage carries no fundamental power to refer to.
        if (fundamentalPower != 0) {
            r.powerHarmonicPercent(uf, uk) =
                static_cast<float>(r.activePower(uf, uk) / fundamentalPower * 100);
        }
    }
    r.currentDistortionSum[uf] = static_cast<float>(std::sqrt(sum));
    for (std::size_t c = 0; c < 3; ++c) {
        r.currentDistortionByPhase(c, uf) = static_cast<float>(std::sqrt(byPhase[c]));
    }
    if (ctx.screenAngles) r.harmonicPowerAngle[uf] = roundToInt16(quadrantAngleDeg(p, q));
}

}  // namespace waveharm::detail
