#include "base/date_time.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace waveharm {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const std::int64_t kEpochDays = daysFromCivil(1899, 12, 30);

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Splits "a<sep>b<sep>c" into unsigned numbers; `digits` receives each part's length.
bool splitNumbers(std::string_view s, char sep, int* values, int* digits, int count) {
    int part = 0;
    int value = 0;
    int len = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == sep) {
            if (len == 0 || part >= count) return false;
            values[part] = value;
            digits[part] = len;
            ++part;
            value = 0;
            len = 0;
        } else if (s[i] >= '0' && s[i] <= '9' && len < 4) {
            value = value * 10 + (s[i] - '0');
            ++len;
        } else {
            return false;
        }
    }
    return part == count;
}

// Recorder dates carry the weekday in Japanese, one character per day from Sunday.
constexpr const char* kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};

}  // namespace

CivilDateTime DateTime::civil() const {
    const auto secs = static_cast<std::int64_t>(std::llround(serial * double(kSecondsPerDay)));
    std::int64_t days = secs / kSecondsPerDay;
    std::int64_t rest = secs % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    CivilDateTime c;
    civilFromDays(days + kEpochDays, c.year, c.month, c.day);
    c.hour = static_cast<int>(rest / 3600);
    c.minute = static_cast<int>(rest / 60 % 60);
    c.second = static_cast<int>(rest % 60);
    return c;
}

DateTime DateTime::fromCivil(const CivilDateTime& c) {
    const std::int64_t days = daysFromCivil(c.year, c.month, c.day) - kEpochDays;
    const double secs = c.hour * 3600.0 + c.minute * 60.0 + c.second;
    return DateTime{double(days) + secs / double(kSecondsPerDay)};
}

std::optional<DateTime> DateTime::fromValidCivil(const CivilDateTime& c) {
    if (!isValidCivil(c)) return std::nullopt;
    return fromCivil(c);
}

bool isValidCivil(const CivilDateTime& c) {
    return c.month >= 1 && c.month <= 12 && c.day >= 1 && c.day <= daysInMonth(c.year, c.month) &&
           c.hour >= 0 && c.hour <= 23 && c.minute >= 0 && c.minute <= 59 && c.second >= 0 &&
           c.second <= 59;
}

int fullYear(int twoDigitYear) { return twoDigitYear + (twoDigitYear < 30 ? 2000 : 1900); }

DateTime DateTime::plusHours(double hours) const { return DateTime{serial + hours / 24.0}; }

std::optional<CivilDateTime> parseDateText(std::string_view text) {
    text = trimBlanks(text);
    for (char sep : {'-', '/', '.'}) {
        int v[3];
        int n[3];
        if (!splitNumbers(text, sep, v, n, 3)) continue;
        if (n[0] != 2 && n[0] != 4) return std::nullopt;
        const CivilDateTime c{n[0] == 2 ? fullYear(v[0]) : v[0], v[1], v[2], 0, 0, 0};
        if (!isValidCivil(c)) return std::nullopt;
        return c;
    }
    return std::nullopt;
}

std::optional<CivilDateTime> parseTimeText(std::string_view text) {
    text = trimBlanks(text);
    int v[3] = {0, 0, 0};
    int n[3];
    if (!splitNumbers(text, ':', v, n, 3)) {
        v[2] = 0;
        if (!splitNumbers(text, ':', v, n, 2)) return std::nullopt;
    }
    CivilDateTime c;
    c.hour = v[0];
    c.minute = v[1];
    c.second = v[2];
    if (!isValidCivil(c)) return std::nullopt;
    return c;
}

std::string formatDateText(DateTime t) {
    const CivilDateTime c = t.civil();
    const std::int64_t days = daysFromCivil(c.year, c.month, c.day);
    const int weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d(", c.year % 100, c.month, c.day);
    return std::string(buf) + kWeekdays[weekday] + ")";
}

std::string formatTimeText(DateTime t) {
    const CivilDateTime c = t.civil();
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", c.hour, c.minute, c.second);
    return buf;
}

std::string formatDateTimeText(DateTime t) {
    const CivilDateTime c = t.civil();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute, c.second);
    return buf;
}

}  // namespace waveharm
