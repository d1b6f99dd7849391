// Placing recorder channels in analysis slots and decoding the frame families
// (MR8880, 8847, 8841/8835/8807), whose sample section is read in one piece.

#include <algorithm>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "input/layouts.h"

namespace waveharm::detail {

namespace {

// Words above the 16-bit range only occur in damaged files; they saturate.
struct Mr8880Word {
    std::int16_t operator()(unsigned hi, unsigned lo) const {
        return static_cast<std::int16_t>(std::min(int(256 * hi + lo) - 8192, 32767));
    }
#if defined(__SSE2__)
    // Eight words at once: the unsigned word capped at 32767 + 8192 (a - (a -sat b) is
    // min(a, b)), then the offset taken off in 16-bit arithmetic.
    __m128i operator()(__m128i word) const {
        const __m128i cap = _mm_set1_epi16(static_cast<short>(32767 + 8192));
        const __m128i capped = _mm_sub_epi16(word, _mm_subs_epu16(word, cap));
        return _mm_sub_epi16(capped, _mm_set1_epi16(8192));
    }
#endif
};
struct F8847Word {
    std::int16_t operator()(unsigned hi, unsigned lo) const {
        return static_cast<std::int16_t>(int(256 * hi + lo) - 32768);
    }
#if defined(__SSE2__)
    // Offset binary: subtracting 32768 flips the top bit.
    __m128i operator()(__m128i word) const {
        return _mm_xor_si128(word, _mm_set1_epi16(static_cast<short>(0x8000)));
    }
#endif
};
// A big-endian two's-complement word.
struct F8841Word {
    std::int16_t operator()(unsigned hi, unsigned lo) const {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>((hi << 8) | lo));
    }
#if defined(__SSE2__)
    __m128i operator()(__m128i word) const { return word; }
#endif
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

#if defined(__SSE2__)

// Eight words of one frame, bytes put in order and decoded.
template <typename Decode>
__m128i eightWords(const std::byte* word, Decode decode) {
    const __m128i big = _mm_loadu_si128(reinterpret_cast<const __m128i*>(word));
    return decode(_mm_or_si128(_mm_slli_epi16(big, 8), _mm_srli_epi16(big, 8)));
}

// Stores a slot's eight rows, negated with saturation (-32768 becomes 32767) when asked.
template <bool MayNegate>
void storeEightRows(std::int16_t* column, bool negate, __m128i v) {
    if (MayNegate && negate) v = _mm_subs_epi16(_mm_setzero_si128(), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(column), v);
}

// Rows i .. i + 7 of slots j .. j + 7 (words j .. j + 7 of eight frames, `word` pointing
// at word j of the first): each frame's eight words loaded at once, then the 8 x 8 block
// transposed so that each slot's eight rows are stored together. The block is spelt out
// so that it stays in registers.
template <bool MayNegate, typename Decode>
void decodeEightByEight(const std::byte* word, std::int64_t frameBytes,
                        std::int16_t* const* columns, const char* negate, std::int64_t i,
                        Decode decode) {
    const __m128i r0 = eightWords(word, decode);
    const __m128i r1 = eightWords(word + frameBytes, decode);
    const __m128i r2 = eightWords(word + 2 * frameBytes, decode);
    const __m128i r3 = eightWords(word + 3 * frameBytes, decode);
    const __m128i r4 = eightWords(word + 4 * frameBytes, decode);
    const __m128i r5 = eightWords(word + 5 * frameBytes, decode);
    const __m128i r6 = eightWords(word + 6 * frameBytes, decode);
    const __m128i r7 = eightWords(word + 7 * frameBytes, decode);
    // Pairs of rows, then quadruples, word by word.
    const __m128i a0 = _mm_unpacklo_epi16(r0, r1), a1 = _mm_unpackhi_epi16(r0, r1);
    const __m128i a2 = _mm_unpacklo_epi16(r2, r3), a3 = _mm_unpackhi_epi16(r2, r3);
    const __m128i a4 = _mm_unpacklo_epi16(r4, r5), a5 = _mm_unpackhi_epi16(r4, r5);
    const __m128i a6 = _mm_unpacklo_epi16(r6, r7), a7 = _mm_unpackhi_epi16(r6, r7);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    storeEightRows<MayNegate>(columns[0] + i, negate[0], _mm_unpacklo_epi64(b0, b4));
    storeEightRows<MayNegate>(columns[1] + i, negate[1], _mm_unpackhi_epi64(b0, b4));
    storeEightRows<MayNegate>(columns[2] + i, negate[2], _mm_unpacklo_epi64(b1, b5));
    storeEightRows<MayNegate>(columns[3] + i, negate[3], _mm_unpackhi_epi64(b1, b5));
    storeEightRows<MayNegate>(columns[4] + i, negate[4], _mm_unpacklo_epi64(b2, b6));
    storeEightRows<MayNegate>(columns[5] + i, negate[5], _mm_unpackhi_epi64(b2, b6));
    storeEightRows<MayNegate>(columns[6] + i, negate[6], _mm_unpacklo_epi64(b3, b7));
    storeEightRows<MayNegate>(columns[7] + i, negate[7], _mm_unpackhi_epi64(b3, b7));
}

// Slots j .. j + 7 of the frames of rows `rows`, eight rows at a time, the last few rows
// word by word. Groups without an inverted slot (the usual case) test no slot per block.
template <typename Decode>
void decodeEightSlots(const std::byte* word, std::int64_t frameBytes, std::int16_t* const* columns,
                      const char* negate, RowRange rows, Decode decode) {
    const bool anyNegated = std::any_of(negate, negate + 8, [](char n) { return n != 0; });
    std::int64_t i = rows.first;
    for (; i + 8 <= rows.end; i += 8, word += 8 * frameBytes) {
        if (anyNegated)
            decodeEightByEight<true>(word, frameBytes, columns, negate, i, decode);
        else
            decodeEightByEight<false>(word, frameBytes, columns, negate, i, decode);
    }
    const RowRange rest{i, rows.end};
    for (int j = 0; j < 8; ++j) {
        if (negate[j])
            decodeSlot<true>(word + 2 * j, frameBytes, columns[j], rest, decode);
        else
            decodeSlot<false>(word + 2 * j, frameBytes, columns[j], rest, decode);
    }
}

#endif

// The frames of rows `rows`, which `raw` holds from the first of them: eight slots at a
// time where the processor has vector instructions, the rest slot after slot; each
// column is written in order and no choice is made per word.
template <typename Decode>
void decodeFrameWords(std::span<const std::byte> raw, std::int64_t frameBytes,
                      const std::vector<std::int16_t*>& columns, const std::vector<char>& negate,
                      RowRange rows, Decode decode) {
    std::size_t j = 0;
#if defined(__SSE2__)
    // The eight words of a group lie within each frame, so no load passes the last one.
    for (; j + 8 <= columns.size(); j += 8) {
        decodeEightSlots(raw.data() + 2 * j, frameBytes, columns.data() + j, negate.data() + j,
                         rows, decode);
    }
#endif
    for (; j < columns.size(); ++j) {
        const std::byte* word = raw.data() + 2 * j;
        if (negate[j])
            decodeSlot<true>(word, frameBytes, columns[j], rows, decode);
        else
            decodeSlot<false>(word, frameBytes, columns[j], rows, decode);
    }
}

}  // namespace

// The voltage slots: R-S and T-S, or R-S alone where each feeder has one current on the
// next slots.
namespace {
int voltageSlots(const ReadOptions& options) { return options.channelsPerFeeder == 1 ? 1 : 2; }
}  // namespace

SlotPlacement placementFor(int j, int channelCount, const ReadOptions& options) {
    SlotPlacement p{j, false};
    const bool oneCurrent = options.channelsPerFeeder == 1;
    if (j < voltageSlots(options)) {
        // Exchanging the line voltages needs both of them in the file.
        if (options.swapVoltages && !oneCurrent && channelCount >= 2) p.slot = j ^ 1;
        return p;
    }
    // A feeder's "反転" reverses the current channels of that feeder: slots 2f+2 and 2f+3,
    // or slot f+1 where each feeder has one current (the slot after the one voltage).
    const int feeder = oneCurrent ? j - 1 : j / 2 - 1;
    p.negate = feeder < int(options.invertCurrent.size()) && options.invertCurrent[feeder];
    return p;
}

void applyVoltageNegation(SampleTable& table, const ReadOptions& options) {
    // The rows not loaded are 0 and stay 0.
    const RowRange rows = table.loadedRows();
    for (int s = 0; s < voltageSlots(options) && s < table.channelCount(); ++s) {
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
