// waveharm-cli demo: writes a folder of demo recordings.

#include <cstdio>

#include "app/cli_args.h"
#include "app/cli_commands.h"
#include "input/recording_writer.h"

namespace waveharm::cli {

namespace {

constexpr const char* kDemoUsage =
    "usage: waveharm-cli demo DIR [--model NAME] [--feeders N] [--count N]\n"
    "                        [--interval SECONDS] [--frequency 50|60] [--seed N]\n"
    "\n"
    "Writes a measurement campaign of demo recordings into DIR (created when missing):\n"
    "line voltages of a 6.6 kV system through a PT of 60 on ch1 (R-S) and ch2 (T-S), and\n"
    "the R and T currents of each feeder with 5th, 7th, 11th and 13th harmonics that vary\n"
    "from recording to recording.\n"
    "\n"
    "  --model NAME        MR8880, 8847, 8841, 8835, 8807, 8860 or 8840 (default 8841)\n"
    "  --feeders N         feeders, 1..7 (1..3 for the 8840; default 2)\n"
    "  --count N           recordings (default 12)\n"
    "  --interval SECONDS  time between recordings (default 20)\n"
    "  --frequency HZ      system frequency, 50 or 60 (default 50)\n"
    "  --seed N            seed of the load variation and noise (default 1)\n";

}  // namespace

int runDemo(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kDemoUsage, stdout);
        return 0;
    }
    DemoOptions options;
    ParsedArgs a;
    try {
        a = parseArgs(
            args, {"--model", "--feeders", "--count", "--interval", "--frequency", "--seed"}, {});
        if (a.positional.size() != 1) throw UsageError("expects one folder");
        options.model = a.value("--model").value_or(options.model);
        options.feeders = int(a.intValue("--feeders", options.feeders, 1, 7));
        options.count = int(a.intValue("--count", options.count, 1, 1000));
        options.intervalSeconds = a.doubleValue("--interval", options.intervalSeconds);
        options.frequencyHz = double(a.intValue("--frequency", 50, 50, 60));
        options.seed = std::uint32_t(a.intValue("--seed", options.seed, 0, 4294967295LL));
        if (options.frequencyHz != 50 && options.frequencyHz != 60)
            throw UsageError("--frequency must be 50 or 60");
        if (!(options.intervalSeconds > 0)) throw UsageError("--interval must be positive");
    } catch (const UsageError& e) {
        std::fprintf(stderr, "waveharm-cli demo: %s\n%s", e.what(), kDemoUsage);
        return 2;
    }
    const std::vector<std::string> names = writeDemoCampaign(a.positional[0], options);
    std::printf("%zu demo recordings (%s, %d feeders) written to %s\n", names.size(),
                options.model.c_str(), options.feeders, a.positional[0].c_str());
    return 0;
}

}  // namespace waveharm::cli
