// The 886x sample section: an information section whose chain of tagged sections
// describes each channel's scale and offset, then a data section of little-endian
// 16-bit words.

#include <algorithm>
#include <cmath>
#include <vector>

#include "input/layouts.h"

namespace waveharm::detail {

namespace {

constexpr std::int64_t kSectionAlign = 16;

// A value in counts rounded half to even and held to the 16-bit range. Adding and taking
// away 1.5 · 2^52 rounds a double of magnitude below 2^51 to an integer in the current
// (nearest, ties to even) mode, as nearbyint does, without a library call per word.
double roundedCount(double value) {
    constexpr double kRound = 6755399441055744.0;
    const double held = std::clamp(value, -32769.0, 32768.0);
    return std::clamp((held + kRound) - kRound, -32768.0, 32767.0);
}

std::string tagAt(ByteReader& reader, std::int64_t offset, std::string_view what) {
    reader.seek(offset, what);
    return reader.rawText(8);
}

void readChannelDescription(ByteReader& reader, std::int64_t section, int k,
                            RecorderFileHeader& h) {
    reader.seek(section + 14, "channel description");
    const std::int64_t values = section + reader.i16le();
    reader.seek(values + 49, "channel description values");
    const std::int32_t a1 = reader.i32le();
    const int e1 = reader.i8();
    const std::int32_t a2 = reader.i32le();
    const int e2 = reader.i8();
    const std::uint16_t u = reader.u16le();
    const auto scale = static_cast<float>(a1 * std::pow(10.0, e1));
    const auto offset = static_cast<float>(a2 * std::pow(10.0, e2));
    if (scale == 0.0f || !std::isfinite(scale) || !std::isfinite(offset))
        throw InputError(ErrorKind::InvalidHeaderValue, reader.file(), values + 49,
                         "channel " + std::to_string(k + 1) + " has no usable scale");
    if (k >= kSlotCount) return;
    h.channelScale[k] = scale;
    h.channelScale[k + 16] = offset;
    h.channelScale[k + 32] = static_cast<float>(u);
    h.rangePerDiv[k] = static_cast<float>(h.countsPerDiv * u * scale / 1000.0 * 16.0);
}

// Walks the section chain after the information tag and returns the number of
// channel descriptions. Every step moves forward by at least one aligned section, so
// the walk ends at the file's end at the latest.
int scanChain(ByteReader& reader, std::int64_t base, RecorderFileHeader& h) {
    int k = 0;
    for (std::int64_t s = base + 32;;) {
        if (s + 16 > reader.size())
            throw InputError(ErrorKind::DataOutsideFile, reader.file(), s,
                             "channel description chain runs past the end "
                             "of the file");
        const std::string tag = tagAt(reader, s, "section");
        if (tag == "SXACAWMN") {
            readChannelDescription(reader, s, k, h);
            ++k;
        } else if (k > 0) {
            return k;
        }
        reader.seek(s + 12);
        const std::int64_t length = reader.i16le();
        const std::int64_t step = (length + kSectionAlign - 1) / kSectionAlign * kSectionAlign;
        if (step <= 0)
            throw InputError(ErrorKind::BrokenLayout, reader.file(), s + 12,
                             "section length " + std::to_string(length) + " makes the chain loop");
        s += step;
    }
}

std::int64_t firstSampleOffset(ByteReader& reader, std::int64_t base) {
    reader.seek(base + 16, "data section distance");
    const std::int64_t data = base + reader.i32le();
    if (data < 0 || data + 52 > reader.size())
        throw InputError(ErrorKind::DataOutsideFile, reader.file(), base + 16,
                         "data section lies outside the file");
    if (tagAt(reader, data, "data section") != "LWBBWDAT")
        throw InputError(ErrorKind::BrokenLayout, reader.file(), data,
                         "data section tag LWBBWDAT is missing");
    if (tagAt(reader, data + 32, "block section") != "LXIIWBLK")
        throw InputError(ErrorKind::BrokenLayout, reader.file(), data + 32,
                         "block section tag LXIIWBLK is missing");
    reader.seek(data + 48);
    const std::int64_t first = data + 32 + reader.i32le();
    reader.seek(first, "first sample");
    return first;
}

}  // namespace

void decode886x(ByteReader& reader, RecorderFileHeader& h, const ReadOptions& options,
                RowRange rows, SampleTable& table) {
    const std::int64_t base = h.sampleOffset;
    if (tagAt(reader, base, "information section") != "LWBBWINF")
        throw InputError(ErrorKind::BrokenLayout, reader.file(), base,
                         "information section tag LWBBWINF is missing");
    const int described = scanChain(reader, base, h);
    if (described < h.channelCount)
        throw InputError(ErrorKind::BrokenLayout, reader.file(), base,
                         "only " + std::to_string(described) + " channel descriptions for " +
                             std::to_string(h.channelCount) + " channels");
    const int channels = h.channelCount;
    reader.seek(firstSampleOffset(reader, base));
    reader.requireItems(h.totalSamples, std::int64_t{2} * channels, "declared samples");
    // The whole section is in the file; only the words of the rows are read.
    reader.skip(rows.first * 2 * channels, "sample data");
    const auto raw = reader.bytes((rows.end - rows.first) * 2 * channels, "sample data");

    table.reset(h.totalSamples, channels, rows);
    std::vector<std::int16_t*> columns;
    std::vector<char> negate;
    slotTargets(table, options, columns, negate);
    std::vector<double> zero(std::size_t(channels), 0.0);
    for (int j = 0; j < channels && j < kSlotCount; ++j)
        zero[j] = double(h.channelScale[j + 16]) / h.channelScale[j];
    for (int j = 0; j < channels; ++j) {
        const std::byte* word = raw.data() + 2 * j;
        const double z = zero[std::size_t(j)];
        std::int16_t* column = columns[std::size_t(j)];
        for (std::int64_t i = rows.first; i < rows.end; ++i, word += 2 * channels) {
            const unsigned r =
                std::to_integer<unsigned>(word[0]) | (std::to_integer<unsigned>(word[1]) << 8);
            const auto v = static_cast<std::int16_t>(roundedCount((z + r) / 16.0));
            column[i] = negate[std::size_t(j)] ? negateSaturated(v) : v;
        }
    }
}

}  // namespace waveharm::detail
