// waveharm-cli demo: writes a folder of demo recordings.

#include <cstdio>
#include <memory>
#include <string>

#include "app/cli_commands.h"
#include "base/date_time.h"
#include "base/utf8_path.h"
#include "input/recording_writer.h"

namespace waveharm::cli {

namespace {

constexpr const char* kDemoDetails =
    "Writes a measurement campaign of demo recordings into DIR (created when missing):\n"
    "line voltages of a 6.6 kV system through a PT of 60 on ch1 (R-S) and ch2 (T-S), and\n"
    "the R and T currents of each feeder with 5th, 7th, 11th and 13th harmonics that vary\n"
    "from recording to recording.\n";

constexpr Named<double> kFrequencies[] = {{"50", 50.0}, {"60", 60.0}};

// "YYYY-MM-DD hh:mm" of a real day and minute; the result files keep two-digit years,
// so 1930..2029.
CivilDateTime startValue(const std::string& text) {
    CivilDateTime c;
    char tail = 0;
    const bool read = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%c", &c.year, &c.month, &c.day,
                                  &c.hour, &c.minute, &tail) == 5;
    c.second = 0;
    if (!read || !isValidCivil(c) || c.year < 1930 || c.year > 2029)
        throw UsageError("--start: '" + text +
                         "' is not a time \"YYYY-MM-DD hh:mm\" from 1930 to 2029");
    return c;
}

struct DemoCommand {
    std::string folder;
    DemoOptions options;
};

}  // namespace

Command declareDemo(CLI::App& program) {
    auto demo = std::make_shared<DemoCommand>();
    CLI::App& command =
        addCommand(program, "demo", "write a folder of demo recordings", kDemoDetails);
    addArgument(command, "DIR", "the folder to write", false,
                [demo](const std::string& v) { demo->folder = v; });
    addValue(command, "--model", "NAME", "MR8880, 8847, 8841, 8835, 8807, 8860 or 8840 [8841]",
             [demo](const std::string& v) { demo->options.model = v; });
    addValue(command, "--feeders", "N", "feeders, 1..7 (1..3 for the 8840) [2]",
             [demo](const std::string& v) {
                 demo->options.feeders = int(wholeNumberValue("--feeders", v, 1, 7));
             });
    // Up to two weeks of a recording a minute, for runs as long as real campaigns.
    addValue(command, "--count", "N", "recordings, 1..20160 [12]", [demo](const std::string& v) {
        demo->options.count = int(wholeNumberValue("--count", v, 1, 20160));
    });
    addValue(command, "--start", "\"YYYY-MM-DD hh:mm\"",
             "time of the first recording [2018-12-12 09:00]",
             [demo](const std::string& v) { demo->options.start = startValue(v); });
    addValue(command, "--samples", "N", "samples per channel at 10 kS/s, 400..1000000 [2000]",
             [demo](const std::string& v) {
                 demo->options.samples = wholeNumberValue("--samples", v, 400, 1000000);
             });
    addValue(command, "--interval", "SECONDS", "time between recordings [20]",
             [demo](const std::string& v) {
                 demo->options.intervalSeconds = positiveValue("--interval", v);
             });
    addChoice(command, "--frequency", kFrequencies, "system frequency in Hz",
              demo->options.frequencyHz, [demo](double hz) { demo->options.frequencyHz = hz; });
    addValue(command, "--seed", "N", "seed of the load variation and noise [1]",
             [demo](const std::string& v) {
                 demo->options.seed = std::uint32_t(wholeNumberValue("--seed", v, 0, 4294967295LL));
             });
    addRepeatable(command, "--invert-channel", "CH",
                  "reverse the lead or clamp on channel CH (a wiring mistake; repeatable)",
                  [demo](const std::string& v) {
                      demo->options.invertedChannels.push_back(
                          int(wholeNumberValue("--invert-channel", v, 1, 16)));
                  });
    addRepeatable(
        command, "--exchange-channels", "A,B",
        "exchange the inputs of channels A and B (a wiring mistake; repeatable)",
        [demo](const std::string& v) {
            const auto comma = v.find(',');
            if (comma == std::string::npos)
                throw UsageError("--exchange-channels: two channels A,B are needed");
            demo->options.exchangedChannels.push_back(
                {int(wholeNumberValue("--exchange-channels", v.substr(0, comma), 1, 16)),
                 int(wholeNumberValue("--exchange-channels", v.substr(comma + 1), 1, 16))});
        });
    return {&command, [demo] {
                const std::vector<std::string> names =
                    writeDemoCampaign(utf8Path(demo->folder), demo->options);
                std::printf("%zu demo recordings (%s, %d feeders) written to %s\n", names.size(),
                            demo->options.model.c_str(), demo->options.feeders,
                            demo->folder.c_str());
                return 0;
            }};
}

}  // namespace waveharm::cli
