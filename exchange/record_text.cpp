#include "exchange/record_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "base/error.h"
#include "exchange/channel_record.h"

namespace waveharm {

TextLines::TextLines(std::string_view text, std::string file, int firstLine,
                     std::int64_t baseOffset)
    : m_text(text), m_file(std::move(file)), m_line(firstLine - 1), m_baseOffset(baseOffset) {}

std::optional<std::string_view> TextLines::tryNext() {
    if (atEnd()) return std::nullopt;
    const std::size_t begin = m_pos;
    std::size_t end = begin;
    while (end < m_text.size() && m_text[end] != '\n' && m_text[end] != '\r') ++end;
    m_pos = end;
    if (m_pos < m_text.size() && m_text[m_pos] == '\r') ++m_pos;
    if (m_pos < m_text.size() && m_text[m_pos] == '\n') ++m_pos;
    ++m_line;
    m_offset = m_baseOffset + static_cast<std::int64_t>(begin);
    return m_text.substr(begin, end - begin);
}

std::optional<std::string_view> TextLines::peek() const {
    TextLines copy = *this;
    return copy.tryNext();
}

std::string_view TextLines::next(std::string_view what) {
    if (auto line = tryNext()) return *line;
    throw InputError(
        ErrorKind::FileTooShort, m_file, m_baseOffset + std::int64_t(m_text.size()),
        "the file ends after line " + std::to_string(m_line) + ", before " + std::string(what));
}

void TextLines::fail(ErrorKind kind, const std::string& reason) const {
    throw InputError(kind, m_file, m_offset, "line " + std::to_string(m_line) + ": " + reason);
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::optional<double> realNumber(std::string_view text, bool decimalComma) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) return std::nullopt;
    }
    if (text.empty()) return std::nullopt;
    std::string copy;
    if (decimalComma && text.find(',') != std::string_view::npos) {
        if (text.find('.') != std::string_view::npos) return std::nullopt;
        copy.assign(text);
        std::replace(copy.begin(), copy.end(), ',', '.');
        text = copy;
    }
    double value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    // from_chars reads "inf" and "nan" too: a value must be a finite number.
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

FieldLine::FieldLine(const TextLines& lines, std::string_view line, char separator)
    : m_lines(lines) {
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = line.find(separator, begin);
        m_fields.push_back(trimmed(line.substr(begin, comma - begin)));
        if (comma == std::string_view::npos) break;
        begin = comma + 1;
    }
}

std::string_view FieldLine::text(std::size_t i) const {
    return i < m_fields.size() ? m_fields[i] : std::string_view{};
}

void FieldLine::requireFields(std::size_t count, std::string_view what) const {
    if (m_fields.size() >= count) return;
    fail(ErrorKind::InvalidHeaderValue, std::string(what) + " has " +
                                            std::to_string(m_fields.size()) + " fields, not " +
                                            std::to_string(count));
}

namespace {

std::string quoted(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::string shown = shownName(text.substr(0, kShown));
    if (text.size() > kShown) shown += "...";
    return "'" + shown + "'";
}

}  // namespace

double FieldLine::number(std::size_t i, std::string_view what) const {
    if (i >= m_fields.size())
        fail(ErrorKind::InvalidHeaderValue, std::string(what) + " is missing");
    if (const auto v = realNumber(m_fields[i])) return *v;
    fail(ErrorKind::InvalidHeaderValue,
         std::string(what) + " " + quoted(m_fields[i]) + " is not a number");
}

std::int64_t FieldLine::whole(std::size_t i, std::string_view what, std::int64_t lo,
                              std::int64_t hi) const {
    if (i >= m_fields.size())
        fail(ErrorKind::InvalidHeaderValue, std::string(what) + " is missing");
    std::string_view t = m_fields[i];
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || error != std::errc() || end != t.data() + t.size())
        fail(ErrorKind::InvalidHeaderValue,
             std::string(what) + " " + quoted(m_fields[i]) + " is not a whole number");
    if (value < lo || value > hi)
        fail(ErrorKind::InvalidHeaderValue, std::string(what) + " " + std::to_string(value) +
                                                " lies outside " + std::to_string(lo) + ".." +
                                                std::to_string(hi));
    return value;
}

// Digits only, at most `most` of them; nothing otherwise.
std::optional<int> digitsValue(std::string_view t, std::size_t most) {
    if (t.empty() || t.size() > most) return std::nullopt;
    int value = 0;
    for (const char c : t) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool isCalendarDate(const CivilDateTime& c) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (c.month < 1 || c.month > 12 || c.day < 1) return false;
    const bool leap = (c.year % 4 == 0 && c.year % 100 != 0) || c.year % 400 == 0;
    return c.day <= (c.month == 2 && leap ? 29 : kDays[c.month - 1]);
}

// "hh:mm:ss.ffffff" with up to nine digits of the second's fraction.
bool clockTime(std::string_view t, CivilDateTime& c, double& fraction, int& digits) {
    if (t.size() < 8 || t[2] != ':' || t[5] != ':') return false;
    const auto h = digitsValue(t.substr(0, 2), 2);
    const auto m = digitsValue(t.substr(3, 2), 2);
    const auto s = digitsValue(t.substr(6, 2), 2);
    if (!h || !m || !s || *h > 23 || *m > 59 || *s > 59) return false;
    c.hour = *h;
    c.minute = *m;
    c.second = *s;
    fraction = 0;
    digits = 0;
    if (t.size() == 8) return true;
    const std::string_view f = t.substr(9);
    if (t[8] != '.' || f.empty() || f.size() > 9 || !digitsValue(f, 9)) return false;
    double scale = 0.1;
    for (const char d : f) {
        fraction += (d - '0') * scale;
        scale /= 10;
    }
    digits = static_cast<int>(f.size());
    return true;
}

}  // namespace waveharm
