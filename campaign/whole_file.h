#pragma once
// Report and spreadsheet files written whole or not at all: the text goes into a new file
// beside the target, is put on the disk, and only then takes the target's name. An
// earlier file of that name stays as it was until that moment, whatever happens before
// it (a full disk, a fault, the program killed).

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace waveharm {

class WholeFileWriter {
  public:
    /// Starts the file that will become `target`. Throws OutputError when the folder
    /// takes no new file.
    explicit WholeFileWriter(std::filesystem::path target);
    /// Removes the unfinished file unless `commit` has given it its name.
    ~WholeFileWriter();
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;

    /// Appends `text`. Throws OutputError naming the target.
    void write(std::string_view text);
    /// Puts the text on the disk and closes it (done by `commit` if not before), so that
    /// files that belong together are all complete before any takes its name.
    void finish();
    /// Renames the finished text to the target, replacing an earlier file. Throws
    /// OutputError naming the target; the earlier file is then unchanged.
    void commit();

  private:
    [[noreturn]] void fail(const char* action, int error);

    std::filesystem::path m_target;
    std::filesystem::path m_part;
    std::FILE* m_file = nullptr;
    bool m_committed = false;
};

/// `text` as the whole new content of `target` (see WholeFileWriter).
void writeWholeFile(const std::filesystem::path& target, std::string_view text);

}  // namespace waveharm
