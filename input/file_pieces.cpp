#include "input/file_pieces.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "input/recording.h"

namespace waveharm {

namespace {

// A request of a header field's or section tag's size fetches a piece that starts on a
// 4 KB boundary and holds at least 32 KB: the header of any layout comes in one read.
// Longer requests are sample rows and are fetched exactly, so the rows of each 8840
// channel do not drag along most of the channel.
constexpr std::int64_t kPieceAlign = 4096;
constexpr std::int64_t kMinPiece = 32 * 1024;
constexpr std::int64_t kFieldRequest = 256;

#ifdef _WIN32
int openForReading(const std::filesystem::path& path) {
    return ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY);
}
std::int64_t sizeOf(int handle) {
    struct _stat64 st {};
    return ::_fstat64(handle, &st) == 0 ? std::int64_t(st.st_size) : -1;
}
// Reads n bytes at offset; the count read, -1 on failure.
std::int64_t readAt(int handle, std::int64_t offset, std::byte* to, std::int64_t n) {
    if (::_lseeki64(handle, offset, SEEK_SET) != offset) return -1;
    std::int64_t done = 0;
    while (done < n) {
        const int chunk = static_cast<int>(std::min<std::int64_t>(n - done, 1 << 30));
        const int got = ::_read(handle, to + done, static_cast<unsigned>(chunk));
        if (got < 0) return -1;
        if (got == 0) break;
        done += got;
    }
    return done;
}
void closeHandle(int handle) { ::_close(handle); }
#else
std::int64_t readAt(int handle, std::int64_t offset, std::byte* to, std::int64_t n) {
    std::int64_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(handle, to + done, static_cast<std::size_t>(n - done),
                                    static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}
void closeHandle(int handle) { ::close(handle); }
#endif

}  // namespace

FilePieces::~FilePieces() { close(); }

void FilePieces::open(const std::filesystem::path& path, const std::string& name) {
    close();
    m_name = name;
#ifdef _WIN32
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status))
        throw InputError(ErrorKind::NotARegularFile, name, -1, "is a folder, not a recording");
    // A pipe or device named like a recording would hold the run forever on opening.
    if (!ec && !std::filesystem::is_regular_file(status))
        throw InputError(ErrorKind::NotARegularFile, name, -1, "is not a regular file");
    const int handle = openForReading(path);
    if (handle < 0) throw InputError(ErrorKind::CannotOpen, name, -1, "cannot be opened");
    const std::int64_t size = sizeOf(handle);
    if (size < 0) {
        closeHandle(handle);
        throw InputError(ErrorKind::CannotRead, name, -1, "cannot be read");
    }
#else
    // Opened without blocking, so a pipe named like a recording does not hold the run,
    // and asked what it is through the open file: one lookup of the path per recording.
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (handle < 0) throw InputError(ErrorKind::CannotOpen, name, -1, "cannot be opened");
    struct stat st {};
    const bool known = ::fstat(handle, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        closeHandle(handle);
        if (!known) throw InputError(ErrorKind::CannotRead, name, -1, "cannot be read");
        if (S_ISDIR(st.st_mode))
            throw InputError(ErrorKind::NotARegularFile, name, -1, "is a folder, not a recording");
        throw InputError(ErrorKind::NotARegularFile, name, -1, "is not a regular file");
    }
    const auto size = static_cast<std::int64_t>(st.st_size);
#endif
    m_handle = handle;
    m_size = size;
    m_fetched = 0;
}

void FilePieces::close() {
    if (m_handle >= 0) closeHandle(m_handle);
    m_handle = -1;
    m_size = 0;
    m_used = 0;
}

const std::byte* FilePieces::at(std::int64_t offset, std::int64_t n) {
    assert(offset >= 0 && n >= 0 && offset + n <= m_size && "bytes within the file");
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
    if (m_handle < 0) throw InputError(ErrorKind::CannotRead, m_name, -1, "cannot be read");
    Piece& piece = freshPiece(0, std::clamp<std::int64_t>(n, 0, m_size));
    const auto want = static_cast<std::int64_t>(piece.bytes.size());
    const std::int64_t got = readAt(m_handle, 0, piece.bytes.data(), want);
    if (got < 0) throw InputError(ErrorKind::CannotRead, m_name, -1, "cannot be read");
    // A file cut short since its size was taken yields what it still holds.
    piece.bytes.resize(static_cast<std::size_t>(got));
    ++m_used;
    m_fetched += got;
    return piece.bytes;
}

const std::byte* FilePieces::fetch(std::int64_t offset, std::int64_t n) {
    if (m_handle < 0) throw InputError(ErrorKind::CannotRead, m_name, -1, "cannot be read");
    const bool field = n <= kFieldRequest;
    const std::int64_t start = field ? offset / kPieceAlign * kPieceAlign : offset;
    const std::int64_t end =
        field ? std::min(m_size, std::max(offset + n, start + kMinPiece)) : offset + n;
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
    const std::int64_t got = readAt(m_handle, start + held, piece.bytes.data() + held, want);
    if (got != want)
        throw InputError(
            ErrorKind::CannotRead, m_name, start + held,
            got < 0 ? "cannot be read" : "cannot be read: the file is shorter than its size said");
    ++m_used;
    m_fetched += got;
    return piece.bytes.data() + (offset - start);
}

}  // namespace waveharm
