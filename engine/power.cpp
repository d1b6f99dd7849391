// Active and reactive power and the phasors referred to the voltage's fundamental.

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/complex_math.h"
#include "engine/quantities.h"

namespace waveharm::detail {

namespace {

// One phase measured, the others assumed balanced: each current phasor of order k is
// turned by the phase correction and scaled by √3 before the power sums.
void applyPhaseCorrection(Context& ctx, std::size_t k) {
    HarmonicResult& r = ctx.result;
    const double correction = ctx.settings.phaseCorrectionDegrees() / 180.0 * kPi;
    const double root3 = std::sqrt(3.0);
    for (std::size_t f = 0; f < static_cast<std::size_t>(ctx.layout.feeders); ++f) {
        for (std::size_t c = 0; c <= static_cast<std::size_t>(ctx.layout.lastColumn); ++c) {
            const double im = r.currentHarmonicIm(f, c, k);
            const double re = r.currentHarmonicRe(f, c, k);
            const double m = std::sqrt(im * im + re * re);
            const double a = phaseAngleShifted(re, im + kAtanGuard) + correction;
            r.currentHarmonicIm(f, c, k) = static_cast<float>(m * std::cos(a) * root3);
            r.currentHarmonicRe(f, c, k) = static_cast<float>(m * std::sin(a) * root3);
        }
    }
}

// The power sums of one feeder over orders 1..H, phase by phase over whole rows of orders
// (each sum adds the phases in the same order as a loop over the phases per order would),
// so every loop streams through its rows. `sums` holds room for four rows of H + 1.
void feederPowers(HarmonicResult& r, std::size_t f, std::size_t orders, std::size_t phases,
                  const std::array<const std::complex<double>*, 3>& back, double* sums,
                  bool angles) {
    const std::size_t width = orders + 1;
    double* p = sums;
    double* q = p + width;
    double* cx = q + width;
    double* cy = cx + width;
    std::fill(sums, sums + 4 * width, 0.0);
    for (std::size_t c = 0; c < phases; ++c) {
        const float* vIm = r.voltageHarmonicIm.row(c);
        const float* vRe = r.voltageHarmonicRe.row(c);
        const float* iIm = r.currentHarmonicIm.row(f, c);
        const float* iRe = r.currentHarmonicRe.row(f, c);
        const std::complex<double>* b = back[c];
        for (std::size_t k = 1; k <= orders; ++k) {
            const double cb = b[k].real(), sb = b[k].imag();
            const double vi = vIm[k], vr = vRe[k];
            const double ii = iIm[k], ir = iRe[k];
            p[k] += vi * ii + vr * ir;
            q[k] += vi * ir - vr * ii;
            cx[k] += ii * cb + ir * sb;
            cy[k] += ir * cb - ii * sb;
        }
    }
    float* active = r.activePower.row(f);
    float* reactive = r.reactivePower.row(f);
    float* refX = r.currentRefX.row(f);
    float* refY = r.currentRefY.row(f);
    for (std::size_t k = 1; k <= orders; ++k) {
        active[k] = static_cast<float>(p[k]);
        reactive[k] = static_cast<float>(q[k]);
        refX[k] = static_cast<float>(cx[k]);
        refY[k] = static_cast<float>(cy[k]);
    }
    if (!angles) return;
    // The screen's angles come from the sums before they are rounded to float.
    for (std::size_t k = 1; k <= orders; ++k) {
        r.phaseAngleDeg(f, k) = static_cast<float>(quadrantAngleDeg(p[k], q[k]));
        r.currentRefAngleDeg(f, k) = roundToInt16(quadrantAngleDeg(cx[k], cy[k]));
    }
}

}  // namespace

// Power, reactive power, the voltage-to-current angle and the phasors referred to the
// fundamental of their voltage phase, order by order from this recording's phasors.
void powerAndReferences(Context& ctx) {
    HarmonicResult& r = ctx.result;
    const Layout& layout = ctx.layout;
    const bool correct =
        layout.type == MeasurementType::ThreePhase1M && ctx.settings.phaseCorrectionDegrees() != 0;
    const auto phases = static_cast<std::size_t>(layout.powerPhases());
    const auto orders = static_cast<std::size_t>(layout.orders);
    // Each order's correction touches only that order's currents.
    if (correct) {
        for (std::size_t k = 1; k <= orders; ++k) applyPhaseCorrection(ctx, k);
    }
    // Turning back by k times each phase's fundamental angle (cos β, sin β).
    std::array<const std::complex<double>*, 3> back{};
    for (std::size_t c = 0; c < phases; ++c) {
        turnsOf(r.voltageAngle[c], layout.orders, ctx.backTurns[c]);
        back[c] = ctx.backTurns[c].data();
    }
    for (std::size_t k = 1; k <= orders; ++k) {
        double vx = 0, vy = 0;
        for (std::size_t c = 0; c < phases; ++c) {
            const double cb = back[c][k].real(), sb = back[c][k].imag();
            const double vIm = r.voltageHarmonicIm(c, k), vRe = r.voltageHarmonicRe(c, k);
            vx += vIm * cb + vRe * sb;
            vy += vRe * cb - vIm * sb;
        }
        r.voltageRefX[k] = static_cast<float>(vx);
        r.voltageRefY[k] = static_cast<float>(vy);
        if (ctx.screenAngles) r.voltageAngleDeg[k] = roundToInt16(quadrantAngleDeg(vx, vy));
    }
    ctx.powerSums.resize(4 * (orders + 1));
    for (std::size_t f = 0; f < static_cast<std::size_t>(layout.feeders); ++f)
        feederPowers(r, f, orders, phases, back, ctx.powerSums.data(), ctx.screenAngles);
}

}  // namespace waveharm::detail
