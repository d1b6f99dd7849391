// Placing recorder channels in analysis slots and decoding the frame families
// (MR8880, 8847, 8841/8835/8807), whose sample section is read in one piece.

#include <algorithm>
#include <vector>

#include "input/layouts.h"

namespace waveharm::detail {

namespace {

// Words above the 16-bit range only occur in damaged files; they saturate.
struct Mr8880Word {
    std::int16_t operator()(unsigned hi, unsigned lo) const {
        return static_cast<std::int16_t>(std::min(int(256 * hi + lo) - 8192, 32767));
    }
};
struct F8847Word {
    std::int16_t operator()(unsigned hi, unsigned lo) const {
        return static_cast<std::int16_t>(int(256 * hi + lo) - 32768);
    }
};
// A big-endian two's-complement word.
struct F8841Word {
    std::int16_t operator()(unsigned hi, unsigned lo) const {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>((hi << 8) | lo));
    }
};

// One slot's words of the frames of rows `rows`, from `word` (its word in the first of
// them) on, frame after frame.
template <bool Negate, typename Decode>
void decodeSlot(const std::byte* word, std::int64_t frameBytes, std::int16_t* column, RowRange rows,
                Decode decode) {
    for (std::int64_t i = rows.first; i < rows.end; ++i, word += frameBytes) {
        const std::int16_t v =
            decode(std::to_integer<unsigned>(word[0]), std::to_integer<unsigned>(word[1]));
        column[i] = Negate ? negateSaturated(v) : v;
    }
}

// The frames of rows `rows`, which `raw` holds from the first of them, slot after slot:
// each column is written in order and no choice is made per word.
template <typename Decode>
void decodeFrameWords(std::span<const std::byte> raw, std::int64_t frameBytes,
                      const std::vector<std::int16_t*>& columns, const std::vector<char>& negate,
                      RowRange rows, Decode decode) {
    for (std::size_t j = 0; j < columns.size(); ++j) {
        const std::byte* word = raw.data() + 2 * j;
        if (negate[j])
            decodeSlot<true>(word, frameBytes, columns[j], rows, decode);
        else
            decodeSlot<false>(word, frameBytes, columns[j], rows, decode);
    }
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
    // The rows not loaded are 0 and stay 0.
    const RowRange rows = table.loadedRows();
    for (int s = 0; s < 2 && s < table.channelCount(); ++s) {
        if (!options.invertVoltage[s]) continue;
        const auto column = table.column(s).subspan(
            static_cast<std::size_t>(rows.first), static_cast<std::size_t>(rows.end - rows.first));
        for (std::int16_t& v : column) v = negateSaturated(v);
    }
}

void slotTargets(SampleTable& table, const ReadOptions& options,
                 std::vector<std::int16_t*>& columns, std::vector<char>& negate) {
    const int channels = table.channelCount();
    columns.resize(std::size_t(channels));
    negate.resize(std::size_t(channels));
    for (int j = 0; j < channels; ++j) {
        const SlotPlacement place = placementFor(j, channels, options);
        columns[j] = table.column(place.slot).data();
        negate[j] = place.negate;
    }
}

void decodeFrames(ByteReader& reader, const RecorderFileHeader& h, const ReadOptions& options,
                  RowRange rows, SampleTable& table) {
    const std::int64_t frameBytes = 2 * (h.channelCount + (h.recorderFamily == 47 ? 1 : 0));
    reader.seek(h.sampleOffset, "sample data");
    reader.requireItems(h.totalSamples, frameBytes, "declared samples");
    // The whole section is in the file; only the frames of the rows are read.
    reader.skip(rows.first * frameBytes, "sample data");
    const auto raw = reader.bytes((rows.end - rows.first) * frameBytes, "sample data");

    table.reset(h.totalSamples, h.channelCount, rows);
    std::vector<std::int16_t*> columns;
    std::vector<char> negate;
    slotTargets(table, options, columns, negate);
    if (h.recorderFamily == 80)
        decodeFrameWords(raw, frameBytes, columns, negate, rows, Mr8880Word{});
    else if (h.recorderFamily == 47)
        decodeFrameWords(raw, frameBytes, columns, negate, rows, F8847Word{});
    else
        decodeFrameWords(raw, frameBytes, columns, negate, rows, F8841Word{});
}

}  // namespace waveharm::detail
