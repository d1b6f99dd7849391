// The limit-table parser on arbitrary text: every input ends in a table or a
// LimitError naming the line, and a parsed table can be applied at any site.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "campaign/limits.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const waveharm::LimitTable table = waveharm::parseLimitTable(text, "fuzz.txt");
        waveharm::applyLimits(table, {1000.0, 6.6});
    } catch (const waveharm::LimitError&) {
    }
    return 0;
}
