#pragma once
// A recorder waveform file as the rest of the program sees it: the recording
// information from its header and its samples, one column per channel slot.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "base/error.h"
#include "base/utf8_path.h"
#include "settings/conversion_settings.h"

namespace waveharm {

inline constexpr int kSlotCount = 16;       ///< channel slots shown and loaded
inline constexpr int kRangeSlotCount = 21;  ///< room in `RangePerDiv`

struct ChannelSlotInfo {
    std::string name = "ch--";     ///< "ch" + channel number ("ch1-3" for unit 1, channel 3)
    std::string rangeText = "--";  ///< input range per division as the file writes it
    bool channelInUse = false;
};

/// The recording information of one waveform file.
struct RecorderFileHeader {
    std::string model;  ///< "MR8880", "8847", "8841", "8835", "8807", "886x…", "8840"
    std::int16_t recorderFamily = 0;  ///< 80, 47, 41, 86 or 40
    std::int16_t channelCount = 0;    ///< accepted channel slots
    std::int16_t headerBlockCount = 0;
    double pointsPerDiv = 0;        ///< sample points per time division
    double countsPerDiv = 0;        ///< raw counts per vertical division
    DateTime startTime;             ///< with the time-difference correction (none for 47)
    DateTime startTimeUncorrected;  ///< as written in the file
    std::string timeAxisText;       ///< e.g. "10ms" (8840: first 5 characters)
    std::string recordLengthText;   ///< record length in divisions as shown
    std::int64_t totalSamples = 0;  ///< samples per channel
    double samplingRateKHz = 0;     ///< kilosamples per second, rounded to 0.1 S/s
    double pretrigger = 0;          ///< pre-trigger value (percent)
    double recordTimeMs = 0;        ///< (totalSamples - 1) / samplingRateKHz
    std::array<ChannelSlotInfo, kSlotCount> slots{};
    std::array<float, kRangeSlotCount> rangePerDiv{};  ///< physical units per division
    /// 886x only: [k] scale, [k+16] offset, [k+32] factor u of slot k.
    std::array<float, 48> channelScale{};
    /// Byte offset of the sample section (frames, 886x chain base or 8840 data).
    std::int64_t sampleOffset = 0;
    /// Records of other instruments: samples of the analysed stretch at the limit of their
    /// file's number format (recorder files report range over instead).
    std::int64_t clippedSamples = 0;
    /// Records of other instruments: the file's format ("COMTRADE 1999 BINARY", "CSV");
    /// empty for the recorder's own files.
    std::string recordFormat;

    bool isMr8880() const { return recorderFamily == 80; }
    std::string dateText() const { return formatDateText(startTime); }  ///< "yy/mm/dd(aaa)"
    std::string timeText() const { return formatTimeText(startTime); }  ///< "hh:mm:ss"
};

/// Largest feeder count the recording offers for a measurement type: channels per
/// feeder c (1 or 2), m = (channelCount - c) div c, at least 1. The 8840 layout always
/// counts two channels per feeder.
int maxFeederCount(const RecorderFileHeader& header, MeasurementType type);

/// Rows first .. end − 1 of a sample table.
struct RowRange {
    std::int64_t first = 0;
    std::int64_t end = 0;

    bool empty() const { return end <= first; }
    bool contains(const RowRange& other) const {
        return other.empty() || (first <= other.first && other.end <= end);
    }
};

/// Raw 16-bit samples of the current recording, indexed [sample i][slot s] for
/// i = 0..N (row N is zero) and s = 0..channelCount-1. One slot's samples are
/// contiguous. A record of another instrument holds real values instead (volts and
/// amperes, not counts): `holdsReals`, read through `realColumn`.
class SampleTable {
  public:
    SampleTable() = default;
    SampleTable(std::int64_t totalSamples, int channelCount);

    /// Makes this an all-zero table of these dimensions whose rows `rows` are about to
    /// be filled. A table of the same dimensions keeps its storage and clears only the
    /// rows it held, so a run of recordings of one layout allocates once.
    void reset(std::int64_t totalSamples, int channelCount, RowRange rows);

    std::int64_t totalSamples() const { return m_samples; }  ///< N (rows 0..N-1 hold data)
    /// The rows decoded from the file (all N unless a span was asked for); the others
    /// read 0.
    RowRange loadedRows() const { return m_loaded; }
    int channelCount() const { return m_channels; }
    std::int16_t at(std::int64_t i, int slot) const { return m_data[index(i, slot)]; }
    std::int16_t& at(std::int64_t i, int slot) { return m_data[index(i, slot)]; }
    /// All N + 1 values of one slot (a table of counts).
    std::span<const std::int16_t> column(int slot) const;
    std::span<std::int16_t> column(int slot);

    /// Makes this an all-zero table of real values of these dimensions, every row loaded.
    void resetReal(std::int64_t totalSamples, int channelCount);
    bool holdsReals() const { return m_real; }
    /// All N + 1 values of one slot of a table of real values (row N is zero).
    std::span<const double> realColumn(int slot) const;
    std::span<double> realColumn(int slot);

  private:
    std::size_t index(std::int64_t i, int slot) const;
    std::int64_t m_samples = 0;
    int m_channels = 0;
    RowRange m_loaded;
    std::vector<std::int16_t> m_data;
    bool m_real = false;
    std::vector<double> m_realData;
};

/// Options that change how a file is read (settings that bear on reading).
struct ReadOptions {
    bool wevFiles = false;  ///< read the 8840 layout instead of `.MEM`
    double timeOffsetHours = 0;
    bool swapVoltages = false;
    std::array<bool, 2> invertVoltage{};
    std::array<bool, 7> invertCurrent{};
    /// Recorder channels per feeder: 2 (R and T), or 1 for the types that measure one
    /// current per feeder (feeder f's current then on the channel after the voltage's).
    int channelsPerFeeder = 2;

    static ReadOptions from(const ConversionSettings& settings);
};

/// A recording read from one file: header and samples together, so samples are
/// never interpreted under another file's description.
struct Recording {
    RecorderFileHeader header;
    SampleTable samples;
};

/// Parses the header of a file held in memory. `name` is used in errors only.
/// Throws InputError for unrecognised or malformed headers.
RecorderFileHeader parseHeader(std::span<const std::byte> bytes, const ReadOptions& options,
                               const std::string& name);

/// Decodes the samples of a file held in memory under its own header: every row, or only
/// `rows` (clipped to the recording; the other rows read 0). For 886x files also fills
/// the header's `rangePerDiv` and `channelScale`. The file is checked as a whole either
/// way. Throws InputError.
SampleTable decodeSamples(std::span<const std::byte> bytes, RecorderFileHeader& header,
                          const ReadOptions& options, const std::string& name,
                          std::optional<RowRange> rows = std::nullopt);
/// The same into `table`, reusing its storage (see SampleTable::reset).
void decodeSamples(std::span<const std::byte> bytes, RecorderFileHeader& header,
                   const ReadOptions& options, const std::string& name,
                   std::optional<RowRange> rows, SampleTable& table);

/// The rows a reader of a recording needs, chosen from its header; nothing for all.
using RowChooser = std::function<std::optional<RowRange>(const RecorderFileHeader&)>;

class FilePieces;

/// Header + samples of one file: every row, or the rows `rows` chooses from the header.
/// Only the header and the bytes of the rows decoded are read from the disk; sizes are
/// checked against the whole file all the same. Throws InputError.
Recording readRecording(const std::filesystem::path& path, const ReadOptions& options,
                        const RowChooser& rows = {});
/// The same into `into`, reusing its sample table and the storage of `file` (closed
/// again on return) from the previous recording, so that a run allocates nothing per
/// recording of one layout. On InputError `into` holds no valid recording.
void readRecording(const std::filesystem::path& path, const ReadOptions& options,
                   const RowChooser& rows, Recording& into, FilePieces& file);

/// Header only (reads only the header from the disk). Throws InputError.
RecorderFileHeader readHeader(const std::filesystem::path& path, const ReadOptions& options);
/// The same through `file` (closed again on return), whose `bytesFetched` then tells how
/// much of the file was read.
RecorderFileHeader readHeader(const std::filesystem::path& path, const ReadOptions& options,
                              FilePieces& file);

/// A file of a folder that could not be listed as a recording: its kind lets the screens
/// say it in the user's language, `text()` says it in English.
struct ScanProblem {
    std::string file;
    ErrorKind kind = ErrorKind::NotARecording;
    std::int64_t offset = -1;  ///< byte position of the fault, -1 when not tied to one
    std::string reason;

    std::string text() const { return file + ": " + reason; }
};

/// The time-ordered list of a folder's recordings.
struct WaveformFileList {
    std::filesystem::path folder;
    std::vector<std::string> names;     ///< file names in recording order
    std::vector<DateTime> startTimes;   ///< parallel to names; zero time when unrecognised
    std::vector<std::string> renamed;   ///< "old -> new" notes of duplicate-name renames
    std::vector<ScanProblem> problems;  ///< files that could not be opened, with the reason

    int count() const { return static_cast<int>(names.size()); }
    std::filesystem::path pathOf(int index) const { return folder / utf8Path(names.at(index)); }
    /// Index of the earliest recording whose start could be read; -1 when none.
    int firstDatedIndex() const;
    /// "yyyy/mm/dd hh:mm:ss" of entry `index`, "-" when its start could not be read.
    std::string startText(int index) const;
    /// The earliest and the latest readable start as in `startText`; "-" when none.
    std::string firstStartText() const;
    std::string lastStartText() const;
};

/// Scans a folder: files matching "*.MEM" (case-insensitive), or "*.wav"/"*.wev" with
/// the 8840 option, in file-name order; each recognised `.MEM` file's start time (no
/// time-difference correction); a stable sort by start time. The start times are read on
/// `jobs` threads (the list is the same for any number).
WaveformFileList scanFolder(const std::filesystem::path& folder, bool wevFiles, int jobs = 1);

}  // namespace waveharm
