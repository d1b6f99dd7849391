#include "exchange/channel_record.h"

#include <cmath>

namespace waveharm {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Length of the UTF-8 sequence that starts at text[i], 0 when it is not well formed
// (overlong forms, surrogates and values beyond U+10FFFF included).
std::size_t utf8SequenceAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8SequenceAt(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

}  // namespace

std::string shownName(std::string_view bytes) {
    std::string shown(bytes);
    // Control characters would break the lines of listings and tables.
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    if (isUtf8(shown)) return shown;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    return shown;
}

RecordTime RecordTime::from(const CivilDateTime& civil, double fraction) {
    RecordTime t;
    t.whole = DateTime::fromCivil(civil);
    t.fraction = fraction;
    t.days = static_cast<std::int64_t>(std::floor(t.whole.serial));
    t.secondOfDay = civil.hour * 3600 + civil.minute * 60 + civil.second;
    return t;
}

double RecordTime::secondsSince(const RecordTime& earlier) const {
    const std::int64_t seconds =
        (days - earlier.days) * kSecondsPerDay + (secondOfDay - earlier.secondOfDay);
    return static_cast<double>(seconds) + (fraction - earlier.fraction);
}

RecordTime RecordTime::plusSeconds(double seconds) const {
    const double shifted = fraction + seconds;
    const double wholeSeconds = std::floor(shifted);
    const std::int64_t total =
        days * kSecondsPerDay + secondOfDay + static_cast<std::int64_t>(wholeSeconds);
    RecordTime t;
    t.fraction = shifted - wholeSeconds;
    t.days =
        total >= 0 ? total / kSecondsPerDay : -((-total + kSecondsPerDay - 1) / kSecondsPerDay);
    t.secondOfDay = static_cast<int>(total - t.days * kSecondsPerDay);
    t.whole = DateTime{static_cast<double>(t.days) +
                       static_cast<double>(t.secondOfDay) / static_cast<double>(kSecondsPerDay)};
    return t;
}

}  // namespace waveharm
