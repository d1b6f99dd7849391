#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <complex>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/analysis.h"
#include "engine/band_limited.h"
#include "engine/complex_math.h"

namespace waveharm {

namespace {

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

    int columns() const { return 3 * feeders + 3; }
    static int currentColumn(int f, int c) { return 3 * f + 3 + c; }
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

using detail::SpectrumRows;

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

Layout layoutOf(const ConversionSettings& settings, int n) {
    Layout layout;
    layout.n = n;
    layout.orders = settings.maxHarmonicOrder();
    layout.feeders = settings.feederCount;
    layout.lastColumn = lastVoltageColumn(settings.measurementType);
    layout.paired = pairedChannels(settings.measurementType);
    layout.type = settings.measurementType;
    if (layout.feeders < 1 || layout.feeders > kMaxChannelFeeders) {
        throw AnalysisError("a recording holds the currents of 1 to 7 feeders, not " +
                            std::to_string(layout.feeders));
    }
    if (layout.orders < 1 || layout.orders > n) {
        throw AnalysisError("highest harmonic order " + std::to_string(layout.orders) +
                            " does not fit a transform of " + std::to_string(n) + " points");
    }
    return layout;
}

double rangeOfSlot(const RecorderFileHeader& header, int slot) {
    if (slot < 0 || slot >= static_cast<int>(header.rangePerDiv.size())) return 0;
    return header.rangePerDiv[static_cast<std::size_t>(slot)];
}

// `feeder` (from 1) is named after `what` when given; the text is only built for a fault.
void requireFinite(double value, const char* what, int feeder = 0) {
    if (std::isfinite(value)) return;
    std::string text = what;
    if (feeder > 0) text += " of feeder " + std::to_string(feeder);
    throw AnalysisError(text + " is not a finite number");
}

Scales scalesOf(const RecorderFileHeader& header, const ConversionSettings& settings,
                const Layout& layout) {
    const double d = header.countsPerDiv;
    requireFinite(d, "counts per division");
    if (d == 0) throw AnalysisError("counts per division of the recording is 0");
    Scales scales;
    const double voltageRange = rangeOfSlot(header, sourceSlot(settings, 0));
    requireFinite(voltageRange, "the R-S voltage range");
    scales.voltage = voltageRange / d * settings.ptRatio;
    for (int f = 0; f < layout.feeders; ++f) {
        const auto fi = static_cast<std::size_t>(f);
        const double sense = settings.currentSenseOhms[fi];
        requireFinite(sense, "current sense", f + 1);
        requireFinite(settings.ctRatio[fi], "CT ratio", f + 1);
        if (sense == 0) {
            throw AnalysisError("current sense of feeder " + std::to_string(f + 1) + " is 0");
        }
        // The derived third phase takes the scale of the R current, as the voltages take
        // that of R-S.
        const int rSlot = sourceSlot(settings, 2 * f + 2);
        const int tSlot = sourceSlot(settings, 2 * f + 3);
        const std::array<double, 3> range{rangeOfSlot(header, rSlot), rangeOfSlot(header, tSlot),
                                          rangeOfSlot(header, rSlot)};
        for (std::size_t c = 0; c < 3; ++c) {
            requireFinite(range[c], "a current range", f + 1);
            scales.current[fi][c] = range[c] / d * settings.ctRatio[fi] / sense;
        }
    }
    return scales;
}

void checkWindowShape(const WindowWaveforms& window, const Layout& layout) {
    const auto& columns = window.columns;
    if (columns.rows() != static_cast<std::size_t>(layout.columns()) ||
        columns.cols() != static_cast<std::size_t>(layout.n + 1)) {
        throw AnalysisError("the analysis window has " + std::to_string(columns.rows()) +
                            " columns of " + std::to_string(columns.cols()) + " points, not " +
                            std::to_string(layout.columns()) + " of " +
                            std::to_string(layout.n + 1));
    }
}

// A window handed in from outside the resampler (whose values are interpolated counts, so
// always finite) may hold anything.
void checkWindowValues(const WindowWaveforms& window) {
    const auto& columns = window.columns;
    for (std::size_t r = 0; r < columns.rows(); ++r) {
        const float* w = columns.row(r);
        for (std::size_t i = 0; i < columns.cols(); ++i) {
            if (!std::isfinite(w[i])) throw AnalysisError("the analysis window holds a non-number");
        }
    }
}

// |im + j·re| of a phasor held in floats: the squares are exact in double, so this is the
// float hypotenuse without the library call's overflow handling, which floats never need.
double magnitude(float im, float re) {
    const double x = im;
    const double y = re;
    return static_cast<float>(std::sqrt(x * x + y * y));
}

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

void checkLineVoltage(const WindowWaveforms& window, const FftPlan& plan) {
    const auto [a, b] = projectFundamental(plan, window.columns.row(0));
    if (std::hypot(a, b) < kMinFundamentalCounts) {
        throw AnalysisError("the R-S line voltage has no fundamental (dead voltage channel)");
    }
}

// Line-to-line values of R-S and T-S into the phase values R, T and S.
void lineToPhase(float* r, float* t, float* s, std::size_t points) {
    for (std::size_t i = 0; i < points; ++i) {
        const double shift = -(static_cast<double>(r[i]) + t[i]) / 3;
        s[i] = static_cast<float>(shift);
        r[i] = static_cast<float>(r[i] + shift);
        t[i] = static_cast<float>(t[i] + shift);
    }
}

// The third phase as a combination of the first two, third = a·first + b·second point by
// point: with two wattmeters S = R-S − T-S for the voltages, R + T for the currents and
// R − T for currents measured as line quantities; with three wattmeters −R − T for phase
// currents. Nothing when the third phase is no such combination (three-wattmeter line
// quantities are turned into phase values instead) or is not derived at all.
struct ThirdPhase {
    double first = 0, second = 0;
};
std::optional<ThirdPhase> thirdPhaseRule(MeasurementType type, bool voltages, bool lineValues) {
    if (type == MeasurementType::ThreePhase2M) {
        if (voltages || lineValues) return ThirdPhase{1, -1};
        return ThirdPhase{1, 1};
    }
    if (type == MeasurementType::ThreePhase3M && !voltages && !lineValues)
        return ThirdPhase{-1, -1};
    return std::nullopt;
}

// The rule of a group's third phase: group −1 for the voltages, else a feeder.
std::optional<ThirdPhase> thirdPhaseOf(const ConversionSettings& settings, const Layout& layout,
                                       int group) {
    const bool lineValues =
        group >= 0 && settings.lineVoltageInput[static_cast<std::size_t>(group)];
    return thirdPhaseRule(layout.type, group < 0, lineValues);
}

// Completes the third phase of the voltages and of every feeder's currents, each value
// worked out in double and rounded once to float.
void deriveWaveforms(WindowWaveforms& window, const ConversionSettings& settings,
                     const Layout& layout) {
    const bool threeMeter = layout.type == MeasurementType::ThreePhase3M;
    if (layout.type != MeasurementType::ThreePhase2M && !threeMeter) return;
    auto& w = window.columns;
    const std::size_t points = w.cols();
    for (int group = -1; group < layout.feeders; ++group) {
        const auto b = static_cast<std::size_t>(group < 0 ? 0 : Layout::currentColumn(group, 0));
        if (const auto rule = thirdPhaseOf(settings, layout, group)) {
            const float* first = w.row(b);
            const float* second = w.row(b + 1);
            float* third = w.row(b + 2);
            for (std::size_t i = 0; i < points; ++i)
                third[i] = static_cast<float>(rule->first * first[i] + rule->second * second[i]);
        } else if (threeMeter) {
            lineToPhase(w.row(b), w.row(b + 1), w.row(b + 2), points);
        }
    }
}

void prepareResult(HarmonicResult& result, const Layout& layout) {
    result.allocate(layout.orders, layout.feeders);
}

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
    const int column = group < 0 ? c : Layout::currentColumn(group, c);
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

using Turns = std::vector<std::complex<double>>;

// cos(k·angle) + j·sin(k·angle) for k = 0..orders, by repeated turning in double
// precision (drift below 1e-13 over 256 orders).
// `turns` keeps its storage from recording to recording.
void turnsOf(double angle, int orders, Turns& turns) {
    turns.resize(static_cast<std::size_t>(orders + 1));
    const std::complex<double> step = std::polar(1.0, angle);
    turns[0] = 1;
    for (std::size_t k = 1; k < turns.size(); ++k) turns[k] = turns[k - 1] * step;
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

void rmsFromSamples(Context& ctx) {
    HarmonicResult& r = ctx.result;
    const auto& w = ctx.window.columns;
    for (std::size_t c = 0; c < 3; ++c) {
        r.voltageRmsByPhase[c] =
            static_cast<float>(rmsOfColumn(w.row(c), ctx.layout.n) * ctx.scales.voltage);
        for (int f = 0; f < ctx.layout.feeders; ++f) {
            const auto uf = static_cast<std::size_t>(f);
            const auto column = static_cast<std::size_t>(Layout::currentColumn(f, 0)) + c;
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

// True when a feeder's current has a fundamental above the recorder's resolution.
bool feederCarriesCurrent(const Context& ctx, int f) {
    if (!(ctx.result.currentRms(static_cast<std::size_t>(f), 1) > 0)) return false;
    for (int c = 0; c <= ctx.layout.lastColumn; ++c) {
        const auto column = static_cast<std::size_t>(Layout::currentColumn(f, c));
        const double amplitude =
            std::hypot(ctx.result.fundamentalCos[column], ctx.result.fundamentalSin[column]);
        if (amplitude >= kMinFundamentalCounts) return true;
    }
    return false;
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

// A float is an infinity or a NaN exactly when its exponent bits are all ones. The test
// is or-ed over the values without a branch per value, so it runs on whole vectors.
bool finite(std::span<const float> values) {
    constexpr std::uint32_t kExponent = 0x7f800000u;
    std::uint32_t notFinite = 0;
    for (const float x : values)
        notFinite |=
            static_cast<std::uint32_t>((std::bit_cast<std::uint32_t>(x) & kExponent) == kExponent);
    return notFinite == 0;
}

bool finite(const Array2<float>& a) { return finite(a.values()); }
bool finite(const Array3<float>& a) { return finite(a.values()); }

void checkFinite(const HarmonicResult& r) {
    const bool ok = finite(r.voltageHarmonicRe) && finite(r.voltageHarmonicIm) &&
                    finite(r.currentHarmonicRe) && finite(r.currentHarmonicIm) &&
                    finite(r.voltageRms) && finite(r.currentRms) && finite(r.activePower) &&
                    finite(r.reactivePower) && finite(r.phaseAngleDeg) &&
                    finite(r.voltageHarmonicPercent) && finite(r.currentHarmonicPercent) &&
                    finite(r.powerHarmonicPercent) && finite(r.currentRmsByPhase) &&
                    finite(r.currentDistortionSum) && std::isfinite(r.voltageDistortionSum) &&
                    finite(r.voltageRmsByPhase);
    if (!ok) throw AnalysisError("the analysis gave a value out of the number range");
}

// A recording read only around its trigger point must hold every row the search read and
// every row the window interpolates from.
void requireRowsLoaded(const Recording& recording, const ConversionSettings& settings,
                       const AnalysisPeriod& period) {
    const SampleTable& samples = recording.samples;
    const std::int64_t n = samples.totalSamples();
    const RowRange loaded = samples.loadedRows();
    if (loaded.first <= 0 && loaded.end >= n) return;
    if (analysisReadsWholeRecord(settings))
        throw RowsNotLoaded("the interpolation mode reads the whole record");
    // Row N is zero in every table; rows beyond read as zero in the search.
    const auto clip = [n](RowRange r) {
        return RowRange{std::max<std::int64_t>(r.first, 0), std::min(r.end, n)};
    };
    const RowRange window{static_cast<std::int64_t>(std::floor(period.windowStart)),
                          static_cast<std::int64_t>(std::floor(period.windowEnd)) + 2};
    if (!loaded.contains(clip(period.rowsSearched)) || !loaded.contains(clip(window)))
        throw RowsNotLoaded("the period search or the window reaches beyond the rows read");
}

}  // namespace

FftPlan planFor(const ConversionSettings& settings) {
    const int n = settings.sampleCount();
    const int log2n = settings.sampleCountLog2();
    if (log2n < 2 || log2n > 16 || n != (1 << log2n)) {
        throw std::invalid_argument("sample count " + std::to_string(n) + " is not 2^" +
                                    std::to_string(log2n));
    }
    return FftPlan::make(n, log2n);
}

Analyzer::Analyzer(const ConversionSettings& settings) : Analyzer(settings, planFor(settings)) {}

Analyzer::Analyzer(const ConversionSettings& settings, const FftPlan& plan, ResultDetail detail)
    : m_settings(settings), m_plan(plan), m_detail(detail), m_work(plan.n) {
    if (plan.n != settings.sampleCount())
        throw std::invalid_argument("a plan of " + std::to_string(plan.n) +
                                    " points for a transform of " +
                                    std::to_string(settings.sampleCount()));
    m_re.resize(static_cast<std::size_t>(plan.n + 1));
    m_im.resize(static_cast<std::size_t>(plan.n + 1));
}

AnalysisPeriod Analyzer::analyze(const Recording& recording, WindowWaveforms& window,
                                 HarmonicResult& result) {
    const AnalysisPeriod period = findAnalysisPeriod(recording, m_settings);
    requireRowsLoaded(recording, m_settings, period);
    resampleWindow(recording, m_settings, period, window);
    quantities(recording.header, window, result);
    return period;
}

void Analyzer::computeQuantities(const RecorderFileHeader& header, WindowWaveforms& window,
                                 HarmonicResult& result) {
    checkWindowValues(window);
    quantities(header, window, result);
}

void Analyzer::quantities(const RecorderFileHeader& header, WindowWaveforms& window,
                          HarmonicResult& result) {
    const Layout layout = layoutOf(m_settings, m_plan.n);
    checkWindowShape(window, layout);
    Context ctx{m_settings,     m_plan,
                layout,         scalesOf(header, m_settings, layout),
                window,         result,
                m_re,           m_im,
                m_work,         m_detail == ResultDetail::Full,
                m_voltageTurns, m_backTurns,
                m_powerSums,    m_spectra};
    checkLineVoltage(window, m_plan);
    deriveWaveforms(window, m_settings, layout);
    prepareResult(result, layout);
    extractVoltages(ctx);
    extractCurrents(ctx);
    projectUntransformedColumns(ctx);
    rmsFromSamples(ctx);
    magnitudes(ctx);
    powerAndReferences(ctx);
    voltageDistortion(ctx);
    for (int f = 0; f < layout.feeders; ++f) currentDistortion(ctx, f);
    checkFinite(result);
}

}  // namespace waveharm
