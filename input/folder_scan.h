#pragma once
// The pieces of the folder scan that need no folder: the file-name pattern, the
// quick start-time test, the time-order sort and the duplicate-name rename.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"

namespace waveharm {

/// True when a file name matches the folder's pattern, ignoring case: "*.MEM", or
/// with the 8840 option "*.wav" and "*.wev".
bool matchesRecordingPattern(std::string_view fileName, bool wevFiles);

/// Start time from the first bytes of a recording (at least the first 104), without
/// time-difference correction: a recognised `.MEM` header, or with `wevFiles` also an
/// 8840 header, read as the header reader reads it. Nothing when the file is not
/// recognised; InputError when its date or time cannot be converted.
std::optional<DateTime> quickStartTime(std::span<const std::byte> head, bool wevFiles = false);

/// Sorts names and times (parallel) by start time; entries of equal time keep their
/// relative order (a later entry moves ahead only when strictly earlier).
void sortByStartTime(std::vector<std::string>& names, std::vector<DateTime>& startTimes);

/// The next free rename target "AUTO" + counter + `extension` (".MEM", or an 8840 file's
/// own ".wav"/".wev"): increments `counter` (so the first of a scan that starts at 5000
/// is AUTO5001.MEM) and keeps incrementing while `isTaken` reports the name as already
/// present, so no file is ever overwritten.
std::string nextAutoName(int& counter, const std::function<bool(const std::string&)>& isTaken,
                         std::string_view extension = ".MEM");

}  // namespace waveharm
