#include "output/result_file.h"

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "base/utf8_path.h"
#include "output/result_writer.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace waveharm {
namespace {

std::FILE* createForWriting(const std::string& name) {
#ifdef _WIN32
    // Result names are UTF-8; the wide path keeps Japanese folder names intact.
    return _wfopen(utf8Path(name).c_str(), L"wb");
#else
    return std::fopen(name.c_str(), "wb");
#endif
}

// Asks the system to put the file's data on the disk. Devices and pipes that cannot
// be synchronised (EINVAL) have nothing to keep.
int syncToDisk(std::FILE* f) {
#ifdef _WIN32
    return _commit(_fileno(f));
#else
    if (::fsync(fileno(f)) == 0 || errno == EINVAL) return 0;
    return -1;
#endif
}

int truncateTo(std::FILE* f, std::int64_t bytes) {
#ifdef _WIN32
    return _chsize_s(_fileno(f), bytes);
#else
    return ::ftruncate(fileno(f), static_cast<off_t>(bytes));
#endif
}

std::string errorText(int error) {
    return error != 0 ? std::generic_category().message(error) : "unknown error";
}

}  // namespace

ResultFile::~ResultFile() {
    if (m_file) std::fclose(m_file);
}

ResultFile::ResultFile(ResultFile&& other) noexcept
    : m_name(std::move(other.m_name)),
      m_file(std::exchange(other.m_file, nullptr)),
      m_bytes(other.m_bytes),
      m_failed(other.m_failed) {}

ResultFile& ResultFile::operator=(ResultFile&& other) noexcept {
    if (this != &other) {
        if (m_file) std::fclose(m_file);
        m_name = std::move(other.m_name);
        m_file = std::exchange(other.m_file, nullptr);
        m_bytes = other.m_bytes;
        m_failed = other.m_failed;
    }
    return *this;
}

void ResultFile::open(const std::string& name) {
    if (m_file) close();
    m_name = name;
    m_bytes = 0;
    m_failed = false;
    if (name.empty())
        throw OutputError(ErrorKind::NoOutputName, name, "no result file name was chosen");
    errno = 0;
    m_file = createForWriting(name);
    if (!m_file) {
        const int error = errno;
        throw OutputError(ErrorKind::CannotCreate, name,
                          "cannot create the file: " + errorText(error), error);
    }
    // Unbuffered: each record goes to the system in one write, nothing lingers in a
    // library buffer that a crash would lose.
    std::setvbuf(m_file, nullptr, _IONBF, 0);
}

void ResultFile::append(std::span<const std::byte> record) {
    if (!m_file) throw OutputError(ErrorKind::CannotWrite, m_name, "the file is not open");
    if (m_failed)
        throw OutputError(ErrorKind::CannotWrite, m_name, "an earlier record could not be written");
    errno = 0;
    const std::size_t written = std::fwrite(record.data(), 1, record.size(), m_file);
    if (written != record.size() || std::fflush(m_file) != 0) fail("cannot write a record", errno);
    m_bytes += static_cast<std::int64_t>(record.size());
}

void ResultFile::rollBackTo(std::int64_t bytes) noexcept {
    m_failed = true;
    if (!m_file) return;
    std::clearerr(m_file);
    if (truncateTo(m_file, bytes) == 0) m_bytes = bytes;
}

void ResultFile::fail(const char* action, int error) {
    rollBackTo(m_bytes);
    throw OutputError(ErrorKind::CannotWrite, m_name, std::string(action) + ": " + errorText(error),
                      error);
}

void ResultFile::sync() {
    if (!m_file) throw OutputError(ErrorKind::CannotWrite, m_name, "the file is not open");
    errno = 0;
    if (syncToDisk(m_file) != 0)
        throw OutputError(ErrorKind::CannotWrite, m_name,
                          "cannot flush the records to the disk: " + errorText(errno), errno);
}

void ResultFile::close() {
    if (!m_file) return;
    errno = 0;
    const int synced = syncToDisk(m_file);
    const int syncError = errno;
    errno = 0;
    const int rc = std::fclose(std::exchange(m_file, nullptr));
    if (synced != 0)
        throw OutputError(ErrorKind::CannotWrite, m_name,
                          "cannot flush the records to the disk: " + errorText(syncError),
                          syncError);
    if (rc != 0) {
        const int error = errno;
        throw OutputError(ErrorKind::CannotClose, m_name,
                          "cannot close the file: " + errorText(error), error);
    }
}

}  // namespace waveharm
