// Header reader and sample loader of every layout on arbitrary bytes. The first
// byte chooses the reading options (8840 layout, voltage exchange, inversions,
// time correction); the rest is the file.

#include <cstddef>
#include <cstdint>
#include <span>

#include "input/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    waveharm::ReadOptions options;
    const std::uint8_t flags = data[0];
    options.wevFiles = (flags & 1) != 0;
    options.swapVoltages = (flags & 2) != 0;
    options.invertVoltage[0] = (flags & 4) != 0;
    options.invertCurrent[0] = (flags & 8) != 0;
    options.timeOffsetHours = (flags & 16) ? 9.0 : 0.0;
    const auto bytes = std::as_bytes(std::span(data + 1, size - 1));
    try {
        auto header = waveharm::parseHeader(bytes, options, "fuzz.MEM");
        auto samples = waveharm::decodeSamples(bytes, header, options, "fuzz.MEM");
        (void)samples;
    } catch (const waveharm::InputError&) {
        // Malformed input is reported, never a crash.
    }
    return 0;
}
