#include <algorithm>
#include <cstddef>

#include "engine/harmonic_result.h"

namespace waveharm {

namespace {

// Room for the per-phase current RMS of every feeder the settings can hold.
constexpr std::size_t kRmsFeederSlots = kMaxFeeders;

template <class T>
void reshape(Array2<T>& a, std::size_t rows, std::size_t cols) {
    if (a.rows() == rows && a.cols() == cols) {
        a.fill(T{});
    } else {
        a = Array2<T>(rows, cols);
    }
}

template <class T>
void reshape(Array3<T>& a, std::size_t n0, std::size_t n1, std::size_t n2) {
    if (a.size0() == n0 && a.size1() == n1 && a.size2() == n2) {
        a.fill(T{});
    } else {
        a = Array3<T>(n0, n1, n2);
    }
}

template <class T>
void reshape(std::vector<T>& v, std::size_t size) {
    v.assign(size, T{});
}

// What one recording puts into the interval: added (summing) or set (replacing).
enum class Fold { Add, Set };

void fold(float& target, float value, Fold how) {
    target = how == Fold::Add ? target + value : value;
}

void foldOrder(const HarmonicResult& r, IntervalAggregate& in, std::size_t k, Fold how) {
    fold(in.voltageRms[k], r.voltageRms[k], how);
    fold(in.voltageX[k], r.voltageRefX[k], how);
    fold(in.voltageY[k], r.voltageRefY[k], how);
    // One first component per order for all feeders, read with the first feeder's
    // second component: it follows the first feeder so the angle is that feeder's.
    fold(in.currentRefX[k], r.currentRefX(0, k), how);
    for (std::size_t f = 0; f < static_cast<std::size_t>(in.feeders); ++f) {
        fold(in.currentRms(f, k), r.currentRms(f, k), how);
        fold(in.activePower(f, k), r.activePower(f, k), how);
        fold(in.reactivePower(f, k), r.reactivePower(f, k), how);
        fold(in.currentRefY(f, k), r.currentRefY(f, k), how);
    }
    // The phase-referenced phasors of each phase (columns 3–5 of the recording), and the
    // recording's own phasors (columns 0–2), which always come from this recording so
    // that a record's phase angles and magnitudes describe the same recording.
    for (std::size_t c = 0; c < 3; ++c) {
        in.anglePhasorVoltageRe(c, k) = r.voltageHarmonicRe(c, k);
        in.anglePhasorVoltageIm(c, k) = r.voltageHarmonicIm(c, k);
        in.anglePhasorCurrentRe(c, k) = r.currentHarmonicRe(0, c, k);
        in.anglePhasorCurrentIm(c, k) = r.currentHarmonicIm(0, c, k);
        fold(in.voltagePhasorRe(c, k), r.voltageHarmonicRe(c + 3, k), how);
        fold(in.voltagePhasorIm(c, k), r.voltageHarmonicIm(c + 3, k), how);
        for (std::size_t f = 0; f < static_cast<std::size_t>(in.feeders); ++f) {
            fold(in.currentPhasorRe(f, c, k), r.currentHarmonicRe(f, c + 3, k), how);
            fold(in.currentPhasorIm(f, c, k), r.currentHarmonicIm(f, c + 3, k), how);
        }
    }
}

void foldPhases(const HarmonicResult& r, IntervalAggregate& in, Fold how) {
    for (std::size_t c = 0; c < 3; ++c) {
        fold(in.voltageRmsByPhase[c], r.voltageRmsByPhase[c], how);
        for (std::size_t f = 0; f < static_cast<std::size_t>(in.feeders); ++f) {
            fold(in.currentRmsByPhase(c, f), r.currentRmsByPhase(c, f), how);
        }
    }
}

// Interval average: the stored orders are summed and the recordings counted.
void sumInto(const HarmonicResult& r, const ConversionSettings& settings, IntervalAggregate& in) {
    const bool allOrders = settings.harmonicOption() == HarmonicOption::HighOrder256;
    const int last = std::min(allOrders ? 256 : 49, in.orders);
    const int step = allOrders ? 1 : 2;
    for (int k = 1; k <= last; k += step) foldOrder(r, in, static_cast<std::size_t>(k), Fold::Add);
    foldPhases(r, in, Fold::Add);
    in.intervalState = static_cast<std::int16_t>(in.intervalState + 1);
}

// The interval holds exactly this recording.
void replaceWith(const HarmonicResult& r, IntervalAggregate& in) {
    for (int k = 1; k <= in.orders; ++k) foldOrder(r, in, static_cast<std::size_t>(k), Fold::Set);
    foldPhases(r, in, Fold::Set);
    in.intervalState = 1;
}

// Keeps the recording with the largest distortion of the interval. An empty interval takes
// the recording whatever its distortion, so every closed interval holds one recording.
void keepLargest(const HarmonicResult& r, float distortion, IntervalAggregate& in) {
    if (in.intervalState > 0 && !(distortion > in.comparisonValue)) return;
    replaceWith(r, in);
    in.comparisonValue = distortion;
}

}  // namespace

void HarmonicResult::allocate(int maxOrder, int feederCount) {
    orders = maxOrder;
    feeders = feederCount;
    const auto h = static_cast<std::size_t>(maxOrder + 1);
    const auto f = static_cast<std::size_t>(feederCount);
    reshape(voltageHarmonicRe, 6, h);
    reshape(voltageHarmonicIm, 6, h);
    reshape(currentHarmonicRe, f, 6, h);
    reshape(currentHarmonicIm, f, 6, h);
    reshape(voltageHarmonicMagnitude, 3, h);
    reshape(currentHarmonicMagnitude, f, 3, h);
    voltageRmsByPhase.fill(0);
    reshape(currentRmsByPhase, 3, std::max(f, kRmsFeederSlots));
    voltageAngle.fill(0);
    reshape(voltageRms, h);
    reshape(currentRms, f, h);
    reshape(activePower, f, h);
    reshape(reactivePower, f, h);
    reshape(phaseAngleDeg, f, h);
    reshape(currentRefX, f, h);
    reshape(currentRefY, f, h);
    reshape(currentRefAngleDeg, f, h);
    reshape(voltageRefX, h);
    reshape(voltageRefY, h);
    reshape(voltageAngleDeg, h);
    reshape(voltageHarmonicPercent, h);
    reshape(currentHarmonicPercent, f, h);
    reshape(powerHarmonicPercent, f, h);
    voltageDistortionSum = 0;
    voltageDistortionByPhase.fill(0);
    reshape(currentDistortionSum, f);
    reshape(currentDistortionByPhase, 3, f);
    reshape(harmonicPowerAngle, f);
    fundamentalRawRe.fill(0);
    fundamentalRawIm.fill(0);
    reshape(fundamentalCos, static_cast<std::size_t>(windowColumnCount(feederCount)));
    reshape(fundamentalSin, static_cast<std::size_t>(windowColumnCount(feederCount)));
}

std::array<std::span<const float>, 29> HarmonicResult::floatValues() const {
    return {voltageHarmonicRe.values(),
            voltageHarmonicIm.values(),
            currentHarmonicRe.values(),
            currentHarmonicIm.values(),
            voltageHarmonicMagnitude.values(),
            currentHarmonicMagnitude.values(),
            voltageRmsByPhase,
            currentRmsByPhase.values(),
            voltageAngle,
            voltageRms,
            currentRms.values(),
            activePower.values(),
            reactivePower.values(),
            phaseAngleDeg.values(),
            currentRefX.values(),
            currentRefY.values(),
            voltageRefX,
            voltageRefY,
            voltageHarmonicPercent,
            currentHarmonicPercent.values(),
            powerHarmonicPercent.values(),
            std::span<const float>(&voltageDistortionSum, 1),
            voltageDistortionByPhase,
            currentDistortionSum,
            currentDistortionByPhase.values(),
            fundamentalRawRe,
            fundamentalRawIm,
            fundamentalCos,
            fundamentalSin};
}

void IntervalAggregate::allocate(int maxOrder, int feederCount) {
    orders = maxOrder;
    feeders = feederCount;
    const auto h = static_cast<std::size_t>(maxOrder + 1);
    const auto f = static_cast<std::size_t>(feederCount);
    reshape(voltageRms, h);
    reshape(voltageX, h);
    reshape(voltageY, h);
    reshape(currentRms, f, h);
    reshape(activePower, f, h);
    reshape(reactivePower, f, h);
    reshape(currentRefX, h);
    reshape(currentRefY, f, h);
    voltageRmsByPhase.fill(0);
    reshape(currentRmsByPhase, 3, std::max(f, kRmsFeederSlots));
    reshape(voltagePhasorRe, 3, h);
    reshape(voltagePhasorIm, 3, h);
    reshape(currentPhasorRe, f, 3, h);
    reshape(currentPhasorIm, f, 3, h);
    for (Array2<float>* a : {&anglePhasorVoltageRe, &anglePhasorVoltageIm, &anglePhasorCurrentRe,
                             &anglePhasorCurrentIm})
        reshape(*a, 3, h);
    intervalState = 0;
    comparisonValue = 0;
}

void IntervalAggregate::clear() { allocate(orders, feeders); }

void aggregateInterval(const HarmonicResult& result, const ConversionSettings& settings,
                       IntervalAggregate& interval) {
    if (interval.orders != result.orders || interval.feeders != result.feeders) {
        interval.allocate(result.orders, result.feeders);
    }
    switch (settings.saveMode) {
        case SaveMode::IntervalAverage:
            sumInto(result, settings, interval);
            break;
        case SaveMode::LatestWindow:
            replaceWith(result, interval);
            break;
        case SaveMode::VoltageThdMax:
            keepLargest(result, result.voltageDistortionSum, interval);
            break;
        case SaveMode::CurrentThdMax:
            keepLargest(result,
                        result.currentDistortionSum.empty() ? 0.0f : result.currentDistortionSum[0],
                        interval);
            break;
    }
}

}  // namespace waveharm
