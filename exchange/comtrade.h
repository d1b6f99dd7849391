#pragma once
// COMTRADE records (IEEE C37.111, the revisions of 1991, 1999 and 2013): the
// configuration file (.cfg) that describes the channels, rates and times, the data file
// (.dat) in ASCII, BINARY, BINARY32 or FLOAT32, and the single combined file (.cff) of
// 2013. The parsers take the files' bytes; the loaders read them from the disk.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/channel_record.h"

namespace waveharm {

enum class ComtradeRevision { Rev1991, Rev1999, Rev2013 };
enum class ComtradeDataType { Ascii, Binary, Binary32, Float32 };

/// "1991", "1999", "2013".
const char* revisionText(ComtradeRevision revision);
/// "ASCII", "BINARY", "BINARY32", "FLOAT32".
const char* dataTypeText(ComtradeDataType type);

/// An analog channel's line of the configuration: the channel as the record shows it and
/// how a stored value x becomes a value in the channel's unit (a·x + b).
struct ComtradeAnalog {
    RecordChannel channel;
    double a = 1;
    double b = 0;
    double skewMicroseconds = 0;
    double min = 0;
    double max = 0;
};

struct ComtradeConfig {
    ComtradeRevision revision = ComtradeRevision::Rev1991;
    std::string station;
    std::string device;
    std::vector<ComtradeAnalog> analog;
    int digitalCount = 0;
    double lineFrequency = 0;
    /// The rate segments; with `timingFromStamps` a single segment whose rate the data's
    /// time stamps give.
    std::vector<RateSegment> segments;
    bool timingFromStamps = false;
    std::int64_t sampleCount = 0;
    RecordTime start;    ///< as written (the time code's zone)
    RecordTime trigger;  ///< as written
    ComtradeDataType dataType = ComtradeDataType::Ascii;
    double timeMultiplier = 1;
    /// Seconds per unit of the data's time stamps: microseconds, or nanoseconds where a
    /// 2013 file writes its times to the nanosecond; times the multiplier.
    double stampSeconds = 1e-6;
    std::optional<int> timeCodeMinutes;   ///< 2013: the zone of the times, from UTC
    std::optional<int> localCodeMinutes;  ///< 2013: the recorder's local zone, from UTC

    /// Bytes of one sample in a binary data file: number, time stamp, analog values and
    /// the status words of the digital channels.
    std::int64_t binaryRecordBytes() const;
    /// The start in the recorder's local time (2013 time codes applied where given).
    RecordTime localStart() const;
};

/// Parses a configuration. `name` names the file in errors; `firstLine` and `baseOffset`
/// place the text inside a combined file. Throws InputError naming the line and field.
ComtradeConfig parseComtradeConfig(std::string_view text, const std::string& name,
                                   int firstLine = 1, std::int64_t baseOffset = 0);

/// Decodes a data file under its configuration into a record (values a·x + b, missing
/// values as NaN, samples at the binary formats' limits counted as clipped). For ASCII
/// data `firstLine` and `baseOffset` place the text in a combined file. Throws InputError.
ChannelRecord decodeComtradeData(const ComtradeConfig& config, std::span<const std::byte> data,
                                 const std::string& name, int firstLine = 1,
                                 std::int64_t baseOffset = 0);

/// A configuration and its data file.
ChannelRecord parseComtrade(std::span<const std::byte> cfg, const std::string& cfgName,
                            std::span<const std::byte> dat, const std::string& datName);

/// A 2013 combined file: its CFG and DAT sections (INF and HDR are passed over).
ChannelRecord parseComtradeCombined(std::span<const std::byte> cff, const std::string& name);

/// The data file beside a configuration: the same stem with ".dat" in any letter case.
/// Nothing when there is none.
std::optional<std::filesystem::path> comtradeDataPath(const std::filesystem::path& cfg);

/// Reads a `.cfg` with its `.dat`, or a `.cff`. Throws InputError.
ChannelRecord readComtrade(const std::filesystem::path& path);

/// The configuration alone (a `.cfg`, or the CFG section of a `.cff`), for listings that
/// need only the start time. Throws InputError.
ComtradeConfig readComtradeConfig(const std::filesystem::path& path);

}  // namespace waveharm
