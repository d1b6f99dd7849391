#pragma once
// Waveform records written as CSV by data loggers and instruments: a header row naming
// the columns, then one row per sample. Columns are separated by commas or semicolons;
// numbers use a decimal point, or a decimal comma in semicolon-separated files. A time
// column gives the rate (seconds, or date-time stamps "yyyy-mm-dd hh:mm:ss.fffffffff"
// that also give the start); without one the rate must be given.

#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "exchange/channel_record.h"

namespace waveharm {

struct CsvOptions {
    /// Samples per second; when given, the time column (if any) is not used for timing.
    std::optional<double> rate;
};

/// Parses a CSV record. `name` names the file in errors. Throws InputError naming the
/// line and the column of every value that is not a number.
ChannelRecord parseCsvRecord(std::span<const std::byte> bytes, const std::string& name,
                             const CsvOptions& options = {});

/// The start of a CSV record from the first bytes of its file (`whole`: all of it): the
/// date-time stamp of its first row; nothing when its time column holds seconds or the head
/// ends within that row. Throws InputError when its header row cannot be read.
std::optional<RecordTime> csvStartTime(std::span<const std::byte> head, bool whole);

/// Reads a CSV record from the disk. Throws InputError.
ChannelRecord readCsvRecord(const std::filesystem::path& path, const CsvOptions& options = {});

/// The unit a column's name carries: in brackets ("Va [kV]", "I1 (A)") or as its last
/// word after '_' or a blank when that is a unit ("MODAQ_Va_V"); "" when none.
std::string unitInName(std::string_view name);

}  // namespace waveharm
