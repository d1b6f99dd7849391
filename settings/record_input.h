#pragma once
// How the records of other instruments are read: their format (COMTRADE, CSV), the rate of
// CSV records without a time column, which channel carries each quantity of the
// measurement, and whether their own transformer ratios or the ones the user gives turn
// them into primary values.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace waveharm {

/// The files a run reads: the recorder's own (`.MEM`, or 8840 files with `wevFiles`) or
/// records of other instruments in an exchange format.
enum class RecordFormat : std::int16_t {
    Recorder = 0,  ///< the recorder's `.MEM` / 8840 files
    Comtrade = 1,  ///< COMTRADE: `.cfg` with its `.dat`, or `.cff`
    Csv = 2,       ///< CSV with a header row
};

/// Feeders whose currents a channel map can name (as for the recorder: ch3/ch4 .. ch15/ch16).
inline constexpr int kMappedFeeders = 7;
/// Quantities of the channel map: 0 R-S, 1 T-S, then per feeder f = 1..7 its R, T and S
/// currents at 2 + 3(f − 1) + 0, 1, 2 (S with three wattmeters only).
inline constexpr int kMappedQuantities = 2 + 3 * kMappedFeeders;

/// Index of feeder f's (1-based) current of phase 0 R, 1 T, 2 S.
inline constexpr int currentQuantity(int feeder, int phase) { return 2 + 3 * (feeder - 1) + phase; }
/// "VRS", "VTS", "I1R", "I1T", "I1S", ..., "I7S".
std::string quantityKey(int quantity);
/// The quantity of a key (letters in any case); nothing for an unknown key.
std::optional<int> quantityOfKey(std::string_view key);

/// The channel of each quantity as the user wrote it: "#3", a channel's name, "VA-VB" or
/// "-VBC"; "" where none is given.
struct RecordChannelMap {
    std::array<std::string, kMappedQuantities> expressions{};

    bool empty() const;
    /// "VRS=VA-VB,VTS=VC-VB,I1R=IA,I1T=IC" (the quantities given, in order).
    std::string text() const;
    friend bool operator==(const RecordChannelMap&, const RecordChannelMap&) = default;
};

/// Parses "VRS=EXPR,VTS=EXPR,I1R=EXPR,..." into `map` (quantities not named are left as
/// they are). Throws std::invalid_argument naming the part that cannot be read.
void parseChannelMap(std::string_view text, RecordChannelMap& map);

struct RecordInput {
    RecordFormat format = RecordFormat::Recorder;
    /// Samples per second of CSV records; nothing: from their time column.
    std::optional<double> csvRate;
    RecordChannelMap channelMap;
    /// The user gives PT and CT ratios: the values are taken as the file writes them and
    /// scaled by those ratios. Otherwise each channel's own ratio gives primary values.
    bool ratiosGiven = false;
};

}  // namespace waveharm
