// The 8840 layout: a fixed-position text header in 1024-byte units, then the
// samples channel after channel as 12-bit offset binary.

#include <algorithm>

#include "input/header_text.h"
#include "input/layouts.h"

namespace waveharm::detail {

namespace {

constexpr int kChannels8840 = 8;
constexpr std::int64_t kHeaderEnd8840 = 138 + 28 * (kChannels8840 - 1) + 10;

std::string fieldAt(ByteReader& reader, std::int64_t offset, std::int64_t length) {
    reader.seek(offset, "header field");
    return reader.rawText(length);
}

std::int16_t readBlockCount8840(ByteReader& reader) {
    const double count = leadingNumber(fieldAt(reader, 15, 2));
    if (count < 1 || count * double(kBlock8840Size) > double(reader.size()))
        throw InputError(ErrorKind::DataOutsideFile, reader.file(), 15,
                         "header block count " + numberText(count) + " does not fit the file (" +
                             std::to_string(reader.size()) + " bytes)");
    return static_cast<std::int16_t>(count);
}

// Recorded channels take the slots 0, 1, ... in channel order; each slot shows the
// range of the channel it holds, so a recording with gaps keeps names and ranges paired.
void readChannels8840(ByteReader& reader, RecorderFileHeader& h) {
    const std::string flags = fieldAt(reader, 116, kChannels8840);
    int slot = 0;
    for (int i = 0; i < kChannels8840; ++i) {
        if (flags[i] != '1') continue;
        const std::string range = fieldAt(reader, 138 + 28 * i, 10).substr(0, 5);
        h.slots[slot] = ChannelSlotInfo{"ch" + std::to_string(i + 1), range, true};
        h.rangePerDiv[slot] = static_cast<float>(rangePerDivFromText(range));
        ++slot;
    }
    if (slot == 0)
        throw InputError(ErrorKind::NoChannel, reader.file(), 116, "no channel was recorded");
    h.channelCount = static_cast<std::int16_t>(slot);
}

}  // namespace

DateTime startTime8840(ByteReader& reader) {
    return startTimeFrom(reader, 24, fieldAt(reader, 24, 8), fieldAt(reader, 33, 8));
}

RecorderFileHeader parse8840Header(ByteReader& reader, const ReadOptions& options) {
    if (reader.size() < kHeaderEnd8840)
        throw InputError(ErrorKind::FileTooShort, reader.file(), reader.size(),
                         "file is shorter than an 8840 header");
    if (fieldAt(reader, 0, 9) != "HIOKI8825")
        throw InputError(ErrorKind::NotARecording, reader.file(), 0,
                         "not a recognised 8840 waveform file");
    RecorderFileHeader h;
    h.model = "8840";
    h.recorderFamily = 40;
    h.pointsPerDiv = 100;
    h.countsPerDiv = 80;
    h.headerBlockCount = readBlockCount8840(reader);
    h.startTimeUncorrected = startTime8840(reader);
    h.startTime = h.startTimeUncorrected.plusHours(options.timeOffsetHours);
    h.recordLengthText = fieldAt(reader, 75, 8);
    const double total = leadingNumber(fieldAt(reader, 83, 7));
    if (total < 1)
        throw InputError(ErrorKind::InvalidHeaderValue, reader.file(), 83,
                         "sample count " + numberText(total) + " is not valid");
    h.totalSamples = static_cast<std::int64_t>(total);
    h.timeAxisText = fieldAt(reader, 93, 9).substr(0, 5);
    deriveRates(reader, h, units8840PerSecond(h.timeAxisText));
    h.pretrigger = leadingNumber(fieldAt(reader, 41, 6));
    readChannels8840(reader, h);
    h.sampleOffset = h.headerBlockCount * kBlock8840Size;
    reader.seek(h.sampleOffset);
    reader.requireItems(h.totalSamples, std::int64_t{2} * h.channelCount, "declared samples");
    return h;
}

void decode8840(ByteReader& reader, const RecorderFileHeader& h, const ReadOptions& options,
                RowRange rows, SampleTable& table) {
    table.reset(h.totalSamples, h.channelCount, rows);
    reader.seek(h.sampleOffset, "sample data");
    reader.requireItems(h.totalSamples, std::int64_t{2} * h.channelCount, "declared samples");
    for (int j = 0; j < h.channelCount; ++j) {
        const SlotPlacement place = placementFor(j, h.channelCount, options);
        std::span<std::int16_t> column = table.column(place.slot);
        // Channel j's samples follow those of channel j − 1; only the rows' words are read.
        reader.seek(h.sampleOffset + 2 * h.totalSamples * j + 2 * rows.first, "channel data");
        const auto raw = reader.bytes(2 * (rows.end - rows.first), "channel data");
        for (std::int64_t i = rows.first; i < rows.end; ++i) {
            const std::int64_t at = 2 * (i - rows.first);
            const int word =
                (std::to_integer<int>(raw[at]) << 8) | std::to_integer<int>(raw[at + 1]);
            // 12-bit data never exceed the 16-bit range; damaged words saturate.
            const auto v = static_cast<std::int16_t>(std::min(word - 2048, 32767));
            column[i] = place.negate ? negateSaturated(v) : v;
        }
    }
}

}  // namespace waveharm::detail
