#include "engine/wiring_check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "engine/complex_math.h"
#include "engine/period.h"
#include "engine/resampling.h"

namespace waveharm {
namespace {

int slotStep(const ConversionSettings& s) { return pairedChannels(s.measurementType) ? 1 : 2; }

int usedSlotCount(const ConversionSettings& s) { return 2 * s.feederCount + 2; }

bool drawsThreePhase(MeasurementType type) {
    return type == MeasurementType::ThreePhase2M || type == MeasurementType::ThreePhase3M;
}

// The wiring check always measures the period by zero crossings, whatever the run's sync
// mode, and with the run's very search, so that it shows the window the run will analyse.
AnalysisPeriod findCheckPeriod(const Recording& rec, const ConversionSettings& s) {
    ConversionSettings zeroCross = s;
    zeroCross.syncMode = SyncMode::ZeroCross;
    return findAnalysisPeriod(rec, zeroCross);
}

std::string faultReason(WiringFault fault, int input) {
    switch (fault) {
        case WiringFault::NoSamplingRate:
            return "the sampling rate of the recording cannot be read";
        case WiringFault::NoCountsPerDivision:
            return "counts per division of the recording is 0";
        case WiringFault::MissingChannel:
            return "input " + std::to_string(input) +
                   " names a channel the recording does not have";
    }
    return "the recording cannot be checked";
}

}  // namespace

WiringCheckError::WiringCheckError(WiringFault fault, int input)
    : AnalysisError(faultReason(fault, input)), m_fault(fault), m_input(input) {}

WiringCheckResult runWiringCheck(const Recording& recording, const ConversionSettings& settings,
                                 WindowWaveforms& window) {
    const RecorderFileHeader& h = recording.header;
    if (!(h.samplingRateKHz > 0)) throw WiringCheckError(WiringFault::NoSamplingRate);
    if (!(h.countsPerDiv > 0)) throw WiringCheckError(WiringFault::NoCountsPerDivision);
    const int n = settings.sampleCount();
    const int slots = usedSlotCount(settings);
    const int step = slotStep(settings);
    for (int e = 0; e < slots; e += step) {
        const int slot = sourceSlot(settings, e);
        if (slot < 0 || slot >= recording.samples.channelCount())
            throw WiringCheckError(WiringFault::MissingChannel, e + 1);
    }

    WiringCheckResult r;
    const AnalysisPeriod period = findCheckPeriod(recording, settings);
    r.t1 = period.windowStart;
    r.t2 = period.windowEnd;
    r.fixedPeriod = period.fixed;
    r.fewSamples = !(h.samplingRateKHz * 1000.0 / 50.0 / 2.0 > 50);
    r.frequencyHz = period.frequencyHz;

    window.columns = Array2<float>(windowColumnCount(settings.feederCount), n + 1);
    window.samplePositions.assign(n + 1, 0.0f);
    window.peakTable.fill(0);
    resampleWindow(recording, settings, period, window);

    const int size = std::max(slots, 16);
    r.fundamentalSin.assign(size, 0.0f);
    r.fundamentalCos.assign(size, 0.0f);
    r.channelRms.assign(size, 0.0f);
    for (int e = 0; e < slots; e += step) {
        const int column = windowColumn(e);
        const float* w = window.columns.row(column);
        double squares = 0, sinSum = 0, cosSum = 0;
        for (int k = 0; k < n; ++k) {
            const double angle = static_cast<double>(kTwoPi) * k / n;
            squares += static_cast<double>(w[k]) * w[k];
            sinSum += w[k] * std::sin(angle);
            cosSum += w[k] * std::cos(angle);
        }
        const int slot = sourceSlot(settings, e);
        const double range = slot < kRangeSlotCount ? h.rangePerDiv[slot] : 0.0;
        r.channelRms[e] = static_cast<float>(std::sqrt(squares / n) * range / h.countsPerDiv);
        r.fundamentalSin[e] = static_cast<float>(sinSum);
        r.fundamentalCos[e] = static_cast<float>(cosSum);
    }
    r.rotation = diagramRotation(settings.measurementType, r.fundamentalSin, r.fundamentalCos);

    r.lineVoltages = {settings.ptRatio * r.channelRms[0], settings.ptRatio * r.channelRms[1]};
    for (std::size_t f = 0; f < static_cast<std::size_t>(settings.feederCount); ++f) {
        const double sense = settings.currentSenseOhms[f];
        const float ct = settings.ctRatio[f];
        r.feederCurrents.push_back(
            {ct * r.channelRms[2 * f + 2] / sense, ct * r.channelRms[2 * f + 3] / sense});
    }
    return r;
}

float diagramRotation(MeasurementType type, const std::vector<float>& fundamentalSin,
                      const std::vector<float>& fundamentalCos) {
    if (!drawsThreePhase(type) || fundamentalSin.size() < 2 || fundamentalCos.size() < 2)
        return 0.0f;
    const auto cross =
        static_cast<float>(static_cast<double>(fundamentalCos[1]) * fundamentalSin[0] -
                           static_cast<double>(fundamentalCos[0]) * fundamentalSin[1]);
    return cross >= 0 ? 1.05f : 2.09f;
}

}  // namespace waveharm
