#pragma once
// What went wrong with a file, as one word the screens can put in the user's language
// (every read, analysis and write error of the core carries one of these), and the one
// error malformed or unreadable input raises.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace waveharm {

enum class ErrorKind {
    // Reading a recording, a folder or a result file.
    NotARegularFile,     ///< a folder, pipe or device where a file was expected
    CannotOpen,          ///< the system refused to open the file
    CannotRead,          ///< the system failed while reading
    FolderUnreadable,    ///< the folder cannot be listed
    FileTooShort,        ///< shorter than the header of its layout
    NotARecording,       ///< no recorder waveform layout recognised
    InvalidHeaderValue,  ///< a header field holds a value that cannot be right
    DataOutsideFile,     ///< a length or position points past the end of the file
    BrokenLayout,        ///< a section tag missing, a chain looping, too few descriptions
    NoChannel,           ///< the recording holds no channel
    NotAResultFile,      ///< a result file whose layout cannot be told or does not fit
    // Analysing a recording.
    NotAnalysable,  ///< dead voltage, missing channel, window beyond the samples, …
    // Writing result files.
    NoOutputName,  ///< no result file name was chosen
    CannotCreate,  ///< the result file cannot be created
    CannotWrite,   ///< a record cannot be written or flushed to the disk
    CannotClose,   ///< the result file cannot be closed
};

/// Every kind, for catalogues that must cover them all.
inline constexpr ErrorKind kAllErrorKinds[] = {
    ErrorKind::NotARegularFile,    ErrorKind::CannotOpen,      ErrorKind::CannotRead,
    ErrorKind::FolderUnreadable,   ErrorKind::FileTooShort,    ErrorKind::NotARecording,
    ErrorKind::InvalidHeaderValue, ErrorKind::DataOutsideFile, ErrorKind::BrokenLayout,
    ErrorKind::NoChannel,          ErrorKind::NotAResultFile,  ErrorKind::NotAnalysable,
    ErrorKind::NoOutputName,       ErrorKind::CannotCreate,    ErrorKind::CannotWrite,
    ErrorKind::CannotClose,
};

/// Malformed or unreadable input: names the file, the byte offset (when known), the
/// kind of fault and what is wrong. Every reader reports bad input through this one type.
class InputError : public std::runtime_error {
  public:
    InputError(ErrorKind kind, std::string file, std::int64_t offset, std::string reason);
    ErrorKind kind() const { return m_kind; }
    const std::string& file() const { return m_file; }
    std::int64_t offset() const { return m_offset; }  ///< -1 when not tied to a position
    const std::string& reason() const { return m_reason; }

  private:
    ErrorKind m_kind;
    std::string m_file;
    std::int64_t m_offset;
    std::string m_reason;
};

}  // namespace waveharm
