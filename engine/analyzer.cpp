#include "engine/analyzer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/band_limited.h"
#include "engine/quantities.h"
#include "engine/resampling.h"

namespace waveharm {

namespace {

using namespace detail;

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

void checkLineVoltage(const WindowWaveforms& window, const FftPlan& plan) {
    const auto [a, b] = projectFundamental(plan, window.columns.row(0));
    if (std::hypot(a, b) < kMinFundamentalCounts) {
        throw AnalysisError("the R-S line voltage has no fundamental (dead voltage channel)");
    }
}

void prepareResult(HarmonicResult& result, const Layout& layout) {
    result.allocate(layout.orders, layout.feeders);
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

// Every value of the result must be a number before it reaches a record or a screen.
void checkFinite(const HarmonicResult& r) {
    for (const std::span<const float> values : r.floatValues()) {
        if (!finite(values))
            throw AnalysisError("the analysis gave a value out of the number range");
    }
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
