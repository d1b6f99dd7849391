#pragma once
// An open recording file read in pieces: the readers ask for the bytes they parse (the
// header, the rows of the sample table they decode) and only those are fetched from the
// disk. A run over a campaign reads a few percent of each file instead of all of it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace waveharm {

class FilePieces {
  public:
    FilePieces() = default;
    ~FilePieces();
    FilePieces(const FilePieces&) = delete;
    FilePieces& operator=(const FilePieces&) = delete;

    /// Opens a file for reading in pieces, closing the one open before; its size is
    /// taken now. `name` names the file in errors. Throws InputError when the path is a
    /// folder or not a regular file (NotARegularFile) or cannot be opened (CannotOpen).
    void open(const std::filesystem::path& path, const std::string& name);
    void close();
    bool isOpen() const { return m_handle >= 0; }

    std::int64_t size() const { return m_size; }
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

    int m_handle = -1;
    std::string m_name;
    std::int64_t m_size = 0;
    std::int64_t m_fetched = 0;
    // Pieces in use come first; those after them keep their storage for the next file.
    std::vector<Piece> m_pieces;
    std::size_t m_used = 0;
};

}  // namespace waveharm
