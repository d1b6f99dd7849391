#pragma once
// The readers of the individual file layouts behind parseHeader and decodeSamples.
// Internal to the input library and its tests.

#include <optional>
#include <string_view>
#include <vector>

#include "base/byte_reader.h"
#include "input/recording.h"

namespace waveharm::detail {

inline constexpr std::int64_t kMemBlockSize = 512;
inline constexpr std::int64_t kMemFieldSize = 12;
inline constexpr std::int64_t kBlock8840Size = 1024;
/// More header blocks than any recorder writes (one per channel of the largest
/// multi-unit recorder plus block 0, with room to spare).
inline constexpr std::int64_t kMaxHeaderBlocks = 256;

/// Recorder family of a `.MEM` file from the identity field and the model name
/// (both with NUL bytes deleted); nothing when the file is not recognised.
std::optional<std::int16_t> memFamilyOf(std::string_view identity, std::string_view model);

/// Field k (0..41) of the 512-byte block that starts at `blockStart`, NULs deleted.
std::string memField(ByteReader& reader, std::int64_t blockStart, int k);

/// Start date-time from a date text and a time text; InputError at `offset` when
/// either cannot be converted.
DateTime startTimeFrom(const ByteReader& reader, std::int64_t offset, std::string_view date,
                       std::string_view time);

/// The start as written in a `.MEM` header (date field 7, time field 8), without the
/// time-difference correction; InputError when either cannot be converted.
DateTime memStartTime(ByteReader& reader);
/// The start as written in an 8840 header; InputError when it cannot be converted.
DateTime startTime8840(ByteReader& reader);

/// Rates derived from the time axis; InputError when the sampling rate is 0.
void deriveRates(const ByteReader& reader, RecorderFileHeader& header, double unitsPerSecond);

RecorderFileHeader parseMemHeader(ByteReader& reader, const ReadOptions& options);
RecorderFileHeader parse8840Header(ByteReader& reader, const ReadOptions& options);

/// Where the value of recorder slot j goes and whether it is negated.
struct SlotPlacement {
    int slot = 0;
    bool negate = false;
};
SlotPlacement placementFor(int j, int channelCount, const ReadOptions& options);
/// -v, with -32768 saturating to 32767.
inline std::int16_t negateSaturated(std::int16_t v) {
    return v == -32768 ? std::int16_t{32767} : static_cast<std::int16_t>(-v);
}
/// Column start and negation of every recorder slot j of the table, after placement.
void slotTargets(SampleTable& table, const ReadOptions& options,
                 std::vector<std::int16_t*>& columns, std::vector<char>& negate);
/// Negates the voltage slots selected by `invertVoltage` (after the exchange).
void applyVoltageNegation(SampleTable& table, const ReadOptions& options);

/// Frame families 80, 47 and 41: one read of the sample section, decoded from memory.
/// Each decoder checks the whole sample section and decodes the rows `rows` (within
/// 0..totalSamples) into `table` (reset to the recording's dimensions); the table's other
/// rows are 0.
void decodeFrames(ByteReader& reader, const RecorderFileHeader& header, const ReadOptions& options,
                  RowRange rows, SampleTable& table);
/// The 886x tagged-section chain; fills the header's channel scales and ranges.
void decode886x(ByteReader& reader, RecorderFileHeader& header, const ReadOptions& options,
                RowRange rows, SampleTable& table);
/// The 8840 layout, channel after channel.
void decode8840(ByteReader& reader, const RecorderFileHeader& header, const ReadOptions& options,
                RowRange rows, SampleTable& table);

}  // namespace waveharm::detail
