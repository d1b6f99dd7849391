#pragma once
// What the linear interpolation of the analysis window costs at high orders, shown beside
// the interpolation choice so the user sees when the accurate mode matters.

#include <string>

namespace waveharm {

/// Magnitude error in percent (negative: the order reads low) of harmonic `order` of a
/// `fundamentalHz` fundamental recorded at `samplingRateHz` when the period is resampled
/// by straight lines between samples: sinc²(order·f1/fs) − 1. 0 for a rate that is not
/// positive.
double linearInterpolationLossPercent(int order, double fundamentalHz, double samplingRateHz);

/// The screen's text for a recording's rate in kS/s: "49次 −18.3%(50Hz) −25.4%(60Hz)" (one
/// decimal, halves to even); empty when the rate is not positive.
std::string linearLossText(double samplingRateKHz);

}  // namespace waveharm
