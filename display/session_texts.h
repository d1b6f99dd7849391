#pragma once
// What the settings screen tells about the input folder and the current file.

#include <string>

#include "run/session.h"

namespace waveharm {

/// Told when the wiring is confirmed but the folder holds nothing to convert.
inline constexpr const char* kNothingToConvert = "変換する記録がフォルダにありません。";

/// A scan note or read error in Japanese: the file, the kind of fault and the byte
/// position when known; a read error adds the reader's words as its detail.
std::string sessionNoteText(const SessionNote& note);

}  // namespace waveharm
