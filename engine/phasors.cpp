// The phasors of every order: each column's spectrum, scaled to primary units and turned
// onto its voltage's fundamental.

#include <cassert>
#include <cstddef>

#include "engine/complex_math.h"
#include "engine/quantities.h"

namespace waveharm::detail {

namespace {

// Bins 0..N of the last transform. Orders run from 1 to at most N (the layout checks that
// once), so both bins of an order lie in 0..N; orders at or above N/2 alias as the
// transform dictates but never leave the spectrum.
struct Spectrum {
    const float* re;
    const float* im;
    int n;
    bool mirrored;  ///< bins n−k (k up to the highest order) are the conjugates of bins k
    // Cosine and sine coefficients of order k in the units of the column.
    double cosPart(int k) const {
        assert(k >= 0 && k <= n && "an order within the transform");
        return static_cast<double>(re[n - k]) + re[k];
    }
    double sinPart(int k) const {
        assert(k >= 0 && k <= n && "an order within the transform");
        return static_cast<double>(im[n - k]) - im[k];
    }
};

// Where the upper bins mirror the lower ones exactly, the cosine part re[N−k] + re[k] is
// re[k] + re[k] and the sine part im[N−k] − im[k] is −im[k] − im[k]: the same values,
// read in one direction, so the loop runs on whole vectors.
void rowsOf(const Spectrum& spectrum, int orders, SpectrumRows& rows) {
    const auto top = static_cast<std::size_t>(orders);
    rows.cos.resize(top + 1);
    rows.sin.resize(top + 1);
    if (spectrum.mirrored) {
        const float* re = spectrum.re;
        const float* im = spectrum.im;
        for (std::size_t k = 0; k <= top; ++k) {
            rows.cos[k] = static_cast<double>(re[k]) + re[k];
            rows.sin[k] = static_cast<double>(-im[k]) - im[k];
        }
        return;
    }
    for (int k = 0; k <= orders; ++k) {
        rows.cos[static_cast<std::size_t>(k)] = spectrum.cosPart(k);
        rows.sin[static_cast<std::size_t>(k)] = spectrum.sinPart(k);
    }
}

// The spectrum rows of a group's column c (group −1: the voltages, else a feeder's
// currents): transformed, or, the transform being linear, combined from the group's first
// two by the rule its waveform was derived with.
void spectrumOf(Context& ctx, int group, int c, std::array<SpectrumRows, 3>& rows) {
    const int column = group < 0 ? c : currentColumn(group, c);
    SpectrumRows& out = rows[static_cast<std::size_t>(c)];
    const auto third = c == 2 ? thirdPhaseOf(ctx.settings, ctx.layout, group) : std::nullopt;
    if (third) {
        const auto top = static_cast<std::size_t>(ctx.layout.orders);
        out.cos.resize(top + 1);
        out.sin.resize(top + 1);
        for (std::size_t k = 0; k <= top; ++k) {
            out.cos[k] = third->first * rows[0].cos[k] + third->second * rows[1].cos[k];
            out.sin[k] = third->first * rows[0].sin[k] + third->second * rows[1].sin[k];
        }
    } else {
        const float* w = ctx.window.columns.row(static_cast<std::size_t>(column));
        computeFft(ctx.plan, std::span<const float>(w, static_cast<std::size_t>(ctx.layout.n + 1)),
                   ctx.re, ctx.im, ctx.work, ctx.layout.orders);
        assert(ctx.re.size() == static_cast<std::size_t>(ctx.layout.n + 1) && "bins 0..N");
        const Spectrum spectrum{
            ctx.re.data(), ctx.im.data(), ctx.layout.n,
            ctx.plan.exactConjugates() && 2 * ctx.layout.orders <= ctx.layout.n};
        rowsOf(spectrum, ctx.layout.orders, out);
    }
    ctx.result.fundamentalCos[static_cast<std::size_t>(column)] = static_cast<float>(out.cos[1]);
    ctx.result.fundamentalSin[static_cast<std::size_t>(column)] = static_cast<float>(out.sin[1]);
}

// Turns the phasor (x = sine part, y = cosine part) by the angle whose cosine and sine
// `by` holds.
void turn(double im, double re, std::complex<double> by, float& turnedIm, float& turnedRe) {
    turnedIm = static_cast<float>(complexMulRe(im, re, by.real(), by.imag()));
    turnedRe = static_cast<float>(complexMulIm(im, re, by.real(), by.imag()));
}

// Phasors of orders 1..H in the column's units times `scale`.
void scaledPhasors(const SpectrumRows& rows, int orders, double scale, float* re, float* im) {
    for (std::size_t k = 1; k <= static_cast<std::size_t>(orders); ++k) {
        re[k] = static_cast<float>(rows.cos[k] * scale);
        im[k] = static_cast<float>(rows.sin[k] * scale);
    }
}

// Phasors of orders 1..H turned by k times the angle whose turns `turns` holds.
void turnRows(const float* re, const float* im, const std::complex<double>* turns, int orders,
              float* turnedRe, float* turnedIm) {
    for (std::size_t k = 1; k <= static_cast<std::size_t>(orders); ++k)
        turn(im[k], re[k], turns[k], turnedIm[k], turnedRe[k]);
}

}  // namespace

// Cosine and sine coefficients of the fundamental of one period of N points, from the
// plan's projection tables. Four partial sums each keep the additions independent, so the
// loop runs at the processor's throughput rather than its addition latency.
std::array<double, 2> projectFundamental(const FftPlan& plan, const float* w) {
    const int n = plan.n;
    const float* c = plan.projectionCos.data();
    const float* s = plan.projectionSin.data();
    std::array<double, 4> a{}, b{};
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        for (int l = 0; l < 4; ++l) {
            a[l] += static_cast<double>(w[i + l]) * c[i + l];
            b[l] += static_cast<double>(w[i + l]) * s[i + l];
        }
    }
    for (; i < n; ++i) {
        a[0] += static_cast<double>(w[i]) * c[i];
        b[0] += static_cast<double>(w[i]) * s[i];
    }
    const double sumA = (a[0] + a[1]) + (a[2] + a[3]);
    const double sumB = (b[0] + b[1]) + (b[2] + b[3]);
    return {2 * sumA / n, 2 * sumB / n};
}

// cos(k·angle) + j·sin(k·angle) for k = 0..orders, by repeated turning in double
// precision (drift below 1e-13 over 256 orders).
// `turns` keeps its storage from recording to recording.
void turnsOf(double angle, int orders, Turns& turns) {
    turns.resize(static_cast<std::size_t>(orders + 1));
    const std::complex<double> step = std::polar(1.0, angle);
    turns[0] = 1;
    for (std::size_t k = 1; k < turns.size(); ++k) turns[k] = turns[k - 1] * step;
}

// Voltage phasors of every order, primary RMS volts, and each phase's turns by the angle
// that puts its fundamental on the x-axis.
void extractVoltages(Context& ctx) {
    HarmonicResult& r = ctx.result;
    const double scale = ctx.scales.voltage / kSqrt2;
    for (int c = 0; c <= ctx.layout.lastColumn; ++c) {
        spectrumOf(ctx, -1, c, ctx.spectra);
        const SpectrumRows& rows = ctx.spectra[static_cast<std::size_t>(c)];
        const auto uc = static_cast<std::size_t>(c);
        scaledPhasors(rows, ctx.layout.orders, scale, r.voltageHarmonicRe.row(uc),
                      r.voltageHarmonicIm.row(uc));
        const double reference =
            -phaseAngle(r.voltageHarmonicIm(uc, 1), r.voltageHarmonicRe(uc, 1));
        Turns& turns = ctx.voltageTurns[uc];
        turnsOf(reference, ctx.layout.orders, turns);
        turnRows(r.voltageHarmonicRe.row(uc), r.voltageHarmonicIm.row(uc), turns.data(),
                 ctx.layout.orders, r.voltageHarmonicRe.row(uc + 3),
                 r.voltageHarmonicIm.row(uc + 3));
        r.fundamentalRawRe[uc] = static_cast<float>(rows.cos[1]);
        r.fundamentalRawIm[uc] = static_cast<float>(rows.sin[1]);
    }
}

// Current phasors of every order, primary RMS amperes, turned like their voltage: with
// three wattmeters by the fundamental angle of their own phase, else by that of the last
// voltage column.
void extractCurrents(Context& ctx) {
    HarmonicResult& r = ctx.result;
    const Layout& layout = ctx.layout;
    const bool ownPhase = layout.type == MeasurementType::ThreePhase3M;
    const std::array<Turns, 3>& turnsByPhase = ctx.voltageTurns;
    for (int f = 0; f < layout.feeders; ++f) {
        const auto uf = static_cast<std::size_t>(f);
        for (int c = 0; c <= layout.lastColumn; ++c) {
            const auto uc = static_cast<std::size_t>(c);
            spectrumOf(ctx, f, c, ctx.spectra);
            const double scale = ctx.scales.current[uf][uc] / kSqrt2;
            const Turns& turns =
                turnsByPhase[ownPhase ? uc : static_cast<std::size_t>(layout.lastColumn)];
            float* re = r.currentHarmonicRe.row(uf, uc);
            float* im = r.currentHarmonicIm.row(uf, uc);
            scaledPhasors(ctx.spectra[uc], layout.orders, scale, re, im);
            turnRows(re, im, turns.data(), layout.orders, r.currentHarmonicRe.row(uf, uc + 3),
                     r.currentHarmonicIm.row(uf, uc + 3));
        }
    }
}

// Fundamentals of the columns no transform ran on, for the residual plot.
void projectUntransformedColumns(Context& ctx) {
    for (int group = 0; group <= ctx.layout.feeders; ++group) {
        for (int c = ctx.layout.lastColumn + 1; c < 3; ++c) {
            const auto column = static_cast<std::size_t>(3 * group + c);
            const auto [a, b] = projectFundamental(ctx.plan, ctx.window.columns.row(column));
            ctx.result.fundamentalCos[column] = static_cast<float>(a);
            ctx.result.fundamentalSin[column] = static_cast<float>(b);
        }
    }
}

}  // namespace waveharm::detail
