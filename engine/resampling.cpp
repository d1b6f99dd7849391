#include "engine/resampling.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/band_limited.h"
#include "engine/linear_interpolation.h"

namespace waveharm {

namespace {

// The used slots through the band-limited kernel, at the positions of the linear mode.
void resampleWindowBandLimited(const Recording& recording, const ConversionSettings& settings,
                               const AnalysisPeriod& period, WindowWaveforms& window) {
    const int n = settings.sampleCount();
    const int step = pairedChannels(settings.measurementType) ? 1 : 2;
    std::vector<double> positions(static_cast<std::size_t>(n + 1));
    const double width = period.windowEnd - period.windowStart;
    for (std::size_t i = 0; i < positions.size(); ++i)
        positions[i] = period.windowStart + i * width / n;
    std::vector<int> entries;
    std::vector<std::span<const std::int16_t>> slots;
    std::vector<std::span<const double>> realSlots;
    std::vector<float*> columns;
    const SampleTable& samples = recording.samples;
    for (int e = 0; e <= 2 * (settings.feederCount - 1) + 3; e += step) {
        entries.push_back(e);
        const int slot = recordedSlot(recording, settings, e);
        if (samples.holdsReals())
            realSlots.push_back(samples.realColumn(slot));
        else
            slots.push_back(samples.column(slot));
        columns.push_back(window.columns.row(static_cast<std::size_t>(windowColumn(e))));
    }
    std::vector<int> peaks(entries.size());
    if (samples.holdsReals())
        resampleBandLimited(realSlots, samples.totalSamples(), positions, columns, peaks);
    else
        resampleBandLimited(slots, samples.totalSamples(), positions, columns, peaks);
    for (std::size_t c = 0; c < entries.size(); ++c)
        window.peakTable[static_cast<std::size_t>(entries[c])] =
            static_cast<std::int16_t>(peaks[c]);
}

}  // namespace

void resampleWindow(const Recording& recording, const ConversionSettings& settings,
                    const AnalysisPeriod& period, WindowWaveforms& window) {
    const int n = settings.sampleCount();
    const int feeders = settings.feederCount;
    if (feeders < 1 || feeders > kMaxChannelFeeders) {
        throw AnalysisError("a recording holds the currents of 1 to 7 feeders, not " +
                            std::to_string(feeders));
    }
    if (!windowFits(recording, period.windowStart, period.windowEnd)) {
        throw AnalysisError("the analysis window lies beyond the recorded samples");
    }
    const auto columns = static_cast<std::size_t>(windowColumnCount(feeders));
    const auto points = static_cast<std::size_t>(n + 1);
    if (window.columns.rows() != columns || window.columns.cols() != points) {
        window.columns = Array2<float>(columns, points);
    }
    window.samplePositions.assign(points, 0.0f);
    window.peakTable.fill(0);

    const double start = period.windowStart;
    const double width = period.windowEnd - period.windowStart;
    const int step = pairedChannels(settings.measurementType) ? 1 : 2;
    // The grid is the same for every channel: the sample below each point and the
    // fraction beyond it, in double (a float position loses the fraction on long records).
    std::vector<std::size_t> below(points);
    std::vector<double> fraction(points);
    // For a power of two n (every transform size) dividing by n is an exact scaling, so
    // multiplying by 1 / n gives the same positions without a division per point. The
    // positions are not negative, so truncation is the floor.
    const bool powerOfTwo = n > 0 && (n & (n - 1)) == 0;
    const double inverse = 1.0 / n;
    for (std::size_t i = 0; i < points; ++i) {
        const double offset = static_cast<double>(i) * width;
        const double p = start + (powerOfTwo ? offset * inverse : offset / n);
        window.samplePositions[i] = static_cast<float>(p);
        const auto row = static_cast<std::int64_t>(p);
        below[i] = static_cast<std::size_t>(row);
        fraction[i] = p - static_cast<double>(row);
    }
    if (settings.interpolation == InterpolationMode::BandLimited &&
        kernelFits(recording.samples, period.windowStart, period.windowEnd)) {
        resampleWindowBandLimited(recording, settings, period, window);
        return;
    }
    // The rows under the window, converted once per column: each row serves about five
    // points of a 1024-point window.
    const std::size_t firstRow = below.front();
    std::vector<detail::RowStep> rows(below.back() + 1 - firstRow);
    for (std::size_t& k : below) k -= firstRow;
    for (int e = 0; e <= 2 * (feeders - 1) + 3; e += step) {
        const int slot = recordedSlot(recording, settings, e);
        if (recording.samples.holdsReals())
            detail::fillRowSteps(recording.samples.realColumn(slot).data() + firstRow, rows.size(),
                                 rows.data());
        else
            detail::fillRowSteps(recording.samples.column(slot).data() + firstRow, rows.size(),
                                 rows.data());
        float* column = window.columns.row(static_cast<std::size_t>(windowColumn(e)));
        // The peak is the largest magnitude rounded to a count (rounding is monotonic, so
        // rounding once at the end gives what rounding every new maximum would).
        const double largest =
            detail::interpolateColumn(rows.data(), below.data(), fraction.data(), points, column);
        const int peak = std::min(32767, static_cast<int>(std::nearbyint(largest)));
        window.peakTable[static_cast<std::size_t>(e)] = static_cast<std::int16_t>(peak);
    }
}

}  // namespace waveharm
