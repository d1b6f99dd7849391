#include "input/header_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace waveharm {

double leadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t first = i;
    bool point = false;
    bool digits = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return 0.0;
    // Digits with at most one point, read the same whatever the program's locale says
    // a decimal point is, and rounded correctly like strtod.
    double value = 0.0;
    const auto read = std::from_chars(text.data() + first, text.data() + i, value);
    if (read.ec != std::errc{}) {
        // Out of the double range: strtod's infinity or underflowed value.
        value = std::strtod(std::string(text.substr(first, i - first)).c_str(), nullptr);
    }
    return negative ? -value : value;
}

double rangePerDivFromText(std::string_view text) {
    const double value = leadingNumber(text);
    if (text.find('m') != std::string_view::npos) return value / 1000.0;
    if (text.find('A') != std::string_view::npos) return value / 4.0;
    return value;
}

double memUnitsPerSecond(std::string_view t) {
    if (t.find("ms") != std::string_view::npos) return 1000.0;
    if (t.find("us") != std::string_view::npos) return 1e6;
    if (t.find("min") != std::string_view::npos) return 1.0 / 60.0;
    return 1.0;
}

double units8840PerSecond(std::string_view t) {
    if (t.find("min") != std::string_view::npos) return 1.0 / 60.0;
    if (t.find('m') != std::string_view::npos) return 1000.0;
    if (t.find('u') != std::string_view::npos) return 1e6;
    return 1.0;
}

double samplingRateKHzFor(double pointsPerDiv, std::string_view timeAxisText,
                          double unitsPerSecond) {
    const double perDiv = leadingNumber(timeAxisText.substr(0, 3));
    if (perDiv == 0.0) return 0.0;
    return std::floor(pointsPerDiv * (1.0 / perDiv) * unitsPerSecond * 10.0 + 0.5) / 10000.0;
}

std::string numberText(double value) {
    // Whole numbers below ten million print as "%.7g" prints them, without the
    // formatter (a header holds a dozen of them: channel numbers, lengths).
    if (value == std::floor(value) && std::fabs(value) < 1e7 &&
        !(value == 0 && std::signbit(value)))
        return std::to_string(static_cast<long long>(value));
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.7g", value);
    return buf;
}

}  // namespace waveharm
