#include "engine/wiring_check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/complex_math.h"
#include "engine/number_format.h"

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

std::string currentLine(const WiringCheckResult& r, const ConversionSettings& s, int f) {
    const double sense = s.currentSenseOhms[f];
    const std::string n = std::to_string(f + 1);
    const double ir = s.ctRatio[f] * r.channelRms[2 * f + 2] / sense;
    const double it = s.ctRatio[f] * r.channelRms[2 * f + 3] / sense;
    return "入力電流,I" + n + "r=" + formatNumber(ir, " ####0.0A") + " ,I" + n +
           "t=" + formatNumber(it, " ####0.0A");
}

}  // namespace

WiringCheckResult runWiringCheck(const Recording& recording, const ConversionSettings& settings,
                                 WindowWaveforms& window) {
    const RecorderFileHeader& h = recording.header;
    if (!(h.samplingRateKHz > 0)) throw AnalysisError("サンプリング周期が読めません");
    if (!(h.countsPerDiv > 0)) throw AnalysisError("データ数(/DIV)が0です");
    const int n = settings.sampleCount();
    const int slots = usedSlotCount(settings);
    const int step = slotStep(settings);
    for (int e = 0; e < slots; e += step) {
        const int slot = sourceSlot(settings, e);
        if (slot < 0 || slot >= recording.samples.channelCount())
            throw AnalysisError("設定のチャンネルがファイルにありません (" + std::to_string(e + 1) +
                                "番目の入力)");
    }

    WiringCheckResult r;
    const AnalysisPeriod period = findCheckPeriod(recording, settings);
    r.t1 = period.windowStart;
    r.t2 = period.windowEnd;
    r.fixedPeriod = period.fixed;
    r.fewSamples = !(h.samplingRateKHz * 1000.0 / 50.0 / 2.0 > 50);
    r.frequencyText = "基本波周波数 " + formatNumber(period.frequencyHz, "##.00") +
                      (period.fixed ? "固定" : "") + "Hz";

    window.columns = Array2<float>(3 * settings.feederCount + 3, n + 1);
    window.samplePositions.assign(n + 1, 0.0f);
    window.peakTable.fill(0);
    resampleWindow(recording, settings, period, window);

    const int size = std::max(slots, 16);
    r.fundamentalSin.assign(size, 0.0f);
    r.fundamentalCos.assign(size, 0.0f);
    r.channelRms.assign(size, 0.0f);
    for (int e = 0; e < slots; e += step) {
        const int column = e + e / 2;
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

    r.voltageLine =
        "入力電圧,Vr-s=" + formatNumber(settings.ptRatio * r.channelRms[0], " ####0.0V") +
        " ,Vt-s=" + formatNumber(settings.ptRatio * r.channelRms[1], " ####0.0V");
    r.text = r.voltageLine + "\n";
    for (int f = 0; f < settings.feederCount; ++f) {
        r.currentLines.push_back(currentLine(r, settings, f));
        r.text += r.currentLines.back() + "\n";
    }
    r.text += kWiringQuestion;
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
