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
struct F8841Word {
    std::int16_t operator()(unsigned hi, unsigned lo) const {
        return static_cast<std::int16_t>(int(hi >= 128 ? hi - 256 : hi) * 256 + int(lo));
    }
};

// Frames in file order, each word to its slot's column: one sequential pass over the
// sample section.
template <typename Decode>
void decodeFrameWords(std::span<const std::byte> raw, std::int64_t frameBytes,
                      const std::vector<std::int16_t*>& columns, const std::vector<char>& negate,
                      RowRange rows, Decode decode) {
    const std::size_t channels = columns.size();
    const std::byte* frame = raw.data() + rows.first * frameBytes;
    for (std::int64_t i = rows.first; i < rows.end; ++i, frame += frameBytes) {
        for (std::size_t j = 0; j < channels; ++j) {
            const std::int16_t v = decode(std::to_integer<unsigned>(frame[2 * j]),
                                          std::to_integer<unsigned>(frame[2 * j + 1]));
            columns[j][i] = negate[j] ? negateSaturated(v) : v;
        }
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
    const auto raw = reader.bytes(h.totalSamples * frameBytes, "sample data");

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
