// The data file of a COMTRADE record: one line (ASCII) or one fixed-size record (binary)
// per sample, holding the sample number, a time stamp, every analog value and the digital
// channels' states. Values are scaled by a·x + b into the channel's unit. Where the
// configuration gives no rate the time stamps give it; elsewhere timing comes from the
// rates, so stamps that wrap around their 32 bits do no harm.

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "base/error.h"
#include "exchange/comtrade.h"
#include "exchange/record_text.h"

namespace waveharm {

const char* revisionText(ComtradeRevision revision) {
    switch (revision) {
        case ComtradeRevision::Rev1991:
            return "1991";
        case ComtradeRevision::Rev1999:
            return "1999";
        case ComtradeRevision::Rev2013:
            return "2013";
    }
    return "";
}

const char* dataTypeText(ComtradeDataType type) {
    switch (type) {
        case ComtradeDataType::Ascii:
            return "ASCII";
        case ComtradeDataType::Binary:
            return "BINARY";
        case ComtradeDataType::Binary32:
            return "BINARY32";
        case ComtradeDataType::Float32:
            return "FLOAT32";
    }
    return "";
}

std::int64_t ComtradeConfig::binaryRecordBytes() const {
    const std::int64_t width = dataType == ComtradeDataType::Binary ? 2 : 4;
    const std::int64_t statusWords = (digitalCount + 15) / 16;
    return 8 + width * static_cast<std::int64_t>(analog.size()) + 2 * statusWords;
}

RecordTime ComtradeConfig::localStart() const {
    if (!timeCodeMinutes || !localCodeMinutes) return start;
    return start.plusSeconds(60.0 * (*localCodeMinutes - *timeCodeMinutes));
}

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

// The values a stored x at the limits of the binary formats becomes (the most negative
// one marks a missing value from 1999 on, so the limits are symmetric).
void setClipValues(const ComtradeAnalog& analog, ComtradeDataType type, RecordChannel& ch) {
    if (type != ComtradeDataType::Binary && type != ComtradeDataType::Binary32) return;
    const double limit = type == ComtradeDataType::Binary ? 32767 : 2147483647;
    const double high = analog.a * limit + analog.b, low = -analog.a * limit + analog.b;
    ch.clippedBelow = std::min(low, high);
    ch.clippedAbove = std::max(low, high);
}

ChannelRecord recordShell(const ComtradeConfig& config) {
    ChannelRecord record;
    record.format = std::string("COMTRADE ") + revisionText(config.revision) + " " +
                    dataTypeText(config.dataType);
    record.station = config.station;
    record.device = config.device;
    record.lineFrequency = config.lineFrequency;
    for (const ComtradeAnalog& a : config.analog) {
        record.channels.push_back(a.channel);
        setClipValues(a, config.dataType, record.channels.back());
    }
    record.segments = config.segments;
    record.sampleCount = config.sampleCount;
    record.values.assign(static_cast<std::size_t>(config.sampleCount) * config.analog.size(), 0.0);
    record.start = config.localStart();
    const double trigger = config.trigger.secondsSince(config.start);
    if (trigger >= 0) record.triggerSeconds = trigger;
    return record;
}

std::uint32_t u32At(const std::byte* p) {
    return std::to_integer<std::uint32_t>(p[0]) | (std::to_integer<std::uint32_t>(p[1]) << 8) |
           (std::to_integer<std::uint32_t>(p[2]) << 16) |
           (std::to_integer<std::uint32_t>(p[3]) << 24);
}

// One stored analog value: its number, or nothing when it is marked missing; `clipped`
// when it sits at the limit of its number format.
std::optional<double> storedValue(const std::byte* p, ComtradeDataType type,
                                  ComtradeRevision revision, bool& clipped) {
    if (type == ComtradeDataType::Binary) {
        const auto v = static_cast<std::int16_t>(std::to_integer<std::uint16_t>(p[0]) |
                                                 (std::to_integer<std::uint16_t>(p[1]) << 8));
        // From 1999 the most negative value marks a missing sample.
        if (v == -32768 && revision != ComtradeRevision::Rev1991) return std::nullopt;
        clipped = v <= -32767 || v == 32767;
        return v;
    }
    const std::uint32_t bits = u32At(p);
    if (type == ComtradeDataType::Binary32) {
        const auto v = static_cast<std::int32_t>(bits);
        if (v == std::numeric_limits<std::int32_t>::min()) return std::nullopt;
        clipped = v == -2147483647 || v == 2147483647;
        return v;
    }
    const auto v = std::bit_cast<float>(bits);
    if (std::isnan(v)) return std::nullopt;
    // An infinite value is a sample beyond the format's range: clipped, and no number.
    clipped = std::isinf(v);
    if (clipped) return std::nullopt;
    return v;
}

// Seconds per sample from the time stamps, stepping over a wrap of their 32 bits.
double rateFromStamps(const std::vector<std::uint64_t>& steps, const ComtradeConfig& config,
                      const std::string& name) {
    double sum = 0;
    for (const std::uint64_t s : steps) sum += static_cast<double>(s);
    const double mean = steps.empty() ? 0 : sum / static_cast<double>(steps.size());
    if (!(mean > 0))
        throw InputError(ErrorKind::InvalidHeaderValue, name, -1,
                         "the configuration gives no sampling rate and the time stamps do not "
                         "advance");
    for (const std::uint64_t s : steps) {
        if (!evenStep(static_cast<double>(s), mean))
            throw InputError(ErrorKind::InvalidHeaderValue, name, -1,
                             "the configuration gives no sampling rate and the time stamps are "
                             "not evenly spaced");
    }
    return 1 / (mean * config.stampSeconds);
}

void setRateFromStamps(ChannelRecord& record, const std::vector<std::uint64_t>& steps,
                       const ComtradeConfig& config, const std::string& name) {
    const double rate = rateFromStamps(steps, config, name);
    record.segments.assign(1, RateSegment{rate, 0, record.sampleCount});
}

void decodeBinary(const ComtradeConfig& config, std::span<const std::byte> data,
                  const std::string& name, ChannelRecord& record) {
    const std::int64_t recordBytes = config.binaryRecordBytes();
    const std::int64_t n = config.sampleCount;
    const auto held = static_cast<std::int64_t>(data.size()) / recordBytes;
    if (held < n)
        throw InputError(ErrorKind::DataOutsideFile, name, held * recordBytes,
                         "the data file ends after sample " + std::to_string(held) + " of " +
                             std::to_string(n) + " (" + std::to_string(recordBytes) +
                             " bytes a sample)");
    const std::int64_t width = config.dataType == ComtradeDataType::Binary ? 2 : 4;
    std::vector<std::uint64_t> steps;
    std::uint32_t previous = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const std::byte* p = data.data() + i * recordBytes;
        if (config.timingFromStamps) {
            const std::uint32_t stamp = u32At(p + 4);
            if (i > 0) steps.push_back(static_cast<std::uint32_t>(stamp - previous));
            previous = stamp;
        }
        for (std::size_t c = 0; c < config.analog.size(); ++c) {
            bool clipped = false;
            const auto v = storedValue(p + 8 + static_cast<std::int64_t>(c) * width,
                                       config.dataType, config.revision, clipped);
            RecordChannel& ch = record.channels[c];
            ch.clippedSamples += clipped;
            ch.missingSamples += !v && !clipped;
            record.column(static_cast<int>(c))[static_cast<std::size_t>(i)] =
                v ? config.analog[c].a * *v + config.analog[c].b : kMissing;
        }
    }
    if (config.timingFromStamps) setRateFromStamps(record, steps, config, name);
}

// The fields of one ASCII sample line, without allocating.
class FieldCursor {
  public:
    explicit FieldCursor(std::string_view line) : m_rest(line) {}
    bool atEnd() const { return m_done; }
    std::string_view next() {
        const std::size_t comma = m_rest.find(',');
        const std::string_view field = trimmed(m_rest.substr(0, comma));
        if (comma == std::string_view::npos) {
            m_done = true;
            m_rest = {};
        } else {
            m_rest.remove_prefix(comma + 1);
        }
        return field;
    }

  private:
    std::string_view m_rest;
    bool m_done = false;
};

bool allDigits(std::string_view t) {
    return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
}

void decodeAsciiLine(const ComtradeConfig& config, const TextLines& lines, std::string_view line,
                     std::int64_t i, ChannelRecord& record, std::int64_t& stamp) {
    FieldCursor fields(line);
    const std::string_view number = fields.next();
    if (!allDigits(number))
        lines.fail(ErrorKind::InvalidHeaderValue,
                   "sample number '" + shownName(number) + "' is not a whole number");
    const std::string_view time = fields.next();
    if (config.timingFromStamps && (!allDigits(time) || time.size() > 18))
        lines.fail(ErrorKind::InvalidHeaderValue,
                   "time stamp '" + shownName(time) + "' is not a whole number");
    if (config.timingFromStamps) std::from_chars(time.data(), time.data() + time.size(), stamp);
    for (std::size_t c = 0; c < config.analog.size(); ++c) {
        if (fields.atEnd())
            lines.fail(ErrorKind::InvalidHeaderValue,
                       "the line ends before analog channel " + std::to_string(c + 1));
        const std::string_view field = fields.next();
        double& value = record.column(static_cast<int>(c))[static_cast<std::size_t>(i)];
        if (field.empty()) {
            value = kMissing;
            ++record.channels[c].missingSamples;
            continue;
        }
        const auto v = realNumber(field);
        if (!v)
            lines.fail(ErrorKind::InvalidHeaderValue,
                       "value '" + shownName(field) + "' of analog channel " +
                           std::to_string(c + 1) + " is not a number");
        value = config.analog[c].a * *v + config.analog[c].b;
    }
    for (int d = 0; d < config.digitalCount; ++d) {
        if (fields.atEnd())
            lines.fail(ErrorKind::InvalidHeaderValue,
                       "the line ends before digital channel " + std::to_string(d + 1));
        const std::string_view field = fields.next();
        if (field != "0" && field != "1" && !field.empty())
            lines.fail(ErrorKind::InvalidHeaderValue, "state '" + shownName(field) +
                                                          "' of digital channel " +
                                                          std::to_string(d + 1) + " is not 0 or 1");
    }
    // A trailing comma leaves one empty field; anything more is a value too many.
    if (!fields.atEnd() && (!fields.next().empty() || !fields.atEnd()))
        lines.fail(ErrorKind::InvalidHeaderValue,
                   "the line holds more values than the configuration's channels");
}

void decodeAscii(const ComtradeConfig& config, std::span<const std::byte> data,
                 const std::string& name, int firstLine, std::int64_t baseOffset,
                 ChannelRecord& record) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    TextLines lines(text, name, firstLine, baseOffset);
    std::vector<std::uint64_t> steps;
    std::int64_t previous = 0;
    for (std::int64_t i = 0; i < config.sampleCount; ++i) {
        const auto line = lines.tryNext();
        if (!line)
            throw InputError(ErrorKind::DataOutsideFile, name,
                             baseOffset + static_cast<std::int64_t>(text.size()),
                             "the data file ends after sample " + std::to_string(i) + " of " +
                                 std::to_string(config.sampleCount));
        std::int64_t stamp = 0;
        decodeAsciiLine(config, lines, *line, i, record, stamp);
        if (config.timingFromStamps && i > 0) {
            if (stamp <= previous)
                lines.fail(ErrorKind::InvalidHeaderValue, "time stamp does not advance");
            steps.push_back(static_cast<std::uint64_t>(stamp - previous));
        }
        previous = stamp;
    }
    // Blank lines and an end-of-file mark may follow the samples; more samples may not.
    while (const auto line = lines.tryNext()) {
        if (!trimmed(*line).empty() && trimmed(*line) != "\x1A")
            lines.fail(ErrorKind::InvalidHeaderValue,
                       "a sample beyond the configuration's " + std::to_string(config.sampleCount));
    }
    if (config.timingFromStamps) setRateFromStamps(record, steps, config, name);
}

}  // namespace

ChannelRecord decodeComtradeData(const ComtradeConfig& config, std::span<const std::byte> data,
                                 const std::string& name, int firstLine, std::int64_t baseOffset) {
    ChannelRecord record = recordShell(config);
    if (config.dataType == ComtradeDataType::Ascii)
        decodeAscii(config, data, name, firstLine, baseOffset, record);
    else
        decodeBinary(config, data, name, record);
    if (config.timingFromStamps && record.sampleCount < 2)
        throw InputError(ErrorKind::InvalidHeaderValue, name, -1,
                         "the configuration gives no sampling rate and one sample tells none");
    return record;
}

}  // namespace waveharm
