#include "input/folder_scan.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <set>
#include <thread>

#include "base/byte_reader.h"
#include "base/file_pieces.h"
#include "base/utf8_path.h"
#include "input/layouts.h"
#include "input/recording.h"

namespace waveharm {

namespace {

namespace fs = std::filesystem;

std::string lowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool endsWithNoCase(std::string_view name, std::string_view suffix) {
    return name.size() > suffix.size() &&
           lowerCase(name.substr(name.size() - suffix.size())) == suffix;
}

// The first bytes of a recording, read through one reused file: opened without blocking
// (a pipe named like a recording would hold the scan forever) and asked what it is
// through the open file.
std::span<const std::byte> readHead(FilePieces& file, const fs::path& path, std::size_t length) {
    const std::string name = utf8Text(path.filename());
    try {
        file.open(path, name, "recording");
    } catch (const InputError& e) {
        // A folder named like a recording is no more a recording than a pipe.
        if (e.kind() == ErrorKind::NotARegularFile)
            throw InputError(ErrorKind::NotARegularFile, name, -1, "is not a regular file");
        throw;
    }
    return file.head(static_cast<std::int64_t>(length));
}

// Matching names in file-name order, so every scan of a folder lists the same order.
std::vector<std::string> listMatches(const fs::path& folder, bool wevFiles) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        throw InputError(ErrorKind::FolderUnreadable, utf8Text(folder), -1,
                         "folder cannot be read: " + ec.message());
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : it) {
        const std::string name = utf8Text(entry.path().filename());
        if (!entry.is_directory(ec) && matchesRecordingPattern(name, wevFiles))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

bool matchesRecordingPattern(std::string_view fileName, bool wevFiles) {
    if (!wevFiles) return endsWithNoCase(fileName, ".mem");
    return endsWithNoCase(fileName, ".wav") || endsWithNoCase(fileName, ".wev");
}

std::optional<DateTime> quickStartTime(std::span<const std::byte> head, bool wevFiles) {
    if (head.size() < 104) return std::nullopt;
    ByteReader reader(head, "");
    const std::string identity = reader.rawText(2);
    const std::string model = detail::memField(reader, 0, 2);
    if (detail::memFamilyOf(identity, model)) return detail::memStartTime(reader);
    // 8840 recordings carry their start at fixed positions of their own header.
    reader.seek(0);
    if (wevFiles && reader.rawText(9) == "HIOKI8825") return detail::startTime8840(reader);
    return std::nullopt;
}

void sortByStartTime(std::vector<std::string>& names, std::vector<DateTime>& startTimes) {
    const std::size_t n = std::min(names.size(), startTimes.size());
    // A stable sort: files of equal start time keep their listing order.
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return startTimes[a] < startTimes[b]; });
    std::vector<std::string> sortedNames;
    std::vector<DateTime> sortedTimes;
    sortedNames.reserve(names.size());
    sortedTimes.reserve(startTimes.size());
    for (const std::size_t i : order) {
        sortedNames.push_back(std::move(names[i]));
        sortedTimes.push_back(startTimes[i]);
    }
    // Entries beyond the shorter list stay where they were.
    for (std::size_t i = n; i < names.size(); ++i) sortedNames.push_back(std::move(names[i]));
    for (std::size_t i = n; i < startTimes.size(); ++i) sortedTimes.push_back(startTimes[i]);
    names = std::move(sortedNames);
    startTimes = std::move(sortedTimes);
}

std::string nextAutoName(int& counter, const std::function<bool(const std::string&)>& isTaken,
                         std::string_view extension) {
    for (;;) {
        ++counter;
        std::string name = "AUTO" + std::to_string(counter) + std::string(extension);
        if (!isTaken(name)) return name;
    }
}

int WaveformFileList::firstDatedIndex() const {
    // Undated entries hold the zero time and so sort before every dated one.
    for (int i = 0; i < count(); ++i)
        if (!startTimes.at(static_cast<std::size_t>(i)).isZero()) return i;
    return -1;
}

std::string WaveformFileList::startText(int index) const {
    const DateTime t = startTimes.at(static_cast<std::size_t>(index));
    return t.isZero() ? "-" : formatDateTimeText(t);
}

std::string WaveformFileList::firstStartText() const {
    const int first = firstDatedIndex();
    return first < 0 ? "-" : startText(first);
}

std::string WaveformFileList::lastStartText() const {
    return firstDatedIndex() < 0 ? "-" : startText(count() - 1);
}

namespace {

// The start time of one listed file, or the problem that kept it from being read.
struct ScannedStart {
    DateTime start;
    std::optional<ScanProblem> problem;
};

ScannedStart scanStart(FilePieces& file, const fs::path& path, const std::string& name,
                       bool wevFiles) {
    ScannedStart out;
    // Files whose start cannot be read keep the zero time and sort first; each is
    // reported, and shown without a date.
    try {
        const auto known = quickStartTime(readHead(file, path, 128), wevFiles);
        if (known)
            out.start = *known;
        else
            out.problem = ScanProblem{name, ErrorKind::NotARecording, -1,
                                      "not a recognised recorder waveform file"};
    } catch (const InputError& e) {
        out.problem = ScanProblem{name, e.kind(), e.offset(), e.reason()};
    }
    return out;
}

// Start times of every listed file, on up to `jobs` threads, each taking one stretch of
// the list with its own file.
std::vector<ScannedStart> scanStarts(const fs::path& folder, const std::vector<std::string>& names,
                                     bool wevFiles, int jobs) {
    std::vector<ScannedStart> starts(names.size());
    const auto scanRange = [&](std::size_t first, std::size_t end) {
        FilePieces file;
        for (std::size_t i = first; i < end; ++i)
            starts[i] = scanStart(file, folder / utf8Path(names[i]), names[i], wevFiles);
    };
    // A thread is worth starting for a few dozen files.
    constexpr std::size_t kFilesPerThread = 32;
    const std::size_t threads = std::clamp<std::size_t>(
        names.size() / kFilesPerThread, 1, static_cast<std::size_t>(std::max(jobs, 1)));
    if (threads == 1) {
        scanRange(0, names.size());
        return starts;
    }
    std::vector<std::exception_ptr> failures(threads);
    std::vector<std::thread> workers;
    const std::size_t share = (names.size() + threads - 1) / threads;
    for (std::size_t t = 1; t < threads; ++t) {
        workers.emplace_back([&, t] {
            try {
                scanRange(std::min(names.size(), t * share),
                          std::min(names.size(), (t + 1) * share));
            } catch (...) {
                failures[t] = std::current_exception();
            }
        });
    }
    try {
        scanRange(0, std::min(names.size(), share));
    } catch (...) {
        failures[0] = std::current_exception();
    }
    for (std::thread& w : workers) w.join();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
    return starts;
}

}  // namespace

WaveformFileList scanFolder(const std::filesystem::path& folder, bool wevFiles, int jobs) {
    WaveformFileList list;
    list.folder = folder;
    const std::vector<std::string> matches = listMatches(folder, wevFiles);
    std::set<std::string> present;
    for (const std::string& name : matches) present.insert(lowerCase(name));
    int counter = 5000;
    // A failed rename is reported after the start of the entry it concerns, as the scan
    // meets it.
    std::vector<std::optional<ScanProblem>> renameProblems;
    for (const std::string& name : matches) {
        // A listing that reports a name twice: the earlier entry gets a fresh name.
        if (!list.names.empty() && list.names.back() == name) {
            // An 8840 recording keeps its own extension, so that it still matches the
            // folder's pattern after the rename.
            const std::string extension =
                wevFiles ? utf8Text(utf8Path(name).extension()) : std::string(".MEM");
            const std::string fresh = nextAutoName(
                counter,
                [&](const std::string& n) {
                    return present.count(lowerCase(n)) > 0 || fs::exists(folder / utf8Path(n));
                },
                extension);
            std::error_code ec;
            fs::rename(folder / utf8Path(name), folder / utf8Path(fresh), ec);
            if (!ec) {
                present.insert(lowerCase(fresh));
                list.renamed.push_back(name + " -> " + fresh);
                list.names.back() = fresh;
            } else {
                renameProblems.back() = ScanProblem{name, ErrorKind::CannotCreate, -1,
                                                    "cannot be renamed: " + ec.message()};
            }
        }
        list.names.push_back(name);
        renameProblems.emplace_back();
    }
    // Each file is read under its final name; problems are listed in file order.
    std::vector<ScannedStart> starts = scanStarts(folder, list.names, wevFiles, jobs);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        if (starts[i].problem) list.problems.push_back(std::move(*starts[i].problem));
        if (renameProblems[i]) list.problems.push_back(std::move(*renameProblems[i]));
        list.startTimes.push_back(starts[i].start);
    }
    sortByStartTime(list.names, list.startTimes);
    return list;
}

}  // namespace waveharm
