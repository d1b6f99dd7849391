#pragma once
// The command line and the console in UTF-8 on every system.

#include <string>
#include <vector>

namespace waveharm::cli {

/// The program's arguments (the program's name first) as UTF-8 text. On Windows they
/// are read wide from the process's command line: `argv` is in the system code page
/// there, which has no room for Japanese folder names on most PCs.
std::vector<std::string> utf8Arguments(int argc, char** argv);

/// While it lives, the Windows console shows the program's UTF-8 output as text (its
/// own code page is restored afterwards); nothing elsewhere, where terminals are UTF-8.
class Utf8Console {
  public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

  private:
    [[maybe_unused]] unsigned m_previousCodePage = 0;  // used on Windows only
};

}  // namespace waveharm::cli
