#include "output/result_reader.h"

#include <bit>
#include <cctype>

#include "base/byte_reader.h"
#include "base/input_file.h"
#include "base/utf8_path.h"
#include "output/result_writer.h"

namespace waveharm {
namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

float readF32(ByteReader& r) { return std::bit_cast<float>(r.i32le()); }

std::vector<float> readF32s(ByteReader& r, int count) {
    std::vector<float> v(static_cast<std::size_t>(count));
    for (float& x : v) x = readF32(r);
    return v;
}

std::vector<std::int16_t> readI16s(ByteReader& r, int count) {
    std::vector<std::int16_t> v(static_cast<std::size_t>(count));
    for (auto& x : v) x = r.i16le();
    return v;
}

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

int ResultLayout::recordBytes() const { return recordLength(option, feederCount); }

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

ResultRecord decodeResultRecord(std::span<const std::byte> bytes, const ResultLayout& layout,
                                const std::string& fileName, std::int64_t offset) {
    if (static_cast<std::int64_t>(bytes.size()) != layout.recordBytes())
        throw InputError(ErrorKind::NotAResultFile, fileName, offset,
                         "a record of " + std::to_string(bytes.size()) + " bytes does not fit " +
                             describe(layout));
    ByteReader r(bytes, fileName);
    const int h = harmonicCount(layout.option);
    const int feeders = layout.feederCount;
    ResultRecord rec;
    rec.dateField = readF32(r);
    rec.timeField = r.i16le();
    rec.voltageRms = readF32s(r, h);
    for (int k = 0; k < feeders; ++k) {
        rec.currentRms.push_back(readF32s(r, h));
        rec.currentAngleDeg.push_back(readI16s(r, h));
    }
    if (hasVoltageAngleRow(layout.option)) rec.voltageAngleDeg = readI16s(r, h);
    if (hasCurrentAngleRow(layout.option)) rec.firstCurrentAngleDeg = readI16s(r, h);
    if (hasUnbalanceRows(layout.option)) {
        rec.hasUnbalance = true;
        for (float& v : rec.voltageRmsByPhase) v = readF32(r);
        // Stored in the phase order 0, 2, 1.
        for (int k = 0; k < feeders; ++k) {
            std::array<float, 3> phases{};
            for (int j : {0, 2, 1}) phases[j] = readF32(r);
            rec.currentRmsByPhase.push_back(phases);
        }
    }
    return rec;
}

std::vector<ResultRecord> parseResultRecords(std::span<const std::byte> bytes,
                                             const ResultLayout& layout,
                                             const std::string& fileName) {
    const std::size_t length = static_cast<std::size_t>(layout.recordBytes());
    if (bytes.size() % length != 0)
        throw InputError(ErrorKind::NotAResultFile, fileName,
                         static_cast<std::int64_t>(bytes.size() - bytes.size() % length),
                         "the file size (" + std::to_string(bytes.size()) +
                             " bytes) is not a whole number of records for " + describe(layout));
    std::vector<ResultRecord> records;
    records.reserve(bytes.size() / length);
    for (std::size_t at = 0; at < bytes.size(); at += length)
        records.push_back(decodeResultRecord(bytes.subspan(at, length), layout, fileName,
                                             static_cast<std::int64_t>(at)));
    return records;
}

ResultFileContents readResultFile(const std::string& path, std::optional<HarmonicOption> option,
                                  std::optional<int> feederCount) {
    const std::vector<std::byte> bytes = readFileBytes(utf8Path(path), "result file");

    ResultFileContents contents;
    contents.layout =
        resolveResultLayout(path, static_cast<std::int64_t>(bytes.size()), option, feederCount);
    contents.orders = writtenOrders(contents.layout.option);
    contents.records = parseResultRecords(bytes, contents.layout, path);
    return contents;
}

}  // namespace waveharm
