// The result-file reader on arbitrary bytes, with the harmonic option, feeder count
// and file name chosen by the first byte (see fuzz_inputs.h).

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    waveharm::fuzzing::readResultInput({data, size});
    return 0;
}
