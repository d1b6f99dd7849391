#pragma once
// A folder of records of other instruments as a campaign: the records of one format in
// the order of their start times, as the recorder's own files are listed.

#include <filesystem>
#include <optional>
#include <string_view>

#include "input/recording.h"
#include "settings/record_input.h"

namespace waveharm {

/// True when a file name has the extension of the format's records: ".cfg" or ".cff" for
/// COMTRADE, ".csv" for CSV (in any letter case).
bool matchesRecordPattern(std::string_view fileName, RecordFormat format);

/// The start of a record as written (its configuration, or a CSV file's first row);
/// nothing when the record gives none. Throws InputError.
std::optional<DateTime> recordStartTime(const std::filesystem::path& path, RecordFormat format);

/// The records of `format` in `folder` in start-time order; a record whose start cannot
/// be read is listed with the zero time (first) and its problem. Throws InputError
/// (FolderUnreadable) when the folder cannot be listed.
WaveformFileList scanRecordFolder(const std::filesystem::path& folder, RecordFormat format);

}  // namespace waveharm
