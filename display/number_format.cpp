#include "display/number_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace waveharm {
namespace {

enum class TokenKind { Required, Optional, Point, Literal };

struct Token {
    TokenKind kind;
    std::string text;  // literal text (also "%" and any later ".")
};

struct Picture {
    std::vector<Token> tokens;
    int integerPlaces = 0;  // digit placeholders before the point
    int minIntegerDigits = 0;
    int fractionPlaces = 0;  // digit placeholders after the point
    int minFractionDigits = 0;
    int percentCount = 0;
    bool grouping = false;
    bool hasPoint = false;
};

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the UTF-8 sequence starting at `i` (1 for ASCII and for stray bytes).
std::size_t sequenceLength(std::string_view s, std::size_t i) {
    std::size_t n = 1;
    while (i + n < s.size() && isContinuationByte(s[i + n])) ++n;
    return n;
}

void addLiteral(Picture& p, std::string_view text) {
    if (!p.tokens.empty() && p.tokens.back().kind == TokenKind::Literal) {
        p.tokens.back().text += text;
        return;
    }
    p.tokens.push_back({TokenKind::Literal, std::string(text)});
}

Picture parsePicture(std::string_view s) {
    Picture p;
    bool seenRequiredInInteger = false;
    int lastRequiredInFraction = 0;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '0' || c == '#') {
            const bool required = c == '0';
            p.tokens.push_back({required ? TokenKind::Required : TokenKind::Optional, {}});
            if (!p.hasPoint) {
                ++p.integerPlaces;
                seenRequiredInInteger = seenRequiredInInteger || required;
                if (seenRequiredInInteger) ++p.minIntegerDigits;
            } else {
                ++p.fractionPlaces;
                if (required) lastRequiredInFraction = p.fractionPlaces;
            }
            ++i;
        } else if (c == '.' && !p.hasPoint) {
            p.hasPoint = true;
            p.tokens.push_back({TokenKind::Point, {}});
            ++i;
        } else if (c == ',') {
            // A comma among the integer digits asks for thousands groups; it is never
            // shown where it stands.
            if (!p.hasPoint) p.grouping = true;
            ++i;
        } else if (c == '%') {
            ++p.percentCount;
            addLiteral(p, "%");
            ++i;
        } else if (c == '\\' && i + 1 < s.size()) {
            const std::size_t n = sequenceLength(s, i + 1);
            addLiteral(p, s.substr(i + 1, n));
            i += 1 + n;
        } else if (c == '"') {
            const std::size_t close = s.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? s.size() : close;
            addLiteral(p, s.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? s.size() : close + 1;
        } else {
            const std::size_t n = sequenceLength(s, i);
            addLiteral(p, s.substr(i, n));
            i += n;
        }
    }
    p.minFractionDigits = lastRequiredInFraction;
    return p;
}

struct DecimalDigits {
    std::string integer;   // without leading zeros; empty for 0
    std::string fraction;  // exactly the requested number of places
    bool isZero = true;
};

// |value| rounded to `places` decimals, halves away from zero, working on the
// value's 15 significant digits as the display runtime does.
DecimalDigits roundToPlaces(double magnitude, int places) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", magnitude);
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits += *p;
    const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;

    int pointPos = exponent + 1;  // digits before the decimal point
    if (pointPos <= 0) {
        digits.insert(0, static_cast<std::size_t>(1 - pointPos), '0');
        pointPos = 1;
    }
    if (static_cast<int>(digits.size()) < pointPos) digits.resize(pointPos, '0');

    const std::size_t keep = static_cast<std::size_t>(pointPos + places);
    if (digits.size() > keep) {
        const bool roundUp = digits[keep] >= '5';
        digits.resize(keep);
        if (roundUp) {
            int i = static_cast<int>(keep) - 1;
            for (; i >= 0 && digits[i] == '9'; --i) digits[i] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                digits.insert(digits.begin(), '1');
                ++pointPos;
            }
        }
    } else {
        digits.resize(keep, '0');
    }

    DecimalDigits d;
    d.fraction = digits.substr(pointPos);
    const std::size_t firstNonZero = digits.find_first_not_of('0');
    d.isZero = firstNonZero == std::string::npos;
    std::string integer = digits.substr(0, pointPos);
    const std::size_t lead = integer.find_first_not_of('0');
    d.integer = lead == std::string::npos ? std::string() : integer.substr(lead);
    return d;
}

// Emits integer digits for the integer placeholder number `k` (0-based from the left)
// of `places`: the first one also takes every digit beyond the placeholders.
void emitIntegerDigits(std::string& out, const std::string& digits, int k, int places,
                       bool grouping) {
    const int len = static_cast<int>(digits.size());
    const int end = len - places + k + 1;
    const int begin = k == 0 ? 0 : end - 1;
    for (int i = std::max(begin, 0); i < end; ++i) {
        out += digits[i];
        const int remaining = len - 1 - i;
        if (grouping && remaining > 0 && remaining % 3 == 0) out += ',';
    }
}

std::string generalText(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return buf;
}

}  // namespace

std::string formatNumber(double value, std::string_view pictureText) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
    if (pictureText.empty()) return generalText(value);

    const Picture picture = parsePicture(pictureText);
    double scaled = value;
    for (int i = 0; i < picture.percentCount; ++i) scaled *= 100.0;
    DecimalDigits d = roundToPlaces(std::fabs(scaled), picture.fractionPlaces);

    std::string integer = d.integer;
    if (static_cast<int>(integer.size()) < picture.minIntegerDigits)
        integer.insert(0, picture.minIntegerDigits - integer.size(), '0');
    std::string fraction = d.fraction;
    while (static_cast<int>(fraction.size()) > picture.minFractionDigits && fraction.back() == '0')
        fraction.pop_back();

    std::string out;
    if (scaled < 0 && !d.isZero) out += '-';
    int integerIndex = 0;
    int fractionIndex = 0;
    bool integerShown = false;
    auto showIntegerWithoutPlaceholders = [&] {
        // A picture with no integer placeholders still shows a non-zero integer part.
        if (picture.integerPlaces == 0 && !integerShown) {
            emitIntegerDigits(out, integer, 0, 1, picture.grouping);
            integerShown = true;
        }
    };
    for (const Token& t : picture.tokens) {
        switch (t.kind) {
            case TokenKind::Required:
            case TokenKind::Optional:
                if (integerIndex < picture.integerPlaces) {
                    emitIntegerDigits(out, integer, integerIndex++, picture.integerPlaces,
                                      picture.grouping);
                } else {
                    showIntegerWithoutPlaceholders();
                    if (fractionIndex < static_cast<int>(fraction.size()))
                        out += fraction[fractionIndex];
                    ++fractionIndex;
                }
                break;
            case TokenKind::Point:
                showIntegerWithoutPlaceholders();
                out += '.';
                break;
            case TokenKind::Literal:
                out += t.text;
                break;
        }
    }
    return out;
}

}  // namespace waveharm

namespace waveharm {

std::string statisticText(double value) {
    if (!std::isfinite(value)) return {};
    if (value == 0) return "0";
    const int wholeDigits = static_cast<int>(std::floor(std::log10(std::abs(value)))) + 1;
    const int decimals = std::clamp(4 - wholeDigits, 0, 9);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

}  // namespace waveharm
