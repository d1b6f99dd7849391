#include "output/result_reader.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cctype>

#include "base/error.h"
#include "base/utf8_path.h"

namespace waveharm {
namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string describe(const ResultLayout& layout) {
    static const char* kOptionNames[] = {"odd orders 1-49", "superposition angles", "unbalance",
                                         "angles and unbalance", "256 orders"};
    const int option = static_cast<int>(layout.option);
    const char* name = option >= 0 && option < 5 ? kOptionNames[option] : "unknown option";
    return std::to_string(layout.recordBytes()) + "-byte records (" + name + ", " +
           std::to_string(layout.feederCount) +
           (layout.feederCount == 1 ? " feeder)" : " feeders)");
}

// The one feeder count whose record length divides the size; none when several or no
// counts fit.
std::optional<int> feederCountFromSize(HarmonicOption option, std::int64_t size) {
    std::optional<int> found;
    for (int f = 1; f <= kMaxFeeders; ++f) {
        if (size % recordLength(option, f) != 0) continue;
        if (found) return std::nullopt;
        found = f;
    }
    return found;
}

}  // namespace

std::optional<ExtensionLayout> layoutFromExtension(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of("/\\");
    const std::string_view base =
        slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = base.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    std::string ext;
    for (char c : base.substr(dot + 1)) ext += lower(c);

    ExtensionLayout layout;
    if (!ext.empty() && (ext[0] == 'r' || ext[0] == 't' || ext[0] == 's')) {
        layout.phase = static_cast<char>(std::toupper(static_cast<unsigned char>(ext[0])));
        ext.erase(0, 1);
    }
    if (ext == "ha4" || ext == "ha5") {
        layout.option =
            ext == "ha4" ? HarmonicOption::WithSuperpositionAngle : HarmonicOption::WithUnbalance;
        return layout;
    }
    if (ext.size() != 3 || ext[0] != 'h' || ext[2] < '1' || ext[2] > '9') return std::nullopt;
    switch (ext[1]) {
        case 'm':
            layout.option = HarmonicOption::Odd1To49;
            break;
        case 'v':
            layout.option = HarmonicOption::WithAngleAndUnbalance;
            break;
        case 'n':
            layout.option = HarmonicOption::HighOrder256;
            break;
        default:
            return std::nullopt;
    }
    layout.feederCount = ext[2] - '0';
    return layout;
}

ResultLayout resolveResultLayout(const std::string& fileName, std::int64_t fileSize,
                                 std::optional<HarmonicOption> option,
                                 std::optional<int> feederCount) {
    const auto fromExtension = layoutFromExtension(fileName);
    ResultLayout layout;
    if (fromExtension) layout.phase = fromExtension->phase;
    if (option) {
        layout.option = *option;
    } else if (fromExtension) {
        layout.option = fromExtension->option;
    } else {
        throw InputError(ErrorKind::NotAResultFile, fileName, -1,
                         "the extension is not a result file extension (.hmN, .ha4, .ha5, "
                         ".hvN, .hnN); give the harmonic option");
    }
    if (feederCount) {
        if (*feederCount < 1 || *feederCount > kMaxFeeders)
            throw InputError(ErrorKind::NotAResultFile, fileName, -1,
                             "the feeder count must be 1 to 9");
        layout.feederCount = *feederCount;
    } else if (fromExtension && fromExtension->feederCount) {
        layout.feederCount = *fromExtension->feederCount;
    } else if (const auto f = feederCountFromSize(layout.option, fileSize); f && fileSize > 0) {
        layout.feederCount = *f;
    } else {
        throw InputError(ErrorKind::NotAResultFile, fileName, -1,
                         "the file size (" + std::to_string(fileSize) +
                             " bytes) does not tell the feeder count; give it");
    }
    if (fileSize % layout.recordBytes() != 0)
        throw InputError(ErrorKind::NotAResultFile, fileName,
                         fileSize - fileSize % layout.recordBytes(),
                         "the file size (" + std::to_string(fileSize) +
                             " bytes) is not a whole number of records for " + describe(layout));
    return layout;
}

RecordStamp RecordView::stamp() const {
    return {std::bit_cast<float>(bits(kDateField.offset, 4)), whole(kTimeField)};
}

CivilDateTime RecordView::time() const { return recordTime(stamp(), *m_file, m_index, m_offset); }

float RecordView::value(const RecordField& field) const {
    if (field.isI16()) return static_cast<float>(whole(field));
    return std::bit_cast<float>(bits(field.offset, 4));
}

std::int16_t RecordView::whole(const RecordField& field) const {
    assert(field.isI16() && "a 16-bit field");
    return static_cast<std::int16_t>(bits(field.offset, 2));
}

void RecordView::values(const ResultRecordFormat& format, std::span<float> out) const {
    const std::vector<RecordField>& columns = format.columns();
    assert(out.size() >= columns.size() && "room for every column");
    assert(static_cast<int>(m_bytes.size()) == format.recordBytes() && "a record of the format");
    const std::byte* p = m_bytes.data();
    const auto byte = [p](int at) { return std::to_integer<std::uint32_t>(p[at]); };
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const int at = columns[c].offset;
        if (columns[c].isI16()) {
            out[c] = static_cast<std::int16_t>(byte(at) | byte(at + 1) << 8);
        } else {
            out[c] = std::bit_cast<float>(byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 |
                                          byte(at + 3) << 24);
        }
    }
}

std::uint32_t RecordView::bits(int offset, int width) const {
    // The field table keeps every field inside the record, whose length the view holds.
    assert(offset >= 0 && std::size_t(offset + width) <= m_bytes.size() && "field in the record");
    std::uint32_t v = 0;
    for (int i = 0; i < width; ++i)
        v |= std::to_integer<std::uint32_t>(m_bytes[static_cast<std::size_t>(offset + i)])
             << (8 * i);
    return v;
}

void forEachRecord(std::span<const std::byte> bytes, const ResultRecordFormat& format,
                   const std::string& file, std::int64_t firstIndex, const RecordVisitor& visit) {
    const std::size_t length = static_cast<std::size_t>(format.recordBytes());
    const std::int64_t start = firstIndex * static_cast<std::int64_t>(length);
    if (bytes.size() % length != 0)
        throw InputError(ErrorKind::NotAResultFile, file,
                         start + static_cast<std::int64_t>(bytes.size() - bytes.size() % length),
                         "the file size (" + std::to_string(bytes.size()) +
                             " bytes) is not a whole number of records for " +
                             describe(format.layout()));
    std::int64_t index = firstIndex;
    for (std::size_t at = 0; at < bytes.size(); at += length, ++index)
        visit(RecordView(bytes.subspan(at, length), index, start + static_cast<std::int64_t>(at),
                         file));
}

namespace {

std::int64_t recordsPerChunk(const ResultRecordFormat& format) {
    return std::max<std::int64_t>(1, (std::int64_t{1} << 20) / format.recordBytes());
}

InputFile openResultFile(const std::string& path) {
    InputFile in;
    in.open(utf8Path(path), path, "result file");
    return in;
}

}  // namespace

ResultFileReader::ResultFileReader(const std::string& path, std::optional<HarmonicOption> option,
                                   std::optional<int> feederCount)
    : m_file(openResultFile(path)),
      m_format(resolveResultLayout(path, m_file.size(), option, feederCount)),
      m_records(m_file.size() / m_format.recordBytes()) {}

void ResultFileReader::load(std::int64_t first, std::int64_t count) {
    const std::int64_t length = m_format.recordBytes();
    m_chunkCount = 0;
    m_chunk.resize(static_cast<std::size_t>(count * length));
    m_file.readExactly(first * length, m_chunk);
    m_chunkFirst = first;
    m_chunkCount = count;
}

void ResultFileReader::read(const RecordVisitor& visit, std::int64_t first, std::int64_t count) {
    first = std::clamp<std::int64_t>(first, 0, m_records);
    const std::int64_t end = count < 0 ? m_records : std::min(m_records, first + count);
    const std::int64_t perChunk = recordsPerChunk(m_format);
    for (std::int64_t at = first; at < end; at += perChunk) {
        load(at, std::min(perChunk, end - at));
        forEachRecord(m_chunk, m_format, m_file.name(), at, visit);
    }
}

RecordView ResultFileReader::at(std::int64_t index) {
    assert(index >= 0 && index < m_records && "a record of the file");
    if (index < m_chunkFirst || index >= m_chunkFirst + m_chunkCount)
        load(index, std::min(recordsPerChunk(m_format), m_records - index));
    const std::int64_t length = m_format.recordBytes();
    const auto at = static_cast<std::size_t>((index - m_chunkFirst) * length);
    return RecordView(std::span<const std::byte>(m_chunk).subspan(at, std::size_t(length)), index,
                      index * length, m_file.name());
}

}  // namespace waveharm
