#pragma once
// One result file on disk: created or truncated when opened and appended one whole
// record at a time. Each record goes to the operating system in one write as its
// interval completes, so a crash of the program loses nothing written; the file is
// synchronised to the disk once, when it is closed at the end of a run or when the run
// is stopped ("終了"). A power cut during a run may lose the records since the start of
// that run that the system had not yet put on the disk itself.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace waveharm {

class ResultFile {
  public:
    ResultFile() = default;
    ~ResultFile();  ///< closes without reporting; call close() to learn of failures
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;
    ResultFile(ResultFile&& other) noexcept;
    ResultFile& operator=(ResultFile&& other) noexcept;

    /// Creates `name` (UTF-8 path) or empties an existing file. Throws OutputError.
    void open(const std::string& name);
    /// Appends one record with a single unbuffered write (not synchronised to the disk).
    /// On failure the file is cut back to its last whole record, every later append
    /// fails too, and OutputError names the file and the reason.
    void append(std::span<const std::byte> record);
    /// Cuts the file back to `bytes` (a record boundary) after a failed record set,
    /// so that related files keep the same record count; no further append succeeds.
    void rollBackTo(std::int64_t bytes) noexcept;
    /// Asks the system to put every record written so far on the disk. Throws
    /// OutputError when it cannot.
    void sync();
    /// Synchronises the file to the disk and closes it (idempotent). Throws OutputError
    /// when either fails; the file is closed in any case.
    void close();

    const std::string& name() const { return m_name; }
    std::int64_t bytesWritten() const { return m_bytes; }

  private:
    [[noreturn]] void fail(const char* action, int error);

    std::string m_name;
    std::FILE* m_file = nullptr;
    std::int64_t m_bytes = 0;
    bool m_failed = false;
};

}  // namespace waveharm
