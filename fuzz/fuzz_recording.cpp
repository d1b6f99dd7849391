// Header reader and sample loader of every layout on arbitrary bytes; the first byte
// chooses the reading options (see fuzz_inputs.h).

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    waveharm::fuzzing::readRecordingInput({data, size});
    return 0;
}
