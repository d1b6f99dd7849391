#include <cstdio>

#include "app/cli_commands.h"

namespace waveharm::cli {

// Placeholder until the command lands; replaced by its real implementation.
int runConvert(const Args&) {
    std::fputs("waveharm-cli convert: not available in this build\n", stderr);
    return 2;
}

}  // namespace waveharm::cli
