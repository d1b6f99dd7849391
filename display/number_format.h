#pragma once
// Picture-string number formatting for every number the program shows: the status
// line, the results table, the wiring check and the frequency label.

#include <string>
#include <string_view>

namespace waveharm {

/// Formats `value` with a picture string:
/// - "0" a digit that is always shown (leading or trailing zeros are kept);
/// - "#" a digit shown only when significant;
/// - "," anywhere among the integer digits groups the integer part by thousands;
/// - "." the decimal point (the first one; it is shown even when no decimal follows);
/// - "%" multiplies the value by 100 and shows a percent sign where it stands;
/// - "\x" shows x literally, text in double quotes is shown as it is;
/// - every other character (UTF-8 included, e.g. "次", "ﾟ", "V", "k") is literal.
/// Integer digits beyond the placeholders are all shown at the first placeholder.
/// Rounding is to the placeholders after the point, halves away from zero, on the
/// value's 15 significant decimal digits (so 2.675 with "0.00" shows "2.68").
/// A negative value gets a leading "-" in front of the whole text unless it shows as
/// zero. Infinite values show as "Inf"/"-Inf", not-a-number as "NaN".
std::string formatNumber(double value, std::string_view picture);

/// A statistic as its table shows it: four significant digits in plain notation, whole
/// digits never dropped ("6514", "12.35", "0.06296", "0"); empty for a non-finite value.
std::string statisticText(double value);

}  // namespace waveharm
