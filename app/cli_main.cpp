// waveharm-cli: the batch converter and its tools.

#include <cstdio>
#include <exception>
#include <string>

#include "app/cli_commands.h"

namespace {

constexpr const char* kUsage =
    "usage: waveharm-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  demo DIR      write a folder of demo recordings\n"
    "  info PATH     show a recording's information, or a folder's time-ordered list\n"
    "  convert DIR   analyse a folder of recordings into harm result files\n"
    "  dump FILE     print a harm result file as CSV\n"
    "  report FILE.. statistics, limit checks and an HTML report of result files\n"
    "\n"
    "'waveharm-cli COMMAND --help' describes each command.\n";

}  // namespace

namespace waveharm::cli {

bool wantsHelp(const Args& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

}  // namespace waveharm::cli

int main(int argc, char** argv) {
    using namespace waveharm::cli;
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string command = argv[1];
    Args args(argv + 2, argv + argc);
    try {
        if (command == "demo") return runDemo(args);
        if (command == "info") return runInfo(args);
        if (command == "convert") return runConvert(args);
        if (command == "dump") return runDump(args);
        if (command == "report") return runReport(args);
        if (command == "--help" || command == "-h" || command == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "waveharm-cli %s: %s\n", command.c_str(), e.what());
        return 2;
    }
    std::fprintf(stderr, "waveharm-cli: unknown command '%s'\n%s", command.c_str(), kUsage);
    return 2;
}
