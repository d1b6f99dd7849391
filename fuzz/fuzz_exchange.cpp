// The COMTRADE (configuration and data, combined file) and CSV readers on arbitrary
// bytes; the first byte chooses the form (see fuzz_inputs.h).

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    waveharm::fuzzing::readExchangeInput({data, size});
    return 0;
}
