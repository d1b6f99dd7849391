#include "base/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "base/error.h"
#include "base/utf8_path.h"

namespace waveharm {

namespace {

#ifdef _WIN32
// Reads n bytes at offset; the count read, -1 on failure.
std::int64_t readFrom(int handle, std::int64_t offset, std::byte* to, std::int64_t n) {
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
std::int64_t readFrom(int handle, std::int64_t offset, std::byte* to, std::int64_t n) {
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

std::string notA(std::string_view kindOfFile) {
    return "is a folder, not a " + std::string(kindOfFile);
}

}  // namespace

InputFile::~InputFile() { close(); }

InputFile::InputFile(InputFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1)),
      m_name(std::move(other.m_name)),
      m_size(std::exchange(other.m_size, 0)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = std::exchange(other.m_handle, -1);
        m_name = std::move(other.m_name);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void InputFile::open(const std::filesystem::path& path, const std::string& name,
                     std::string_view kindOfFile) {
    close();
    m_name = name;
#ifdef _WIN32
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status))
        throw InputError(ErrorKind::NotARegularFile, name, -1, notA(kindOfFile));
    // A pipe or device named like a file would hold the run forever on opening.
    if (!ec && !std::filesystem::is_regular_file(status))
        throw InputError(ErrorKind::NotARegularFile, name, -1, "is not a regular file");
    const int handle = ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY);
    if (handle < 0) throw InputError(ErrorKind::CannotOpen, name, -1, "cannot be opened");
    struct _stat64 st {};
    if (::_fstat64(handle, &st) != 0) {
        closeHandle(handle);
        throw InputError(ErrorKind::CannotRead, name, -1, "cannot be read");
    }
#else
    // Opened without blocking, so a pipe named like a file does not hold the run, and
    // asked what it is through the open file: one lookup of the path per file.
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (handle < 0) throw InputError(ErrorKind::CannotOpen, name, -1, "cannot be opened");
    struct stat st {};
    const bool known = ::fstat(handle, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        closeHandle(handle);
        if (!known) throw InputError(ErrorKind::CannotRead, name, -1, "cannot be read");
        if (S_ISDIR(st.st_mode))
            throw InputError(ErrorKind::NotARegularFile, name, -1, notA(kindOfFile));
        throw InputError(ErrorKind::NotARegularFile, name, -1, "is not a regular file");
    }
#endif
    m_handle = handle;
    m_size = static_cast<std::int64_t>(st.st_size);
}

void InputFile::close() {
    if (m_handle >= 0) closeHandle(m_handle);
    m_handle = -1;
    m_size = 0;
}

std::int64_t InputFile::readAt(std::int64_t offset, std::span<std::byte> to) {
    const std::int64_t got =
        m_handle < 0 ? -1
                     : readFrom(m_handle, offset, to.data(), static_cast<std::int64_t>(to.size()));
    if (got < 0) throw InputError(ErrorKind::CannotRead, m_name, -1, "cannot be read");
    return got;
}

void InputFile::readExactly(std::int64_t offset, std::span<std::byte> to) {
    const auto want = static_cast<std::int64_t>(to.size());
    const std::int64_t got = m_handle < 0 ? -1 : readFrom(m_handle, offset, to.data(), want);
    if (got != want)
        throw InputError(
            ErrorKind::CannotRead, m_name, offset,
            got < 0 ? "cannot be read" : "cannot be read: the file is shorter than its size said");
}

void readFileBytes(const std::filesystem::path& path, std::string_view kindOfFile,
                   std::vector<std::byte>& bytes) {
    InputFile file;
    file.open(path, utf8Text(path), kindOfFile);
    // A buffer that held a file of the same size keeps its storage: nothing is cleared.
    bytes.resize(static_cast<std::size_t>(file.size()));
    file.readExactly(0, bytes);
}

std::vector<std::byte> readFileBytes(const std::filesystem::path& path,
                                     std::string_view kindOfFile) {
    std::vector<std::byte> bytes;
    readFileBytes(path, kindOfFile, bytes);
    return bytes;
}

}  // namespace waveharm
