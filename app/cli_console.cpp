#include "app/cli_console.h"

#ifdef _WIN32
#include <windows.h>
// windows.h comes first: shellapi.h needs its types.
#include <shellapi.h>
#endif

namespace waveharm::cli {

#ifdef _WIN32

namespace {

std::string utf8Of(const wchar_t* wide) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string text(static_cast<std::size_t>(bytes - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), bytes, nullptr, nullptr);
    return text;
}

}  // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return {argv, argv + argc};
    std::vector<std::string> args;
    args.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) args.push_back(utf8Of(wide[i]));
    LocalFree(wide);
    return args;
}

Utf8Console::Utf8Console() : m_previousCodePage(GetConsoleOutputCP()) {
    if (m_previousCodePage != 0) SetConsoleOutputCP(CP_UTF8);
}

Utf8Console::~Utf8Console() {
    if (m_previousCodePage != 0) SetConsoleOutputCP(m_previousCodePage);
}

#else

std::vector<std::string> utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

#endif

}  // namespace waveharm::cli
