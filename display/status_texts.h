#pragma once
// The analysis window's status texts of one analysed recording: the frequency label
// and the "基本波＝…" status line with its power format.

#include <string>

#include "engine/harmonic_result.h"
#include "engine/period.h"

namespace waveharm {

/// How power is shown in the status line: the picture and the divisor of the value.
struct PowerFormat {
    std::string picture;
    double divisor = 1;
};

/// Watts above 1,000,000 (active or reactive) are shown in M, above 1000 in k, else
/// plain. Signed comparisons: large negative powers keep the plain format.
PowerFormat choosePowerFormat(double activePower, double reactivePower);

/// "基本周波数 " + frequency + "固定" for a fixed period + "Hz".
std::string frequencyText(const AnalysisPeriod& period);

/// The status line of the analysis window for `feeder` (0-based): fundamental voltage,
/// current, power, reactive power, angle, total distortion of voltage and current, and
/// the frequency. A zero fundamental current shows a current distortion of 0.
std::string statusLineText(const HarmonicResult& result, int feeder, const AnalysisPeriod& period);

}  // namespace waveharm
