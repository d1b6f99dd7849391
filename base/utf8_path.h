#pragma once
// File and folder names are held as UTF-8 text throughout the program. On Windows a
// path is wide and its narrow constructor and string() use the system code page, so
// Japanese names would be lost; these two conversions keep every name intact on every
// system.

#include <filesystem>
#include <string>
#include <string_view>

namespace waveharm {

/// The path of a UTF-8 file or folder name.
inline std::filesystem::path utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

/// A path as UTF-8 text, for messages and the names kept in lists.
inline std::string utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace waveharm
