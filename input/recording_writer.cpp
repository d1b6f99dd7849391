// Byte-exact recorder files from synthetic channel signals: the `.MEM` frame
// families, the 886x tagged sections and the 8840 layout.

#include "input/recording_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>

#include "base/utf8_path.h"
#include "input/header_text.h"

namespace waveharm {

namespace {

using Bytes = std::vector<std::byte>;

constexpr double kPi = 3.14159265358979323846;

int familyOfModel(const std::string& model) {
    if (model == "8840") return 40;
    if (model.rfind("886", 0) == 0) return 86;
    if (model == "MR8880") return 80;
    if (model == "8847") return 47;
    if (model == "8841" || model == "8835" || model == "8807") return 41;
    throw std::invalid_argument("unknown recorder model \"" + model + "\"");
}

// Values each layout can carry into the 16-bit sample table.
std::pair<int, int> valueRange(int family) {
    switch (family) {
        case 80:
            return {-8192, 32767};
        case 86:
            return {-2048, 2047};
        case 40:
            return {-2048, 32767};
        default:
            return {-32768, 32767};
    }
}

void put(Bytes& out, std::size_t offset, std::string_view text) {
    if (out.size() < offset + text.size()) out.resize(offset + text.size());
    for (std::size_t i = 0; i < text.size(); ++i) out[offset + i] = std::byte(text[i]);
}

void putLe(Bytes& out, std::size_t offset, std::uint32_t value, int size) {
    if (out.size() < offset + size) out.resize(offset + size);
    for (int i = 0; i < size; ++i) out[offset + i] = std::byte((value >> (8 * i)) & 0xFF);
}

void appendBe(Bytes& out, std::uint16_t word) {
    out.push_back(std::byte(word >> 8));
    out.push_back(std::byte(word & 0xFF));
}

std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", ((v % 100) + 100) % 100);
    return buf;
}

std::string dateField(const CivilDateTime& c) {
    return twoDigits(c.year) + "-" + twoDigits(c.month) + "-" + twoDigits(c.day);
}

std::string timeField(const CivilDateTime& c) {
    return twoDigits(c.hour) + ":" + twoDigits(c.minute) + ":" + twoDigits(c.second);
}

// The time per division as the recorder writes it; its number must fit the three
// characters that carry it.
std::string timeAxisFor(const RecordingContent& content) {
    if (!content.timeAxisText.empty()) return content.timeAxisText;
    const double perDiv = content.pointsPerDiv / content.sampleRateHz;
    double value = perDiv;
    const char* unit = "s";
    if (perDiv < 1e-3) {
        value = perDiv * 1e6;
        unit = "us";
    } else if (perDiv < 1.0) {
        value = perDiv * 1e3;
        unit = "ms";
    }
    const std::string number = numberText(std::round(value * 100) / 100);
    if (number.size() > 3 || std::abs(leadingNumber(number) - value) > 1e-9 * value)
        throw std::invalid_argument("sampling rate " + numberText(content.sampleRateHz) +
                                    " has no time axis with 100 points per division");
    return number + unit;
}

std::vector<int> channelValues(const RecordingContent& content, const ChannelSignal& ch, int index,
                               int family) {
    const auto [lo, hi] = valueRange(family);
    std::vector<int> values(static_cast<std::size_t>(content.totalSamples));
    if (!ch.raw.empty()) {
        if (std::int64_t(ch.raw.size()) != content.totalSamples)
            throw std::invalid_argument("raw samples do not match totalSamples");
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = std::clamp<int>(ch.raw[i], lo, hi);
        return values;
    }
    std::mt19937 rng(content.noiseSeed * 131u + static_cast<std::uint32_t>(index));
    const double w = 2 * kPi * content.frequencyHz / content.sampleRateHz;
    for (std::size_t i = 0; i < values.size(); ++i) {
        double v = ch.offset;
        for (const ToneComponent& t : ch.tones)
            v += t.amplitude * std::sin(t.order * w * double(i) + t.phaseDeg * kPi / 180.0);
        // Uniform noise from the raw generator output, identical on every platform.
        if (ch.noise > 0) v += ch.noise * (2.0 * (rng() / 4294967295.0) - 1.0);
        values[i] = static_cast<int>(std::clamp(std::nearbyint(v), double(lo), double(hi)));
    }
    return values;
}

std::vector<std::vector<int>> recordedValues(const RecordingContent& content, int family) {
    std::vector<std::vector<int>> out;
    for (std::size_t k = 0; k < content.channels.size(); ++k)
        if (!content.channels[k].off)
            out.push_back(channelValues(content, content.channels[k], int(k), family));
    if (out.empty()) throw std::invalid_argument("a recording needs at least one channel");
    return out;
}

// ---- `.MEM` header -----------------------------------------------------------------

void putField(Bytes& out, std::size_t block, int k, std::string_view text) {
    if (text.size() > 12) throw std::invalid_argument("header text longer than its field");
    put(out, block * 512 + 12 * k, text);
}

Bytes memHeader(const RecordingContent& content, const std::string& timeAxis) {
    const std::size_t blocks = 1 + content.channels.size();
    Bytes out(blocks * 512);
    putField(out, 0, 0, "HW");
    putField(out, 0, 1, std::to_string(blocks));
    putField(out, 0, 2, content.model);
    putField(out, 0, 5, numberText(double(content.totalSamples) / content.pointsPerDiv));
    putField(out, 0, 6, std::to_string(content.totalSamples));
    putField(out, 0, 7, dateField(content.start));
    putField(out, 0, 8, timeField(content.start));
    putField(out, 0, 10, numberText(content.pointsPerDiv));
    putField(out, 0, 11, timeAxis);
    putField(out, 0, 14, numberText(content.countsPerDiv));
    putField(out, 0, 19, numberText(content.pretriggerPercent));
    for (std::size_t k = 0; k < content.channels.size(); ++k) {
        const ChannelSignal& ch = content.channels[k];
        const int number = ch.channelNumber ? ch.channelNumber : int(k) + 1;
        putField(out, k + 1, 0, "HC");
        putField(out, k + 1, 1, std::to_string(number));
        putField(out, k + 1, 2, ch.off ? "OFF" : "ON");
        putField(out, k + 1, 4, ch.rangeText);
    }
    return out;
}

void appendFrames(Bytes& out, const std::vector<std::vector<int>>& values, int family) {
    const std::size_t n = values.front().size();
    for (std::size_t i = 0; i < n; ++i) {
        for (const auto& column : values) {
            const int v = column[i];
            appendBe(out, static_cast<std::uint16_t>(family == 80   ? v + 8192
                                                     : family == 47 ? v + 32768
                                                                    : v & 0xFFFF));
        }
        // The 8847 closes each frame with a word the reader skips.
        if (family == 47) appendBe(out, 0x7FFF);
    }
}

// ---- 886x tagged sections ----------------------------------------------------------

// a·10^e with a 32-bit mantissa as precise as it fits.
std::pair<std::int32_t, int> decimalOf(double x) {
    for (int e = -12; e <= 12; ++e) {
        const double a = std::nearbyint(x * std::pow(10.0, -e));
        if (std::abs(a) < 2147483647.0 && (a != 0 || x == 0)) return {std::int32_t(a), e};
    }
    throw std::invalid_argument("channel scale out of range");
}

void putSection(Bytes& out, std::size_t at, std::string_view tag, int length, int valuesAt) {
    put(out, at, tag);
    putLe(out, at + 12, std::uint32_t(length), 2);
    putLe(out, at + 14, std::uint32_t(valuesAt), 2);
    if (out.size() < at + (length + 15) / 16 * 16) out.resize(at + (length + 15) / 16 * 16);
}

// A channel description whose scale maps 16 raw units to one count and whose range
// per division equals the channel's range text.
void putChannelDescription(Bytes& out, std::size_t at, const RecordingContent& content,
                           const ChannelSignal& ch) {
    constexpr int kValuesAt = 16;
    constexpr std::uint16_t kFactor = 1000;
    double range = rangePerDivFromText(ch.rangeText);
    if (range <= 0) range = 1;
    const auto [a1, e1] = decimalOf(range * 1000.0 / (content.countsPerDiv * 16.0 * kFactor));
    const float scale = static_cast<float>(a1 * std::pow(10.0, e1));
    const auto [a2, e2] = decimalOf(-32768.0 * double(scale));
    putSection(out, at, "SXACAWMN", 100, kValuesAt);
    const std::size_t v = at + kValuesAt;
    putLe(out, v + 49, std::uint32_t(a1), 4);
    putLe(out, v + 53, std::uint32_t(e1), 1);
    putLe(out, v + 54, std::uint32_t(a2), 4);
    putLe(out, v + 58, std::uint32_t(e2), 1);
    putLe(out, v + 59, kFactor, 2);
}

void append886x(Bytes& out, const RecordingContent& content,
                const std::vector<std::vector<int>>& values) {
    const std::size_t base = out.size();
    put(out, base, "LWBBWINF");
    std::size_t s = base + 32;
    putSection(out, s, "SXACAHDR", 40, 16);  // general section before the channels
    s += 48;
    for (const ChannelSignal& ch : content.channels) {
        if (ch.off) continue;
        putChannelDescription(out, s, content, ch);
        s += 112;
    }
    putSection(out, s, "SXACAEND", 32, 16);
    s += 32;
    putLe(out, base + 16, std::uint32_t(s - base), 4);
    put(out, s, "LWBBWDAT");
    put(out, s + 32, "LXIIWBLK");
    putLe(out, s + 48, 64, 4);
    out.resize(s + 32 + 64);
    for (std::size_t i = 0; i < values.front().size(); ++i)
        for (const auto& column : values) {
            const auto r = static_cast<std::uint16_t>(16 * column[i] + 32768);
            out.push_back(std::byte(r & 0xFF));
            out.push_back(std::byte(r >> 8));
        }
}

// ---- 8840 layout -------------------------------------------------------------------

std::string padded(std::string text, std::size_t width) {
    if (text.size() > width) throw std::invalid_argument("8840 header text too long: " + text);
    text.resize(width, ' ');
    return text;
}

Bytes encode8840(const RecordingContent& content, const std::string& timeAxis) {
    if (content.channels.size() > 8) throw std::invalid_argument("the 8840 records 8 channels");
    Bytes out(1024, std::byte{' '});
    put(out, 0, "HIOKI8825");
    put(out, 15, "1 ");
    put(out, 24, dateField(content.start));
    put(out, 33, timeField(content.start));
    put(out, 41, padded(numberText(content.pretriggerPercent), 6));
    put(out, 75, padded(numberText(double(content.totalSamples) / content.pointsPerDiv), 8));
    put(out, 83, padded(std::to_string(content.totalSamples), 7));
    put(out, 93, padded(timeAxis, 9));
    std::string flags(8, '0');
    for (std::size_t k = 0; k < content.channels.size(); ++k) {
        flags[k] = content.channels[k].off ? '0' : '1';
        put(out, 138 + 28 * k, padded(content.channels[k].rangeText, 10));
    }
    put(out, 116, flags);
    for (const auto& column : recordedValues(content, 40))
        for (int v : column) appendBe(out, static_cast<std::uint16_t>(v + 2048));
    return out;
}

}  // namespace

std::vector<std::byte> encodeRecording(const RecordingContent& content) {
    const int family = familyOfModel(content.model);
    if (content.totalSamples < 1 || content.sampleRateHz <= 0 || content.pointsPerDiv <= 0)
        throw std::invalid_argument("a recording needs samples and a sampling rate");
    const std::string timeAxis = timeAxisFor(content);
    if (family == 40) return encode8840(content, timeAxis);
    Bytes out = memHeader(content, timeAxis);
    const auto values = recordedValues(content, family);
    if (family == 86)
        append886x(out, content, values);
    else
        appendFrames(out, values, family);
    return out;
}

void writeRecording(const std::filesystem::path& path, const RecordingContent& content) {
    const Bytes bytes = encodeRecording(content);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error(utf8Text(path) + ": cannot be written");
}

}  // namespace waveharm
