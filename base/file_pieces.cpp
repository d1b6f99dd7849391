#include "base/file_pieces.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "base/error.h"

namespace waveharm {

namespace {

// A request of a header field's or section tag's size fetches a piece that starts on a
// 4 KB boundary and holds at least 32 KB: the header of any layout comes in one read.
// Longer requests are sample rows and are fetched exactly, so the rows of each 8840
// channel do not drag along most of the channel.
constexpr std::int64_t kPieceAlign = 4096;
constexpr std::int64_t kMinPiece = 32 * 1024;
constexpr std::int64_t kFieldRequest = 256;

}  // namespace

FilePieces::~FilePieces() { close(); }

void FilePieces::open(const std::filesystem::path& path, const std::string& name,
                      std::string_view kindOfFile) {
    close();
    m_file.open(path, name, kindOfFile);
    m_fetched = 0;
}

void FilePieces::close() {
    m_file.close();
    m_used = 0;
}

const std::byte* FilePieces::at(std::int64_t offset, std::int64_t n) {
    assert(offset >= 0 && n >= 0 && offset + n <= m_file.size() && "bytes within the file");
    for (std::size_t i = 0; i < m_used; ++i) {
        const Piece& p = m_pieces[i];
        if (offset >= p.offset && offset + n <= p.offset + std::int64_t(p.bytes.size()))
            return p.bytes.data() + (offset - p.offset);
    }
    return fetch(offset, n);
}

FilePieces::Piece& FilePieces::freshPiece(std::int64_t offset, std::int64_t n) {
    if (m_used == m_pieces.size()) m_pieces.emplace_back();
    // A piece taken over from an earlier file keeps its storage; moving the list when it
    // grows keeps every piece's bytes where they are.
    Piece& piece = m_pieces[m_used];
    piece.offset = offset;
    piece.bytes.resize(static_cast<std::size_t>(n));
    return piece;
}

std::span<const std::byte> FilePieces::head(std::int64_t n) {
    Piece& piece = freshPiece(0, std::clamp<std::int64_t>(n, 0, m_file.size()));
    const std::int64_t got = m_file.readAt(0, piece.bytes);
    // A file cut short since its size was taken yields what it still holds.
    piece.bytes.resize(static_cast<std::size_t>(got));
    ++m_used;
    m_fetched += got;
    return piece.bytes;
}

const std::byte* FilePieces::fetch(std::int64_t offset, std::int64_t n) {
    const bool field = n <= kFieldRequest;
    const std::int64_t start = field ? offset / kPieceAlign * kPieceAlign : offset;
    const std::int64_t end =
        field ? std::min(m_file.size(), std::max(offset + n, start + kMinPiece)) : offset + n;
    // Rows that begin inside a piece already held (the first rows after a header read
    // with the header's piece) take those bytes from memory; only the rest is read.
    std::int64_t held = 0;
    std::size_t from = 0;
    for (std::size_t i = 0; i < m_used && !field; ++i) {
        const Piece& p = m_pieces[i];
        const std::int64_t pieceEnd = p.offset + static_cast<std::int64_t>(p.bytes.size());
        if (offset >= p.offset && offset < pieceEnd && pieceEnd - offset > held) {
            held = pieceEnd - offset;
            from = i;
        }
    }
    Piece& piece = freshPiece(start, end - start);
    if (held > 0) {
        const Piece& source = m_pieces[from];
        std::memcpy(piece.bytes.data(), source.bytes.data() + (start - source.offset),
                    static_cast<std::size_t>(held));
    }
    const std::int64_t want = end - start - held;
    m_file.readExactly(start + held,
                       std::span(piece.bytes).subspan(static_cast<std::size_t>(held)));
    ++m_used;
    m_fetched += want;
    return piece.bytes.data() + (offset - start);
}

}  // namespace waveharm
