// Result file names, the files a run would replace, and whether their folder takes new files.

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/utf8_path.h"
#include "output/result_writer.h"

namespace waveharm {

namespace {

// Where the file name of a path begins: after its last folder separator, either the
// Windows "\" or the "/" that both systems accept.
std::size_t fileNameStart(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace

std::string outputFileNameFor(const std::string& chosenName, const std::string& extension) {
    // Only the file name's own extension is replaced: a dotted folder (rev2.1, .local, ..)
    // keeps the results inside it.
    const std::size_t dot = chosenName.find('.', fileNameStart(chosenName));
    return chosenName.substr(0, dot) + extension;
}

std::array<std::string, 3> phaseFileNames(const std::string& outputFileName) {
    std::size_t insertAt = outputFileName.find('.', fileNameStart(outputFileName));
    insertAt = insertAt == std::string::npos ? outputFileName.size() : insertAt + 1;
    std::array<std::string, 3> names;
    const char letters[3] = {'R', 'T', 'S'};
    for (int i = 0; i < 3; ++i) {
        names[i] = outputFileName;
        names[i].insert(insertAt, 1, letters[i]);
    }
    return names;
}

std::vector<std::string> resultFileNames(const ConversionSettings& settings) {
    if (settings.measurementType != MeasurementType::ThreePhase3M) return {settings.outputFileName};
    const auto names = phaseFileNames(settings.outputFileName);
    return {names.begin(), names.end()};
}

std::vector<std::string> existingResultFiles(const ConversionSettings& settings) {
    std::vector<std::string> existing;
    if (settings.outputFileName.empty()) return existing;
    for (const std::string& name : resultFileNames(settings)) {
        std::error_code ec;
        if (std::filesystem::exists(utf8Path(name), ec)) existing.push_back(name);
    }
    return existing;
}

void checkResultFolderWritable(const std::string& fileName) {
    std::filesystem::path folder = utf8Path(fileName).parent_path();
    if (folder.empty()) folder = ".";
    // A name no result file takes: the extension of harm files starts with "h".
    const std::filesystem::path probe = folder / ".waveharm-write-check.tmp";
    std::error_code ec;
    std::filesystem::remove(probe, ec);
#ifdef _WIN32
    std::FILE* f = _wfopen(probe.c_str(), L"wb");
#else
    std::FILE* f = std::fopen(probe.c_str(), "wb");
#endif
    const int error = errno;
    if (!f) {
        throw OutputError(ErrorKind::CannotCreate, utf8Text(folder),
                          "the folder cannot be written: " + std::generic_category().message(error),
                          error);
    }
    std::fclose(f);
    std::filesystem::remove(probe, ec);
}

}  // namespace waveharm
