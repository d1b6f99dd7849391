#include "exchange/record_folder.h"

#include <algorithm>

#include "base/input_file.h"
#include "base/utf8_path.h"
#include "exchange/comtrade.h"
#include "exchange/csv_record.h"
#include "input/folder_scan.h"

namespace waveharm {

namespace {

namespace fs = std::filesystem;

bool endsWithNoCase(std::string_view name, std::string_view suffix) {
    if (name.size() <= suffix.size()) return false;
    const std::string_view tail = name.substr(name.size() - suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b;
    });
}

// Bytes of a CSV file read for its start: the header row and the first row of samples.
constexpr std::int64_t kCsvHead = 65536;

}  // namespace

bool matchesRecordPattern(std::string_view fileName, RecordFormat format) {
    switch (format) {
        case RecordFormat::Comtrade:
            return endsWithNoCase(fileName, ".cfg") || endsWithNoCase(fileName, ".cff");
        case RecordFormat::Csv:
            return endsWithNoCase(fileName, ".csv");
        case RecordFormat::Recorder:
            break;
    }
    return false;
}

std::optional<DateTime> recordStartTime(const fs::path& path, RecordFormat format) {
    if (format == RecordFormat::Comtrade) return readComtradeConfig(path).localStart().whole;
    InputFile file;
    file.open(path, utf8Text(path.filename()), "record");
    std::vector<std::byte> head(static_cast<std::size_t>(std::min(file.size(), kCsvHead)));
    head.resize(static_cast<std::size_t>(file.readAt(0, head)));
    const auto start = csvStartTime(head, file.size() <= kCsvHead);
    if (!start) return std::nullopt;
    return start->whole;
}

WaveformFileList scanRecordFolder(const fs::path& folder, RecordFormat format) {
    WaveformFileList list;
    list.folder = folder;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        throw InputError(ErrorKind::FolderUnreadable, utf8Text(folder), -1,
                         "folder cannot be read: " + ec.message());
    for (const fs::directory_entry& entry : it) {
        const std::string name = utf8Text(entry.path().filename());
        if (!entry.is_directory(ec) && matchesRecordPattern(name, format))
            list.names.push_back(name);
    }
    std::sort(list.names.begin(), list.names.end());
    for (const std::string& name : list.names) {
        DateTime start;
        try {
            start = recordStartTime(folder / utf8Path(name), format).value_or(DateTime{});
        } catch (const InputError& e) {
            list.problems.push_back(ScanProblem{name, e.kind(), e.offset(), e.reason()});
        }
        list.startTimes.push_back(start);
    }
    sortByStartTime(list.names, list.startTimes);
    return list;
}

}  // namespace waveharm
