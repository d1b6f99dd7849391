// Placing recorder channels in analysis slots and decoding the frame families
// (MR8880, 8847, 8841/8835/8807), whose sample section is read in one piece.

#include <algorithm>

#include "input/layouts.h"

namespace waveharm::detail {

namespace {

using WordDecoder = std::int16_t (*)(unsigned hi, unsigned lo);

// Words above the 16-bit range only occur in damaged files; they saturate.
std::int16_t decodeMr8880(unsigned hi, unsigned lo) {
    return static_cast<std::int16_t>(std::min(int(256 * hi + lo) - 8192, 32767));
}
std::int16_t decode8847(unsigned hi, unsigned lo) {
    return static_cast<std::int16_t>(int(256 * hi + lo) - 32768);
}
std::int16_t decode8841(unsigned hi, unsigned lo) {
    return static_cast<std::int16_t>(int(hi >= 128 ? hi - 256 : hi) * 256 + int(lo));
}

}  // namespace

SlotPlacement placementFor(int j, int channelCount, const ReadOptions& options) {
    SlotPlacement p{j, false};
    if (j < 2) {
        // Exchanging the line voltages needs both of them in the file.
        if (options.swapVoltages && channelCount >= 2) p.slot = j ^ 1;
        return p;
    }
    const int feeder = j / 2 - 1;
    p.negate = feeder < int(options.invertCurrent.size()) && options.invertCurrent[feeder];
    return p;
}

void applyVoltageNegation(SampleTable& table, const ReadOptions& options) {
    for (int s = 0; s < 2 && s < table.channelCount(); ++s) {
        if (!options.invertVoltage[s]) continue;
        for (std::int16_t& v : table.column(s)) v = negateSaturated(v);
    }
}

SampleTable decodeFrames(ByteReader& reader, const RecorderFileHeader& h,
                         const ReadOptions& options) {
    const WordDecoder decode = h.recorderFamily == 80   ? decodeMr8880
                               : h.recorderFamily == 47 ? decode8847
                                                        : decode8841;
    const int channels = h.channelCount;
    const std::int64_t frameBytes = 2 * (channels + (h.recorderFamily == 47 ? 1 : 0));
    reader.seek(h.sampleOffset, "sample data");
    reader.requireItems(h.totalSamples, frameBytes, "declared samples");
    const auto raw = reader.bytes(h.totalSamples * frameBytes, "sample data");

    SampleTable table(h.totalSamples, channels);
    for (int j = 0; j < channels; ++j) {
        const SlotPlacement place = placementFor(j, channels, options);
        std::span<std::int16_t> column = table.column(place.slot);
        const std::byte* word = raw.data() + 2 * j;
        for (std::int64_t i = 0; i < h.totalSamples; ++i, word += frameBytes) {
            const std::int16_t v =
                decode(std::to_integer<unsigned>(word[0]), std::to_integer<unsigned>(word[1]));
            column[i] = place.negate ? negateSaturated(v) : v;
        }
    }
    return table;
}

}  // namespace waveharm::detail
