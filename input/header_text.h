#pragma once
// The text rules of recorder headers: numbers written as decimal text, input
// ranges with their unit, the time axis and the rates derived from it.

#include <string>
#include <string_view>

namespace waveharm {

/// The leading number of a header text: leading blanks skipped, then digits with an
/// optional sign and decimal point up to the first other character; 0 when there is
/// no number.
double leadingNumber(std::string_view text);

/// Physical units per division of a range text: its leading number divided by 1000
/// when the text contains "m", otherwise by 4 when it contains "A", otherwise as is
/// ("500mV" → 0.5, "50A" → 12.5, "20V" → 20).
double rangePerDivFromText(std::string_view text);

/// Time-axis units per second of a `.MEM` time axis: "ms" 1000, "us" 1e6, "min"
/// 1/60, otherwise (seconds) 1.
double memUnitsPerSecond(std::string_view timeAxisText);

/// The same for the 8840 layout: "min" 1/60, otherwise "m" 1000, "u" 1e6, else 1.
double units8840PerSecond(std::string_view timeAxisText);

/// Sampling rate in kilosamples per second, rounded to 0.1 sample per second, from
/// the points per division and the time axis (only its first three characters carry
/// the number). 0 when the time axis has no number.
double samplingRateKHzFor(double pointsPerDiv, std::string_view timeAxisText,
                          double unitsPerSecond);

/// A number as a short decimal text without trailing zeros ("20", "2.5").
std::string numberText(double value);

}  // namespace waveharm
