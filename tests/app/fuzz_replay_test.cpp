// Replays the fuzz harnesses' committed inputs through the same code paths in the
// normal test suite: every seed written by our own writers must be read (or, for the
// seeds read under the wrong layout, refused), and every input that once crashed or
// hung a harness must now end in a result or an input error.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_inputs.h"

namespace waveharm {
namespace {

namespace fs = std::filesystem;
using fuzzing::Outcome;

const fs::path kFuzzDir = fs::path(WAVEHARM_SOURCE_DIR) / "fuzz";
const char* const kHarnesses[] = {"fuzz_recording", "fuzz_analysis", "fuzz_result_reader",
                                  "fuzz_exchange"};

std::vector<std::uint8_t> bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Outcome runHarness(const std::string& harness, const std::vector<std::uint8_t>& data) {
    if (harness == "fuzz_recording") return fuzzing::readRecordingInput(data);
    if (harness == "fuzz_analysis") return fuzzing::analyseRecordingInput(data);
    if (harness == "fuzz_result_reader") return fuzzing::readResultInput(data);
    if (harness == "fuzz_exchange") return fuzzing::readExchangeInput(data);
    ADD_FAILURE() << "no harness named " << harness;
    return Outcome::Empty;
}

std::vector<fs::path> filesUnder(const fs::path& dir) {
    std::vector<fs::path> files;
    if (!fs::is_directory(dir)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}

TEST(FuzzReplay, EverySeedOfOurWritersIsReadAndMismatchedLayoutsAreRefused) {
    for (const char* harness : kHarnesses) {
        const auto seeds = filesUnder(kFuzzDir / "corpus" / harness);
        EXPECT_GE(seeds.size(), 5u) << harness << ": committed corpus missing";
        for (const fs::path& seed : seeds) {
            // "8841_as_8840": a file read under the other layout's option.
            const bool mismatched = seed.filename().string().find("_as_") != std::string::npos;
            const Outcome expected = mismatched ? Outcome::Refused : Outcome::Accepted;
            EXPECT_EQ(runHarness(harness, bytesOf(seed)), expected)
                << harness << " " << seed.filename();
        }
    }
}

TEST(FuzzReplay, EveryRegressionInputEndsInAResultOrAnInputError) {
    std::vector<std::string> replayed;
    for (const char* harness : kHarnesses) {
        for (const fs::path& input : filesUnder(kFuzzDir / "regressions" / harness)) {
            // A crash, a hang or a broken invariant (abort) here is the fault the input
            // was kept for; reading it or refusing it are both sound.
            const auto data = bytesOf(input);
            ASSERT_GE(data.size(), 2u) << input.filename() << " is too short to reach the code";
            const Outcome outcome = runHarness(harness, data);
            EXPECT_TRUE(outcome == Outcome::Accepted || outcome == Outcome::Refused)
                << input.filename();
            replayed.push_back(std::string(harness) + "/" + input.filename().string());
        }
    }
    // A moved or emptied folder would otherwise leave nothing replayed and the test green.
    EXPECT_NE(
        std::find(replayed.begin(), replayed.end(), "fuzz_analysis/timeout-noisy-crossing-search"),
        replayed.end())
        << replayed.size() << " inputs replayed";
}

}  // namespace
}  // namespace waveharm
