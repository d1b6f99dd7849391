#pragma once
// A bounds-checked cursor over a file, held in memory or open and read in pieces. Every
// read past the end raises InputError naming the file, the byte offset and what was being
// read, so parsers never touch memory outside the buffer. The end is the file's real end
// in both cases, so a declared length is checked against the same size either way.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "base/error.h"
#include "base/file_pieces.h"

namespace waveharm {

class ByteReader {
  public:
    /// `bytes` must outlive the reader; `file` names the file in errors.
    ByteReader(std::span<const std::byte> bytes, std::string file)
        : m_bytes(bytes),
          m_size(static_cast<std::int64_t>(bytes.size())),
          m_file(std::move(file)) {}
    /// Over an open file whose pieces are fetched as they are read; `pieces` must outlive
    /// the reader and the views it returns.
    ByteReader(FilePieces& pieces, std::string file)
        : m_pieces(&pieces), m_size(pieces.size()), m_file(std::move(file)) {}

    std::int64_t size() const { return m_size; }
    std::int64_t position() const { return m_pos; }
    std::int64_t remaining() const { return size() - m_pos; }
    const std::string& file() const { return m_file; }

    /// Moves to an absolute offset (0..size()); throws InputError beyond the end.
    void seek(std::int64_t offset, std::string_view what = "position") {
        // Reported at the current position, just after the number that pointed there.
        if (offset < 0 || offset > size())
            throw InputError(ErrorKind::DataOutsideFile, m_file, m_pos,
                             std::string(what) + " at byte " + std::to_string(offset) +
                                 " lies outside the file");
        m_pos = offset;
    }
    /// Advances by n bytes; throws InputError when fewer remain.
    void skip(std::int64_t n, std::string_view what = "data") {
        require(n, what);
        m_pos += n;
    }
    /// Throws unless `count` items of `itemSize` bytes remain (checked without overflow).
    void requireItems(std::int64_t count, std::int64_t itemSize, std::string_view what) const {
        if (count < 0 || itemSize <= 0 || count > remaining() / itemSize)
            throw InputError(ErrorKind::DataOutsideFile, m_file, m_pos,
                             std::string(what) + " runs past the end of the file");
    }
    /// The next n bytes as a view, advancing past them.
    std::span<const std::byte> bytes(std::int64_t n, std::string_view what = "data") {
        const std::byte* p = take(n, what);
        return {p, static_cast<std::size_t>(n)};
    }

    std::uint8_t u8() { return std::to_integer<std::uint8_t>(*take(1, "byte")); }
    std::int8_t i8() { return static_cast<std::int8_t>(u8()); }
    std::uint16_t u16le() {
        const std::byte* p = take(2, "16-bit value");
        return static_cast<std::uint16_t>(byteAt(p, 0) | (byteAt(p, 1) << 8));
    }
    std::int16_t i16le() { return static_cast<std::int16_t>(u16le()); }
    std::int32_t i32le() {
        const std::byte* p = take(4, "32-bit value");
        const std::uint32_t v = std::uint32_t(byteAt(p, 0)) | (std::uint32_t(byteAt(p, 1)) << 8) |
                                (std::uint32_t(byteAt(p, 2)) << 16) |
                                (std::uint32_t(byteAt(p, 3)) << 24);
        return static_cast<std::int32_t>(v);
    }
    /// n single-byte characters with every NUL byte deleted (blanks are kept).
    std::string text(std::int64_t n) {
        std::string s = rawText(n);
        std::erase(s, '\0');
        return s;
    }
    /// n single-byte characters exactly as stored.
    std::string rawText(std::int64_t n) {
        const std::byte* p = take(n, "text field");
        return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
    }

    /// Raises InputError of `kind` at the current position.
    [[noreturn]] void fail(ErrorKind kind, const std::string& reason) const {
        throw InputError(kind, m_file, m_pos, reason);
    }

  private:
    void require(std::int64_t n, std::string_view what) const {
        if (n < 0 || n > remaining())
            throw InputError(ErrorKind::DataOutsideFile, m_file, m_pos,
                             std::string(what) + " runs past the end of the file");
    }
    // The next n bytes, fetched from the file when it is read in pieces.
    const std::byte* take(std::int64_t n, std::string_view what) {
        require(n, what);
        const std::byte* p = m_pieces ? m_pieces->at(m_pos, n) : m_bytes.data() + m_pos;
        m_pos += n;
        return p;
    }
    static unsigned byteAt(const std::byte* p, int i) { return std::to_integer<unsigned>(p[i]); }

    std::span<const std::byte> m_bytes;
    FilePieces* m_pieces = nullptr;
    std::int64_t m_size = 0;
    std::string m_file;
    std::int64_t m_pos = 0;
};

}  // namespace waveharm
