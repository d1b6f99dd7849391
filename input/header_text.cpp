#include "input/header_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace waveharm {

double leadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
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
        number += c;
    }
    if (!digits) return 0.0;
    return std::strtod(number.c_str(), nullptr);
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
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.7g", value);
    return buf;
}

}  // namespace waveharm
