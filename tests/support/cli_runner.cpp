#include "support/cli_runner.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace waveharm::testing {

namespace {

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A capture file of its own per run, so that suites running at once never share one.
std::filesystem::path captureFile() {
    static int serial = 0;
#ifdef _WIN32
    const auto process = GetCurrentProcessId();
#else
    const auto process = ::getpid();
#endif
    return std::filesystem::temp_directory_path() /
           ("waveharm_cli_" + std::to_string(process) + "_" + std::to_string(++serial) + ".log");
}

#ifdef _WIN32

std::wstring wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

// One argument quoted as the C runtime's command-line parser takes it apart again:
// backslashes are literal except before a quote, where they are doubled.
void appendQuoted(std::wstring& line, const std::wstring& arg) {
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

int runProcess(const std::vector<std::string>& args, const CliOptions& options,
               const std::filesystem::path& capture) {
    std::wstring line;
    appendQuoted(line, std::filesystem::path(WAVEHARM_CLI).wstring());
    for (const auto& a : args) {
        line += L' ';
        appendQuoted(line, wide(a));
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out = CreateFileW(capture.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE none = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = options.withErrors ? out : none;
    PROCESS_INFORMATION process{};
    const std::wstring folder = options.directory.wstring();
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    DWORD status = static_cast<DWORD>(-1);
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(none);
    return started ? static_cast<int>(status) : -1;
}

#else

int runProcess(const std::vector<std::string>& args, const CliOptions& options,
               const std::filesystem::path& capture) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(options.withErrors ? out : ::open("/dev/null", O_WRONLY), 2);
        if (!options.directory.empty() && ::chdir(options.directory.c_str()) != 0) ::_exit(126);
        if (options.fileSizeLimit > 0) {
            // Past the limit a write fails with "File too large" instead of a signal.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                               static_cast<rlim_t>(options.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv{const_cast<char*>(WAVEHARM_CLI)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(WAVEHARM_CLI, argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

}  // namespace

CliResult runCli(const std::vector<std::string>& args, const CliOptions& options) {
    const std::filesystem::path capture = captureFile();
    CliResult r;
    r.status = runProcess(args, options, capture);
    r.output = fileText(capture);
#ifdef _WIN32
    // The console's text mode ends lines with CR LF there.
    std::erase(r.output, '\r');
#endif
    std::error_code ec;
    std::filesystem::remove(capture, ec);
    return r;
}

bool canLimitFileSize() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

}  // namespace waveharm::testing
