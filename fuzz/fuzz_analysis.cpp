// One recording from arbitrary bytes through the whole analysis under the measurement
// type, sync mode, harmonic option and transform size of the first two bytes (see
// fuzz_inputs.h).

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    waveharm::fuzzing::analyseRecordingInput({data, size});
    return 0;
}
