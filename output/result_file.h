#pragma once
// One result file on disk: created or truncated when opened, appended one whole
// record at a time, and flushed to the disk after every record so that a run
// which ends early (power cut, crash) keeps every record written so far.

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
    /// Appends one record with a single write and flushes it to the disk. On failure
    /// the file is cut back to its last whole record, every later append fails too,
    /// and OutputError names the file and the reason.
    void append(std::span<const std::byte> record);
    /// Cuts the file back to `bytes` (a record boundary) after a failed record set,
    /// so that related files keep the same record count; no further append succeeds.
    void rollBackTo(std::int64_t bytes) noexcept;
    /// Closes the file (idempotent). Throws OutputError when the close fails.
    void close();

    const std::string& name() const { return m_name; }
    std::int64_t bytesWritten() const { return m_bytes; }
    bool isOpen() const { return m_file != nullptr; }

  private:
    [[noreturn]] void fail(const char* action, int error);

    std::string m_name;
    std::FILE* m_file = nullptr;
    std::int64_t m_bytes = 0;
    bool m_failed = false;
};

}  // namespace waveharm
