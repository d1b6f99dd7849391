#include "campaign/whole_file.h"

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

#include "base/utf8_path.h"
#include "output/result_writer.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace waveharm {
namespace {

std::atomic<unsigned> g_partNumber{0};

// A name beside the target that no other writer of this or another process takes.
std::filesystem::path partName(const std::filesystem::path& target) {
#ifdef _WIN32
    const long pid = _getpid();
#else
    const long pid = static_cast<long>(::getpid());
#endif
    std::filesystem::path part = target;
    part += utf8Path(".part-" + std::to_string(pid) + "-" + std::to_string(++g_partNumber));
    return part;
}

std::FILE* createForWriting(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

int syncToDisk(std::FILE* f) {
#ifdef _WIN32
    return _commit(_fileno(f));
#else
    if (::fsync(fileno(f)) == 0 || errno == EINVAL) return 0;
    return -1;
#endif
}

// Renames `from` to `to`, replacing a file of that name in one step.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, int& error) {
#ifdef _WIN32
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = EACCES;
    return false;
#else
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    error = ec.value();
    return !ec;
#endif
}

std::string errorText(int error) {
    return error != 0 ? std::generic_category().message(error) : "unknown error";
}

}  // namespace

WholeFileWriter::WholeFileWriter(std::filesystem::path target)
    : m_target(std::move(target)), m_part(partName(m_target)) {
    errno = 0;
    m_file = createForWriting(m_part);
    if (!m_file) {
        const int error = errno;
        throw OutputError(ErrorKind::CannotCreate, utf8Text(m_target),
                          "cannot create the file: " + errorText(error), error);
    }
}

WholeFileWriter::~WholeFileWriter() {
    if (m_file) std::fclose(m_file);
    if (!m_committed) {
        std::error_code ec;
        std::filesystem::remove(m_part, ec);
    }
}

void WholeFileWriter::write(std::string_view text) {
    if (!m_file) throw OutputError(ErrorKind::CannotWrite, utf8Text(m_target), "already closed");
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), m_file) != text.size())
        fail("cannot write the file", errno);
}

void WholeFileWriter::finish() {
    if (!m_file) return;
    errno = 0;
    if (std::fflush(m_file) != 0 || syncToDisk(m_file) != 0) fail("cannot write the file", errno);
    errno = 0;
    const int closed = std::fclose(std::exchange(m_file, nullptr));
    if (closed != 0) fail("cannot close the file", errno);
}

void WholeFileWriter::commit() {
    if (m_committed) return;
    finish();
    int error = 0;
    if (!replaceFile(m_part, m_target, error)) fail("cannot replace the file", error);
    m_committed = true;
}

void WholeFileWriter::fail(const char* action, int error) {
    throw OutputError(ErrorKind::CannotWrite, utf8Text(m_target),
                      std::string(action) + ": " + errorText(error), error);
}

void writeWholeFile(const std::filesystem::path& target, std::string_view text) {
    WholeFileWriter file(target);
    file.write(text);
    file.commit();
}

}  // namespace waveharm
