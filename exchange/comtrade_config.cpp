// The configuration file of a COMTRADE record: station and revision, channel counts, one
// line per analog and digital channel, line frequency, rate segments, start and trigger
// times, data type, time multiplier and (2013) time codes. Each line is read by its own
// function; every field that cannot be right is refused with its line.

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "exchange/comtrade.h"
#include "exchange/record_text.h"

namespace waveharm {

namespace {

constexpr std::int64_t kMaxChannels = 999999;          // the channel numbers' six digits
constexpr std::int64_t kMaxSampleNumber = 4294967295;  // the binary sample number's 32 bits

void readIdentity(TextLines& lines, ComtradeConfig& config) {
    const FieldLine line(lines, lines.next("the station line"));
    config.station = shownName(line.text(0));
    config.device = shownName(line.text(1));
    const std::string_view year = line.text(2);
    if (line.size() < 3 || year.empty()) {
        config.revision = ComtradeRevision::Rev1991;
    } else if (year == "1999" || year == "2001") {
        config.revision = ComtradeRevision::Rev1999;  // IEC 60255-24:2001 is the 1999 text
    } else if (year == "2013") {
        config.revision = ComtradeRevision::Rev2013;
    } else {
        line.fail(ErrorKind::InvalidHeaderValue,
                  "revision year '" + shownName(year) + "' is not 1991, 1999 or 2013");
    }
}

// "12A" or "3D": the count before its letter.
std::int64_t countWithLetter(const FieldLine& line, std::size_t i, char letter,
                             std::string_view what) {
    std::string_view t = line.text(i);
    if (t.empty() || (t.back() != letter && t.back() != letter - 'A' + 'a'))
        line.fail(ErrorKind::InvalidHeaderValue,
                  std::string(what) + " '" + shownName(t) + "' does not end in " + letter);
    const auto value = realNumber(t.substr(0, t.size() - 1));
    if (!value || *value != std::floor(*value) || *value < 0 || *value > kMaxChannels)
        line.fail(ErrorKind::InvalidHeaderValue,
                  std::string(what) + " '" + shownName(t) + "' is not a channel count");
    return static_cast<std::int64_t>(*value);
}

void readCounts(TextLines& lines, ComtradeConfig& config, std::int64_t& analog) {
    const FieldLine line(lines, lines.next("the channel counts"));
    line.requireFields(3, "the channel count line");
    const std::int64_t total = line.whole(0, "total channel count", 0, 2 * kMaxChannels);
    analog = countWithLetter(line, 1, 'A', "analog channel count");
    const std::int64_t digital = countWithLetter(line, 2, 'D', "digital channel count");
    if (analog + digital != total)
        line.fail(ErrorKind::InvalidHeaderValue,
                  std::to_string(analog) + " analog and " + std::to_string(digital) +
                      " digital channels do not make the total of " + std::to_string(total));
    config.digitalCount = static_cast<int>(digital);
    if (analog == 0) line.fail(ErrorKind::NoChannel, "the record holds no analog channel");
}

// The secondary-to-primary part of an analog line (1999 and 2013).
void readRatio(const FieldLine& line, ComtradeAnalog& analog) {
    RecordChannel& ch = analog.channel;
    ch.primaryRating = line.number(10, "primary rating");
    ch.secondaryRating = line.number(11, "secondary rating");
    const std::string_view ps = line.text(12);
    if (ps == "P" || ps == "p") return;
    if (ps != "S" && ps != "s")
        line.fail(ErrorKind::InvalidHeaderValue,
                  "primary/secondary mark '" + shownName(ps) + "' is not P or S");
    if (!(ch.primaryRating > 0) || !(ch.secondaryRating > 0))
        line.fail(ErrorKind::InvalidHeaderValue,
                  "secondary values need a positive primary and secondary rating");
    ch.secondaryValues = true;
    ch.toPrimary = ch.primaryRating / ch.secondaryRating;
}

ComtradeAnalog readAnalog(TextLines& lines, const ComtradeConfig& config, int index) {
    const std::string what = "analog channel " + std::to_string(index);
    const FieldLine line(lines, lines.next("the line of " + what));
    const bool rev1991 = config.revision == ComtradeRevision::Rev1991;
    line.requireFields(rev1991 ? 10 : 13, "the line of " + what);
    ComtradeAnalog analog;
    RecordChannel& ch = analog.channel;
    ch.number = index;
    if (line.whole(0, "channel number", 1, kMaxChannels) != index)
        line.fail(ErrorKind::InvalidHeaderValue,
                  "channel number " + std::string(line.text(0)) + " is not " + what);
    ch.rawName = std::string(line.text(1));
    ch.name = shownName(ch.rawName);
    ch.phase = shownName(line.text(2));
    ch.circuit = shownName(line.text(3));
    ch.unit = shownName(line.text(4));
    analog.a = line.number(5, "multiplier a");
    analog.b = line.number(6, "offset b");
    analog.skewMicroseconds = line.number(7, "time skew");
    analog.min = line.number(8, "minimum value");
    analog.max = line.number(9, "maximum value");
    if (analog.min > analog.max)
        line.fail(ErrorKind::InvalidHeaderValue, "minimum value exceeds the maximum");
    if (!rev1991) readRatio(line, analog);
    return analog;
}

void readDigital(TextLines& lines, int index) {
    const std::string what = "digital channel " + std::to_string(index);
    const FieldLine line(lines, lines.next("the line of " + what));
    line.requireFields(2, "the line of " + what);
    line.whole(0, "channel number", 1, kMaxChannels);
}

void readRates(TextLines& lines, ComtradeConfig& config) {
    const FieldLine count(lines, lines.next("the number of sampling rates"));
    const auto rates = count.whole(0, "number of sampling rates", 0, 999);
    std::int64_t end = 0;
    for (std::int64_t i = 0; i < std::max<std::int64_t>(rates, 1); ++i) {
        const FieldLine line(lines, lines.next("sampling rate " + std::to_string(i + 1)));
        line.requireFields(2, "a sampling rate line");
        const double rate = line.number(0, "sampling rate");
        const std::int64_t last = line.whole(1, "last sample number", 1, kMaxSampleNumber);
        if (rate < 0 || (rates > 0 && rate == 0 && rates > 1))
            line.fail(ErrorKind::InvalidHeaderValue,
                      "sampling rate " + std::string(line.text(0)) + " is not positive");
        if (last <= end)
            line.fail(ErrorKind::InvalidHeaderValue,
                      "last sample number " + std::to_string(last) +
                          " does not follow the previous segment's " + std::to_string(end));
        if (rates == 0 || rate == 0) config.timingFromStamps = true;
        config.segments.push_back({rate, end, last});
        end = last;
    }
    config.sampleCount = end;
    const auto analog = static_cast<std::int64_t>(config.analog.size());
    if (analog > 0 && end > kMaxRecordValues / analog)
        lines.fail(ErrorKind::InvalidHeaderValue, std::to_string(end) + " samples of " +
                                                      std::to_string(analog) +
                                                      " channels are more than a record can hold");
}

// "dd/mm/yyyy" (1999, 2013) or "mm/dd/yy" (1991); a two-digit year 00-29 is 20xx.
std::optional<CivilDateTime> recordDate(std::string_view t, ComtradeRevision revision) {
    const std::size_t s1 = t.find('/');
    const std::size_t s2 = s1 == std::string_view::npos ? s1 : t.find('/', s1 + 1);
    if (s2 == std::string_view::npos) return std::nullopt;
    const auto first = digitsValue(t.substr(0, s1), 2);
    const auto second = digitsValue(t.substr(s1 + 1, s2 - s1 - 1), 2);
    const std::string_view yearText = t.substr(s2 + 1);
    const auto year = digitsValue(yearText, 4);
    if (!first || !second || !year || (yearText.size() != 2 && yearText.size() != 4))
        return std::nullopt;
    CivilDateTime c;
    const bool monthFirst = revision == ComtradeRevision::Rev1991;
    c.month = monthFirst ? *first : *second;
    c.day = monthFirst ? *second : *first;
    c.year = yearText.size() == 2 ? *year + (*year < 30 ? 2000 : 1900) : *year;
    if (!isCalendarDate(c)) return std::nullopt;
    return c;
}

RecordTime readTime(TextLines& lines, const ComtradeConfig& config, std::string_view what,
                    int& digits) {
    const FieldLine line(lines, lines.next(what));
    line.requireFields(2, what);
    const auto date = recordDate(line.text(0), config.revision);
    if (!date)
        line.fail(ErrorKind::InvalidHeaderValue,
                  "date '" + shownName(line.text(0)) + "' of " + std::string(what) +
                      (config.revision == ComtradeRevision::Rev1991 ? " is not mm/dd/yy"
                                                                    : " is not dd/mm/yyyy"));
    CivilDateTime c = *date;
    double fraction = 0;
    if (!clockTime(line.text(1), c, fraction, digits))
        line.fail(ErrorKind::InvalidHeaderValue, "time '" + shownName(line.text(1)) + "' of " +
                                                     std::string(what) + " is not hh:mm:ss.ssssss");
    return RecordTime::from(c, fraction);
}

// A 2013 time code: "+9", "-5h30", "0" or "Z" (UTC); minutes east of UTC.
std::optional<int> timeCode(std::string_view t) {
    if (t == "Z" || t == "z") return 0;
    int sign = 1;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        sign = t.front() == '-' ? -1 : 1;
        t.remove_prefix(1);
    }
    const std::size_t h = t.find_first_of("hH");
    const auto hours = digitsValue(t.substr(0, h), 2);
    std::optional<int> minutes = 0;
    if (h != std::string_view::npos) minutes = digitsValue(t.substr(h + 1), 2);
    if (!hours || !minutes || *hours > 24 || *minutes > 59) return std::nullopt;
    return sign * (*hours * 60 + *minutes);
}

void readTimeCodes(TextLines& lines, ComtradeConfig& config) {
    const auto text = lines.tryNext();
    if (!text) return;
    const FieldLine line(lines, *text);
    const auto zone = timeCode(line.text(0));
    if (!zone)
        line.fail(ErrorKind::InvalidHeaderValue,
                  "time code '" + shownName(line.text(0)) + "' is not a zone such as -5h30");
    config.timeCodeMinutes = zone;
    const std::string_view local = line.text(1);
    // "x": the local zone is not given.
    if (!local.empty() && local != "x" && local != "X") {
        config.localCodeMinutes = timeCode(local);
        if (!config.localCodeMinutes)
            line.fail(ErrorKind::InvalidHeaderValue,
                      "local time code '" + shownName(local) + "' is not a zone such as -5h30");
    }
    const auto quality = lines.tryNext();
    if (!quality) return;
    const FieldLine q(lines, *quality);
    if (q.text(0).find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos ||
        q.text(0).size() > 1)
        q.fail(ErrorKind::InvalidHeaderValue,
               "time quality '" + shownName(q.text(0)) + "' is not a hexadecimal digit");
}

void readDataType(TextLines& lines, ComtradeConfig& config) {
    const FieldLine line(lines, lines.next("the data file type"));
    const std::string_view t = line.text(0);
    if (sameLetters(t, "ASCII"))
        config.dataType = ComtradeDataType::Ascii;
    else if (sameLetters(t, "BINARY"))
        config.dataType = ComtradeDataType::Binary;
    else if (sameLetters(t, "BINARY32"))
        config.dataType = ComtradeDataType::Binary32;
    else if (sameLetters(t, "FLOAT32"))
        config.dataType = ComtradeDataType::Float32;
    else
        line.fail(ErrorKind::InvalidHeaderValue, "data file type '" + shownName(t) +
                                                     "' is not ASCII, BINARY, BINARY32 or FLOAT32");
}

// Data type, time multiplier (1999 on; 1 where a file leaves it out) and time codes.
void readTail(TextLines& lines, ComtradeConfig& config) {
    readDataType(lines, config);
    if (config.revision == ComtradeRevision::Rev1991) return;
    const auto text = lines.tryNext();
    if (!text || trimmed(*text).empty()) return;
    const FieldLine line(lines, *text);
    config.timeMultiplier = line.number(0, "time multiplier");
    if (!(config.timeMultiplier > 0))
        line.fail(ErrorKind::InvalidHeaderValue, "time multiplier is not positive");
    if (config.revision == ComtradeRevision::Rev2013) readTimeCodes(lines, config);
}

}  // namespace

ComtradeConfig parseComtradeConfig(std::string_view text, const std::string& name, int firstLine,
                                   std::int64_t baseOffset) {
    TextLines lines(text, name, firstLine, baseOffset);
    ComtradeConfig config;
    readIdentity(lines, config);
    std::int64_t analog = 0;
    readCounts(lines, config, analog);
    for (int i = 1; i <= analog; ++i) config.analog.push_back(readAnalog(lines, config, i));
    for (int i = 1; i <= config.digitalCount; ++i) readDigital(lines, i);
    const FieldLine frequency(lines, lines.next("the line frequency"));
    config.lineFrequency = frequency.number(0, "line frequency");
    if (config.lineFrequency < 0)
        frequency.fail(ErrorKind::InvalidHeaderValue, "line frequency is negative");
    readRates(lines, config);
    int startDigits = 0, triggerDigits = 0;
    config.start = readTime(lines, config, "the start time", startDigits);
    config.trigger = readTime(lines, config, "the trigger time", triggerDigits);
    // A 2013 record written to the nanosecond stamps its samples in nanoseconds.
    if (config.revision == ComtradeRevision::Rev2013 && std::max(startDigits, triggerDigits) > 6)
        config.stampSeconds = 1e-9;
    readTail(lines, config);
    config.stampSeconds *= config.timeMultiplier;
    return config;
}

}  // namespace waveharm
