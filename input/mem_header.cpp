// The `.MEM` header: block 0 with the recording parameters, then one 512-byte
// block per recorder channel.

#include <cmath>

#include "input/header_text.h"
#include "input/layouts.h"

namespace waveharm::detail {

namespace {

std::int64_t fieldOffset(std::int64_t blockStart, int k) { return blockStart + kMemFieldSize * k; }

// "ch" + the channel number; numbers above 100 carry the unit: 103 is unit 1, channel 3.
std::string channelName(double number) {
    const auto n = static_cast<long long>(number);
    if (n > 100) return "ch" + std::to_string(n / 100) + "-" + std::to_string(n % 100);
    return "ch" + numberText(number);
}

std::int16_t readHeaderBlockCount(ByteReader& reader) {
    const double count = leadingNumber(memField(reader, 0, 1));
    const std::int64_t at = fieldOffset(0, 1);
    if (count < 1 || count > double(kMaxHeaderBlocks) || count != std::floor(count))
        throw InputError(
            ErrorKind::InvalidHeaderValue, reader.file(), at,
            "header block count " + numberText(count) + " is not a valid number of header blocks");
    const auto blocks = static_cast<std::int64_t>(count);
    if (blocks * kMemBlockSize > reader.size())
        throw InputError(ErrorKind::DataOutsideFile, reader.file(), at,
                         "header of " + std::to_string(blocks) +
                             " blocks is longer than the "
                             "file (" +
                             std::to_string(reader.size()) + " bytes)");
    return static_cast<std::int16_t>(blocks);
}

std::int64_t readTotalSamples(ByteReader& reader) {
    const double n = leadingNumber(memField(reader, 0, 6));
    if (n < 1 || n > 1e15)
        throw InputError(ErrorKind::InvalidHeaderValue, reader.file(), fieldOffset(0, 6),
                         "sample count " + numberText(n) + " is not valid");
    return static_cast<std::int64_t>(n);
}

void readBlockZero(ByteReader& reader, RecorderFileHeader& h, const ReadOptions& options) {
    h.pointsPerDiv = h.isMr8880() ? 100.0 : leadingNumber(memField(reader, 0, 10));
    h.countsPerDiv = leadingNumber(memField(reader, 0, 14));
    if (h.countsPerDiv <= 0)
        throw InputError(ErrorKind::InvalidHeaderValue, reader.file(), fieldOffset(0, 14),
                         "counts per division " + numberText(h.countsPerDiv) + " is not valid");
    h.startTimeUncorrected = memStartTime(reader);
    // The 8847 writes its start time already in local time.
    h.startTime = h.recorderFamily == 47
                      ? h.startTimeUncorrected
                      : h.startTimeUncorrected.plusHours(options.timeOffsetHours);
    h.recordLengthText = numberText(leadingNumber(memField(reader, 0, 5)));
    h.totalSamples = readTotalSamples(reader);
    h.timeAxisText = memField(reader, 0, 11);
    deriveRates(reader, h, memUnitsPerSecond(h.timeAxisText));
    h.pretrigger = leadingNumber(memField(reader, 0, 19));
}

void readChannelBlocks(ByteReader& reader, RecorderFileHeader& h) {
    int slot = 0;
    for (int b = 1; b < h.headerBlockCount; ++b) {
        const std::int64_t start = b * kMemBlockSize;
        if (memField(reader, start, 0) != "HC" || memField(reader, start, 2) == "OFF") continue;
        if (slot < kSlotCount) {
            ChannelSlotInfo& info = h.slots[slot];
            info.name = channelName(leadingNumber(memField(reader, start, 1)));
            info.rangeText = memField(reader, start, 4);
            info.channelInUse = true;
        }
        if (slot < kRangeSlotCount)
            h.rangePerDiv[slot] =
                static_cast<float>(rangePerDivFromText(memField(reader, start, 4)));
        ++slot;
    }
    if (slot == 0)
        throw InputError(ErrorKind::NoChannel, reader.file(), kMemBlockSize,
                         "no channel was recorded");
    h.channelCount = static_cast<std::int16_t>(slot);
}

// Frame files must hold all their declared frames; 886x files are checked by their chain.
void checkFramesFit(const ByteReader& reader, const RecorderFileHeader& h) {
    if (h.recorderFamily == 86) return;
    const std::int64_t words = h.channelCount + (h.recorderFamily == 47 ? 1 : 0);
    const std::int64_t available = reader.size() - h.sampleOffset;
    if (h.totalSamples > available / (words * 2))
        throw InputError(ErrorKind::DataOutsideFile, reader.file(), h.sampleOffset,
                         "declares " + std::to_string(h.totalSamples) +
                             " samples but the file "
                             "holds only " +
                             std::to_string(available / (words * 2)));
}

}  // namespace

std::optional<std::int16_t> memFamilyOf(std::string_view identity, std::string_view model) {
    if (identity.substr(0, 2) != "HW") return std::nullopt;
    if (model.substr(0, 3) == "886") return std::int16_t{86};
    if (model == "MR8880") return std::int16_t{80};
    if (model == "8847") return std::int16_t{47};
    if (model == "8841" || model == "8835" || model == "8807") return std::int16_t{41};
    return std::nullopt;
}

std::string memField(ByteReader& reader, std::int64_t blockStart, int k) {
    reader.seek(fieldOffset(blockStart, k), "header field");
    return reader.text(kMemFieldSize);
}

RecorderFileHeader parseMemHeader(ByteReader& reader, const ReadOptions& options) {
    if (reader.size() < kMemBlockSize)
        throw InputError(ErrorKind::FileTooShort, reader.file(), reader.size(),
                         "file is shorter than a recorder header");
    RecorderFileHeader h;
    h.model = memField(reader, 0, 2);
    const auto family = memFamilyOf(memField(reader, 0, 0), h.model);
    if (!family)
        throw InputError(ErrorKind::NotARecording, reader.file(), 0,
                         "not a recognised recorder waveform file");
    h.recorderFamily = *family;
    h.headerBlockCount = readHeaderBlockCount(reader);
    readBlockZero(reader, h, options);
    readChannelBlocks(reader, h);
    h.sampleOffset = h.headerBlockCount * kMemBlockSize;
    checkFramesFit(reader, h);
    return h;
}

DateTime memStartTime(ByteReader& reader) {
    const std::string date = memField(reader, 0, 7);
    const std::string time = memField(reader, 0, 8).substr(0, 8);
    return startTimeFrom(reader, fieldOffset(0, 7), date, time);
}

DateTime startTimeFrom(const ByteReader& reader, std::int64_t offset, std::string_view date,
                       std::string_view time) {
    const auto d = parseDateText(date);
    if (!d)
        throw InputError(ErrorKind::InvalidHeaderValue, reader.file(), offset,
                         "measurement date \"" + std::string(date) + "\" cannot be converted");
    const auto t = parseTimeText(time);
    if (!t)
        throw InputError(ErrorKind::InvalidHeaderValue, reader.file(), offset,
                         "start time \"" + std::string(time) + "\" cannot be converted");
    CivilDateTime c = *d;
    c.hour = t->hour;
    c.minute = t->minute;
    c.second = t->second;
    return DateTime::fromCivil(c);
}

void deriveRates(const ByteReader& reader, RecorderFileHeader& h, double unitsPerSecond) {
    h.samplingRateKHz = samplingRateKHzFor(h.pointsPerDiv, h.timeAxisText, unitsPerSecond);
    if (!(h.samplingRateKHz > 0) || !std::isfinite(h.samplingRateKHz))
        throw InputError(ErrorKind::InvalidHeaderValue, reader.file(), -1,
                         "time axis \"" + h.timeAxisText + "\" with " + numberText(h.pointsPerDiv) +
                             " points per division gives no "
                             "sampling rate");
    h.recordTimeMs = double(h.totalSamples - 1) / h.samplingRateKHz;
}

}  // namespace waveharm::detail
