// waveharm-cli: the batch converter and its tools.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/cli_commands.h"
#include "app/cli_console.h"
#include "engine/transform.h"

int main(int argc, char** argv) {
    using namespace waveharm::cli;
    CLI::App program("harmonic analysis of recorder waveform files", "waveharm-cli");
    prepareCommand(program,
                   "'waveharm-cli COMMAND --help' describes each command; 'waveharm-cli "
                   "--version' names the version and the transform the build carries.\n");
    program.allow_extras(false);
    program.require_subcommand(1);
    const std::vector<Command> commands = {declareDemo(program),    declareInfo(program),
                                           declareConvert(program), declareCheck(program),
                                           declareDump(program),    declareReport(program)};

    const Utf8Console console;
    const std::vector<std::string> all = utf8Arguments(argc, argv);
    const Args args(all.begin() + 1, all.end());
    if (args.empty()) {
        std::fputs(helpText(program).c_str(), stderr);
        return 2;
    }
    if (args[0] == "--version") {
        // The transform decides the last digits of the results: FFTW where it was found
        // when the program was built, the engine's own radix-2 one elsewhere.
        std::printf("waveharm-cli %s\ntransform: %s\n", WAVEHARM_VERSION,
                    waveharm::FftPlan::make(256, 8).transformName().c_str());
        return 0;
    }
    if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        std::fputs(helpText(program).c_str(), stdout);
        return 0;
    }
    const Command* command = nullptr;
    for (const Command& c : commands)
        if (c.parser->get_name() == args[0]) command = &c;
    if (command == nullptr) {
        std::fprintf(stderr, "waveharm-cli: unknown command '%s'\n%s", args[0].c_str(),
                     helpText(program).c_str());
        return 2;
    }
    const std::string prefix = "waveharm-cli " + args[0];
    try {
        if (parseCommandLine(program, args) == Parsed::Help) {
            std::fputs(helpText(*command->parser).c_str(), stdout);
            return 0;
        }
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s: %s ('--help' lists the options)\n", prefix.c_str(), e.what());
        return 2;
    }
    try {
        return command->run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", prefix.c_str(), e.what());
        return 2;
    }
}
