#include "display/status_texts.h"

#include "display/number_format.h"

namespace waveharm {

PowerFormat choosePowerFormat(double activePower, double reactivePower) {
    if (activePower > 1000000.0 || reactivePower > 1000000.0) return {"#0.000M", 1000000.0};
    if (activePower > 1000.0 || reactivePower > 1000.0) return {"#,##0.000k", 1000.0};
    return {"#,##0.0", 1.0};
}

namespace {

// "50.00Hz", with "固定" before the unit for a fixed period.
std::string hertzText(const AnalysisPeriod& period) {
    return formatNumber(period.frequencyHz, "##.00") + (period.fixed ? "固定" : "") + "Hz";
}

}  // namespace

std::string frequencyText(const AnalysisPeriod& period) {
    return "基本周波数 " + hertzText(period);
}

std::string statusLineText(const HarmonicResult& result, int feeder, const AnalysisPeriod& period) {
    const double v1 = result.voltageRms[1];
    const double i1 = result.currentRms(feeder, 1);
    const double p1 = result.activePower(feeder, 1);
    const double q1 = result.reactivePower(feeder, 1);
    const double theta1 = result.phaseAngleDeg(feeder, 1);
    // A dead voltage channel is refused by the analysis; the guard keeps the line
    // readable should one get through.
    const double thdV = v1 != 0 ? result.voltageDistortionSum / v1 : 0.0;
    const double thdI = result.currentDistortionSum[feeder] / (i1 + 0.001);
    const PowerFormat power = choosePowerFormat(p1, q1);

    std::string line = "基本波＝";
    line += formatNumber(v1, "##,##0.0") + "V; ";
    line += formatNumber(i1, "###0.00") + "A; ";
    line += formatNumber(p1 / power.divisor, power.picture) + "W; ";
    line += formatNumber(q1 / power.divisor, power.picture) + "Var; θ=";
    line += formatNumber(theta1, "##0") + "ﾟ; 総合歪率 V= ";
    line += formatNumber(thdV, "##0.0%") + "; ";
    line += formatNumber(thdI, "I= ##0.0% ");
    line += ":周波数=" + hertzText(period);
    return line;
}

}  // namespace waveharm
