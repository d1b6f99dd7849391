#pragma once
// The "harm" result files: one record per save interval, appended field by field
// (little-endian, no padding). One file for every measurement type except the
// three-phase three-wattmeter one, which writes one file per phase (R, T, S).

#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "base/error.h"
#include "engine/harmonic_result.h"
#include "output/record_format.h"
#include "settings/conversion_settings.h"

namespace waveharm {

/// A result file that cannot be opened or written: names the file and the reason.
/// The run must stop; records already written stay on disk.
class OutputError : public std::runtime_error {
  public:
    /// `systemError` is the errno the system gave, 0 when none.
    OutputError(ErrorKind kind, std::string file, std::string reason, int systemError = 0);
    ErrorKind kind() const { return m_kind; }
    const std::string& file() const { return m_file; }
    const std::string& reason() const { return m_reason; }
    int systemError() const { return m_systemError; }

  private:
    ErrorKind m_kind;
    std::string m_file;
    std::string m_reason;
    int m_systemError;
};

/// `chosenName` up to the first "." of its file name (the whole path when the file name
/// has none) + `extension`; folders are separated by "/" or "\".
std::string outputFileNameFor(const std::string& chosenName, const std::string& extension);

/// The R, T and S file names: the letter inserted after the "." that starts the extension
/// of the file name (appended to the name when the file name has no ".").
std::array<std::string, 3> phaseFileNames(const std::string& outputFileName);

/// The result files a run with `settings` writes: `outputFileName`, or its R, T and S
/// files for the three-wattmeter type.
std::vector<std::string> resultFileNames(const ConversionSettings& settings);

/// Those of `resultFileNames(settings)` that exist already (a run would replace them).
std::vector<std::string> existingResultFiles(const ConversionSettings& settings);

/// Checks that a file can be created in the folder of `fileName` by creating and removing
/// a scratch file there; nothing else in the folder is touched. Throws OutputError
/// (CannotCreate) naming the folder and the reason.
void checkResultFolderWritable(const std::string& fileName);

class ResultWriter {
  public:
    virtual ~ResultWriter() = default;

    /// Opens the file set named by `settings.outputFileName` (three per-phase files for
    /// the three-wattmeter type), created or truncated. Throws OutputError.
    static std::unique_ptr<ResultWriter> open(const ConversionSettings& settings);

    /// Called once per analysed recording, after the aggregation. Writes a record when
    /// the recording's minute differs from the last record's (every call when
    /// `outputUnderOneMinute`) and the interval holds a recording; then clears the
    /// interval. The record reaches the operating system at once (a crash of the program
    /// loses nothing written); the files are synchronised to the disk when closed.
    /// Returns true when a record was written. Throws OutputError.
    virtual bool offer(DateTime recordingTime, IntervalAggregate& interval) = 0;

    /// End of run: an interval still holding recordings is written as a last record
    /// stamped with the minute of `lastRecordingTime`. Returns true when written.
    virtual bool flushPending(DateTime lastRecordingTime, IntervalAggregate& interval) = 0;

    /// Synchronises the files to the disk and closes them (idempotent): at the end of a
    /// run and when it is stopped. Throws OutputError when either fails.
    virtual void close() = 0;

    virtual std::vector<std::string> fileNames() const = 0;
    virtual int recordsWritten() const = 0;
};

}  // namespace waveharm
