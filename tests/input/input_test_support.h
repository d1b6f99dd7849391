#pragma once
// Hand-made recorder file bytes for the input tests.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace waveharm::testing {

using Bytes = std::vector<std::byte>;

inline void putText(Bytes& b, std::size_t at, std::string_view text) {
    if (b.size() < at + text.size()) b.resize(at + text.size());
    for (std::size_t i = 0; i < text.size(); ++i) b[at + i] = std::byte(text[i]);
}

/// Writes a 12-byte `.MEM` header field padded with `pad`.
inline void putField(Bytes& b, int block, int k, std::string_view text, char pad = '\0') {
    std::string padded(text);
    padded.resize(12, pad);
    putText(b, std::size_t(block) * 512 + 12 * std::size_t(k), padded);
}

inline void putLe(Bytes& b, std::size_t at, std::uint32_t v, int size) {
    if (b.size() < at + size) b.resize(at + size);
    for (int i = 0; i < size; ++i) b[at + i] = std::byte((v >> (8 * i)) & 0xFF);
}

inline void appendBytes(Bytes& b, std::initializer_list<int> values) {
    for (int v : values) b.push_back(std::byte(v));
}

/// A `.MEM` header: block 0 with a 10 ms/div, 100 points/div, 80 counts/div time base
/// and one block per channel range ("OFF" marks a switched-off channel).
inline Bytes memHeader(std::string_view model, std::int64_t samples,
                       const std::vector<std::string>& ranges) {
    const int blocks = 1 + int(ranges.size());
    Bytes b(std::size_t(blocks) * 512);
    putField(b, 0, 0, "HW");
    putField(b, 0, 1, std::to_string(blocks));
    putField(b, 0, 2, model);
    putField(b, 0, 5, "20");
    putField(b, 0, 6, std::to_string(samples));
    putField(b, 0, 7, "18-12-12");
    putField(b, 0, 8, "10:15:10");
    putField(b, 0, 10, "100");
    putField(b, 0, 11, "10ms");
    putField(b, 0, 14, "80");
    putField(b, 0, 19, "2");
    for (int c = 0; c < int(ranges.size()); ++c) {
        putField(b, c + 1, 0, "HC");
        putField(b, c + 1, 1, std::to_string(c + 1));
        putField(b, c + 1, 2, ranges[c] == "OFF" ? "OFF" : "ON");
        putField(b, c + 1, 4, ranges[c] == "OFF" ? "10V" : ranges[c]);
    }
    return b;
}

/// Position of the first occurrence of `tag`, or npos.
inline std::size_t findTag(const Bytes& b, std::string_view tag) {
    const std::string_view all(reinterpret_cast<const char*>(b.data()), b.size());
    return all.find(tag);
}

/// A fresh empty folder under the system's temporary folder.
inline std::filesystem::path freshFolder(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("waveharm_input_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace waveharm::testing
