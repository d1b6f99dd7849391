#pragma once
// Reads "harm" result files back, for every program that does: dump, the campaign's
// statistics, view and report, and the fuzzer. A file is split into records of the
// length its layout fixes and each field is taken from where the record's field table
// puts it; a file is read a chunk at a time, so a year of records never has to fit in
// memory at once.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"
#include "base/input_file.h"
#include "output/record_format.h"

namespace waveharm {

/// What a result file's extension says: ".hmN", ".ha4", ".ha5", ".hvN", ".hnN", each
/// possibly with the phase letter R, T or S before the "h" (letters in either case).
struct ExtensionLayout {
    HarmonicOption option = HarmonicOption::Odd1To49;
    std::optional<int> feederCount;  ///< absent for .ha4 and .ha5
    char phase = 0;
};

/// Nothing when the extension is not one of the result extensions.
std::optional<ExtensionLayout> layoutFromExtension(std::string_view fileName);

/// The layout of a file of `fileSize` bytes: `option` and `feederCount`, when given,
/// override what the extension says; a feeder count known from neither is the only
/// one (1..9) whose record length divides the file size. Throws InputError when the
/// layout cannot be told or the size is not a whole number of records.
ResultLayout resolveResultLayout(const std::string& fileName, std::int64_t fileSize,
                                 std::optional<HarmonicOption> option,
                                 std::optional<int> feederCount);

/// One record of a result file: its bytes, exactly one record long, and where it stands
/// in its file.
class RecordView {
  public:
    /// `bytes` and `file` must outlive the view.
    RecordView(std::span<const std::byte> bytes, std::int64_t index, std::int64_t offset,
               const std::string& file)
        : m_bytes(bytes), m_index(index), m_offset(offset), m_file(&file) {}

    std::int64_t index() const { return m_index; }    ///< 0-based record number in the file
    std::int64_t offset() const { return m_offset; }  ///< byte position in the file
    RecordStamp stamp() const;
    /// The calendar minute the stamp names. Throws InputError (NotAResultFile) naming
    /// the file and the record when it names none, such as 31 April.
    CivilDateTime time() const;
    /// The value of `field` of the record's format: a float, or a 16-bit whole number
    /// widened to float.
    float value(const RecordField& field) const;
    /// A 16-bit field (the time, an angle) as stored.
    std::int16_t whole(const RecordField& field) const;
    /// The values of every column of `format` (the record's own), in order, into `out`
    /// (at least `format.columns().size()` long): `value` of each, in one sweep.
    void values(const ResultRecordFormat& format, std::span<float> out) const;

  private:
    std::uint32_t bits(int offset, int width) const;

    std::span<const std::byte> m_bytes;
    std::int64_t m_index;
    std::int64_t m_offset;
    const std::string* m_file;
};

using RecordVisitor = std::function<void(const RecordView&)>;

/// Visits the records of `bytes` (a file image, or a part of one starting with record
/// `firstIndex`) in order. Throws InputError when the bytes are not a whole number of
/// records of `format`.
void forEachRecord(std::span<const std::byte> bytes, const ResultRecordFormat& format,
                   const std::string& file, std::int64_t firstIndex, const RecordVisitor& visit);

/// A result file open for reading, with the layout its name and size tell.
class ResultFileReader {
  public:
    /// Opens `path` (UTF-8) and resolves its layout (see resolveResultLayout). Throws
    /// InputError when it cannot be read, its layout cannot be told or it is not a
    /// whole number of records.
    explicit ResultFileReader(const std::string& path,
                              std::optional<HarmonicOption> option = std::nullopt,
                              std::optional<int> feederCount = std::nullopt);

    const std::string& name() const { return m_file.name(); }
    const ResultRecordFormat& format() const { return m_format; }
    std::int64_t recordCount() const { return m_records; }

    /// Reads records `first` .. `first + count - 1` (to the end when `count` is
    /// negative) about a megabyte at a time and visits each in order. Throws InputError
    /// when the file cannot be read.
    void read(const RecordVisitor& visit, std::int64_t first = 0, std::int64_t count = -1);
    /// Record `index` (0 .. recordCount() − 1), read together with about a megabyte of
    /// the records after it unless already at hand, so that records taken mostly in file
    /// order cost one read per chunk. The view is valid until the next read. Throws
    /// InputError when the file cannot be read.
    RecordView at(std::int64_t index);

  private:
    void load(std::int64_t first, std::int64_t count);

    InputFile m_file;
    ResultRecordFormat m_format;
    std::int64_t m_records = 0;
    std::vector<std::byte> m_chunk;
    std::int64_t m_chunkFirst = 0;  ///< the records in `m_chunk`
    std::int64_t m_chunkCount = 0;
};

}  // namespace waveharm
