#pragma once
// An open file read in pieces: the readers ask for the bytes they parse (a recording's
// header, the rows of the sample table they decode) and only those are fetched from the
// disk. A run over a campaign reads a few percent of each recording instead of all of it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/input_file.h"

namespace waveharm {

class FilePieces {
  public:
    FilePieces() = default;
    ~FilePieces();
    FilePieces(const FilePieces&) = delete;
    FilePieces& operator=(const FilePieces&) = delete;

    /// Opens a file for reading in pieces, closing the one open before; its size is
    /// taken now. `name` names the file in errors. Throws InputError as InputFile::open.
    void open(const std::filesystem::path& path, const std::string& name,
              std::string_view kindOfFile);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    std::int64_t size() const { return m_file.size(); }
    /// The n bytes at `offset` (0 <= offset, offset + n <= size()), fetched when no piece
    /// held so far covers them. The pointer stays valid until the file is closed or
    /// another one opened. Throws InputError (CannotRead) when the file no longer yields
    /// the bytes its size promised (it was cut short while being read, or a read failed).
    const std::byte* at(std::int64_t offset, std::int64_t n);
    /// The file's first bytes, at most n of them, fetched exactly (a folder scan reads
    /// the start time and nothing more). Valid until the file is closed or another one
    /// opened. Throws InputError (CannotRead) when the read fails.
    std::span<const std::byte> head(std::int64_t n);
    /// Bytes fetched from the disk since the last file was opened (kept after closing).
    std::int64_t bytesFetched() const { return m_fetched; }

  private:
    struct Piece {
        std::int64_t offset = 0;
        std::vector<std::byte> bytes;
    };
    const std::byte* fetch(std::int64_t offset, std::int64_t n);
    Piece& freshPiece(std::int64_t offset, std::int64_t n);

    InputFile m_file;
    std::int64_t m_fetched = 0;
    // Pieces in use come first; those after them keep their storage for the next file.
    std::vector<Piece> m_pieces;
    std::size_t m_used = 0;
};

}  // namespace waveharm
