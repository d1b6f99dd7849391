#include "exchange/record_writer.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace waveharm {

namespace {

// Shortest text that reads back as the same double, whatever the locale.
std::string realText(double v) {
    char buf[32];
    const auto [end, error] = std::to_chars(buf, buf + sizeof buf, v);
    return error == std::errc() ? std::string(buf, end) : std::string("0");
}

struct ChannelScale {
    double a = 1;
    double min = 0, max = 0;
};

bool integerFormat(const ComtradeWriteOptions& o) {
    return o.dataType == ComtradeDataType::Binary || o.dataType == ComtradeDataType::Binary32 ||
           (o.dataType == ComtradeDataType::Ascii && o.revision != ComtradeRevision::Rev2013);
}

ChannelScale scaleOf(std::span<const double> column, const ComtradeWriteOptions& o) {
    double peak = 0;
    for (const double v : column)
        if (std::isfinite(v)) peak = std::max(peak, std::fabs(v / o.secondaryRatio));
    ChannelScale s;
    if (!integerFormat(o)) {
        s.min = -peak;
        s.max = peak;
        return s;
    }
    const double limit = o.dataType == ComtradeDataType::Binary32 ? 2e9 : 32000;
    s.a = peak > 0 ? peak / limit : 1;
    s.max = o.dataType == ComtradeDataType::Binary32 ? 2147483647 : 32767;
    s.min = -s.max;
    return s;
}

std::string dateText(const RecordTime& t, ComtradeRevision revision) {
    const CivilDateTime c = t.whole.civil();
    char buf[64];
    const int micro = static_cast<int>(std::floor(t.fraction * 1e6));
    if (revision == ComtradeRevision::Rev1991)
        std::snprintf(buf, sizeof buf, "%02d/%02d/%02d,%02d:%02d:%02d.%06d", c.month, c.day,
                      c.year % 100, c.hour, c.minute, c.second, micro);
    else
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d,%02d:%02d:%02d.%06d", c.day, c.month, c.year,
                      c.hour, c.minute, c.second, micro);
    return buf;
}

std::string analogLine(const RecordChannel& ch, const ChannelScale& s,
                       const ComtradeWriteOptions& o) {
    std::string line = std::to_string(ch.number) + "," + ch.rawName + "," + ch.phase + "," +
                       ch.circuit + "," + ch.unit + "," + realText(s.a) + ",0,0," +
                       realText(s.min) + "," + realText(s.max);
    if (o.revision == ComtradeRevision::Rev1991) return line;
    const bool secondary = o.secondaryRatio != 1;
    return line + "," + realText(o.secondaryRatio) + ",1," + (secondary ? "S" : "P");
}

std::string configText(const ChannelRecord& record, const std::vector<ChannelScale>& scales,
                       const ComtradeWriteOptions& o) {
    const bool rev1991 = o.revision == ComtradeRevision::Rev1991;
    std::string t = record.station + "," + record.device;
    if (!rev1991) t += std::string(",") + revisionText(o.revision);
    t += "\r\n";
    const auto analog = record.channels.size();
    t += std::to_string(analog + o.digitalCount) + "," + std::to_string(analog) + "A," +
         std::to_string(o.digitalCount) + "D\r\n";
    for (std::size_t c = 0; c < analog; ++c)
        t += analogLine(record.channels[c], scales[c], o) + "\r\n";
    for (int d = 1; d <= o.digitalCount; ++d)
        t += std::to_string(d) + ",D" + std::to_string(d) + (rev1991 ? ",0\r\n" : ",,,0\r\n");
    t += realText(record.lineFrequency) + "\r\n" + std::to_string(record.segments.size()) + "\r\n";
    for (const RateSegment& s : record.segments)
        t += realText(s.rate) + "," + std::to_string(s.end) + "\r\n";
    const RecordTime start = record.start.value_or(RecordTime::from(CivilDateTime{2024, 1, 1}, 0));
    const RecordTime trigger = start.plusSeconds(record.triggerSeconds.value_or(0));
    t += dateText(start, o.revision) + "\r\n" + dateText(trigger, o.revision) + "\r\n";
    t += std::string(dataTypeText(o.dataType)) + "\r\n";
    if (!rev1991) t += "1\r\n";
    if (o.revision == ComtradeRevision::Rev2013) t += "+9,+9\r\n0,0\r\n";
    return t;
}

void putU32(std::vector<std::byte>& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::byte>((v >> (8 * k)) & 0xFF));
}

// Time stamps in microseconds from the first sample, through every rate segment.
std::vector<std::uint32_t> stampsOf(const ChannelRecord& record) {
    std::vector<std::uint32_t> stamps;
    double t = 0;
    for (const RateSegment& s : record.segments) {
        for (std::int64_t i = s.first; i < s.end; ++i) {
            stamps.push_back(static_cast<std::uint32_t>(
                static_cast<std::uint64_t>(std::llround(t * 1e6)) & 0xFFFFFFFFu));
            t += 1 / s.rate;
        }
    }
    stamps.resize(static_cast<std::size_t>(record.sampleCount), 0);
    return stamps;
}

void putBinaryValue(std::vector<std::byte>& out, double v, const ChannelScale& s,
                    const ComtradeWriteOptions& o) {
    const double x = v / o.secondaryRatio;
    if (o.dataType == ComtradeDataType::Float32) {
        putU32(out, std::bit_cast<std::uint32_t>(static_cast<float>(x)));
        return;
    }
    const bool missing = !std::isfinite(x);
    if (o.dataType == ComtradeDataType::Binary32) {
        const auto raw = missing ? std::numeric_limits<std::int32_t>::min()
                                 : static_cast<std::int32_t>(std::llround(x / s.a));
        putU32(out, static_cast<std::uint32_t>(raw));
        return;
    }
    const auto raw =
        missing ? std::int16_t{-32768} : static_cast<std::int16_t>(std::lround(x / s.a));
    const auto bits = static_cast<std::uint16_t>(raw);
    out.push_back(static_cast<std::byte>(bits & 0xFF));
    out.push_back(static_cast<std::byte>(bits >> 8));
}

std::vector<std::byte> binaryData(const ChannelRecord& record,
                                  const std::vector<ChannelScale>& scales,
                                  const ComtradeWriteOptions& o) {
    std::vector<std::byte> out;
    const auto stamps = stampsOf(record);
    for (std::int64_t i = 0; i < record.sampleCount; ++i) {
        putU32(out, static_cast<std::uint32_t>(i + 1));
        putU32(out, stamps[static_cast<std::size_t>(i)]);
        for (std::size_t c = 0; c < record.channels.size(); ++c)
            putBinaryValue(out, record.column(static_cast<int>(c))[static_cast<std::size_t>(i)],
                           scales[c], o);
        for (int w = 0; w < (o.digitalCount + 15) / 16; ++w) {
            out.push_back(std::byte{0});
            out.push_back(std::byte{0});
        }
    }
    return out;
}

std::string asciiData(const ChannelRecord& record, const std::vector<ChannelScale>& scales,
                      const ComtradeWriteOptions& o) {
    std::string out;
    const auto stamps = stampsOf(record);
    for (std::int64_t i = 0; i < record.sampleCount; ++i) {
        out += std::to_string(i + 1) + "," + std::to_string(stamps[static_cast<std::size_t>(i)]);
        for (std::size_t c = 0; c < record.channels.size(); ++c) {
            const double x =
                record.column(static_cast<int>(c))[static_cast<std::size_t>(i)] / o.secondaryRatio;
            out += ",";
            if (!std::isfinite(x)) continue;
            out += integerFormat(o) ? std::to_string(std::llround(x / scales[c].a)) : realText(x);
        }
        for (int d = 0; d < o.digitalCount; ++d) out += ",0";
        out += "\r\n";
    }
    return out;
}

std::vector<ChannelScale> scalesOf(const ChannelRecord& record, const ComtradeWriteOptions& o) {
    std::vector<ChannelScale> scales;
    for (std::size_t c = 0; c < record.channels.size(); ++c)
        scales.push_back(scaleOf(record.column(static_cast<int>(c)), o));
    return scales;
}

std::vector<std::byte> bytesOf(std::string_view text) {
    const auto* p = reinterpret_cast<const std::byte*>(text.data());
    return {p, p + text.size()};
}

}  // namespace

ComtradeFiles writeComtrade(const ChannelRecord& record, const ComtradeWriteOptions& options) {
    const auto scales = scalesOf(record, options);
    ComtradeFiles files;
    files.cfg = configText(record, scales, options);
    files.dat = options.dataType == ComtradeDataType::Ascii
                    ? bytesOf(asciiData(record, scales, options))
                    : binaryData(record, scales, options);
    return files;
}

std::vector<std::byte> writeComtradeCombined(const ChannelRecord& record,
                                             ComtradeWriteOptions options) {
    options.revision = ComtradeRevision::Rev2013;
    const ComtradeFiles files = writeComtrade(record, options);
    std::string head = "--- file type: CFG ---\r\n" + files.cfg +
                       "--- file type: INF ---\r\n--- file type: HDR ---\r\n";
    if (options.dataType == ComtradeDataType::Ascii)
        head += "--- file type: DAT ASCII ---\r\n";
    else
        head += "--- file type: DAT BINARY: " + std::to_string(files.dat.size()) + " ---\r\n";
    std::vector<std::byte> out = bytesOf(head);
    out.insert(out.end(), files.dat.begin(), files.dat.end());
    return out;
}

std::string writeCsv(const ChannelRecord& record, char separator, bool timeColumn) {
    const bool comma = separator == ';';
    const auto number = [comma](double v) {
        if (!std::isfinite(v)) return std::string();
        std::string t = realText(v);
        if (comma) std::replace(t.begin(), t.end(), '.', ',');
        return t;
    };
    std::string out = timeColumn ? "time" : "";
    for (std::size_t c = 0; c < record.channels.size(); ++c)
        out += (c > 0 || timeColumn ? std::string(1, separator) : "") + record.channels[c].rawName;
    out += "\r\n";
    const double rate = record.segments.empty() ? 1 : record.segments.front().rate;
    for (std::int64_t i = 0; i < record.sampleCount; ++i) {
        if (timeColumn) out += number(static_cast<double>(i) / rate);
        for (std::size_t c = 0; c < record.channels.size(); ++c)
            out += (c > 0 || timeColumn ? std::string(1, separator) : "") +
                   number(record.column(static_cast<int>(c))[static_cast<std::size_t>(i)]);
        out += "\r\n";
    }
    return out;
}

}  // namespace waveharm
