#pragma once
// Opening and reading a file through its UTF-8 name, the one way every reader of the
// program opens a file: a recording, a result file, anything read back. A folder, pipe
// or device named like a file is refused before anything waits on it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace waveharm {

/// A regular file open for reading. Move-only; closed on destruction.
class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    /// Opens `path`, closing the file open before, and takes its size now. `name` names
    /// the file in errors; `kindOfFile` ("recording", "result file") says what a folder
    /// in its place is not. Throws InputError: NotARegularFile for a folder, pipe or
    /// device, CannotOpen when the system refuses, CannotRead when the size is unknown.
    void open(const std::filesystem::path& path, const std::string& name,
              std::string_view kindOfFile);
    void close();
    bool isOpen() const { return m_handle >= 0; }

    const std::string& name() const { return m_name; }
    /// Bytes in the file when it was opened.
    std::int64_t size() const { return m_size; }
    /// Reads up to `to.size()` bytes at `offset`; returns how many were read, fewer
    /// only where the file ends. Throws InputError (CannotRead) when the system fails.
    std::int64_t readAt(std::int64_t offset, std::span<std::byte> to);
    /// Reads exactly `to.size()` bytes at `offset`. Throws InputError (CannotRead) when
    /// the read fails or the file is shorter than its size said (cut while being read).
    void readExactly(std::int64_t offset, std::span<std::byte> to);

  private:
    int m_handle = -1;
    std::string m_name;
    std::int64_t m_size = 0;
};

/// Reads a whole file into `bytes`, whose storage is reused (a reader of many files
/// keeps one). Errors name the file by its path; see InputFile::open for `kindOfFile`.
/// Throws InputError.
void readFileBytes(const std::filesystem::path& path, std::string_view kindOfFile,
                   std::vector<std::byte>& bytes);
/// The same into a new buffer.
std::vector<std::byte> readFileBytes(const std::filesystem::path& path,
                                     std::string_view kindOfFile);

}  // namespace waveharm
