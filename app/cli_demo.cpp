#include <cstdio>

#include "app/cli_commands.h"

namespace waveharm::cli {

// Placeholder until the command lands; replaced by its real implementation.
int runDemo(const Args&) {
    std::fputs("waveharm-cli demo: not available in this build\n", stderr);
    return 2;
}

}  // namespace waveharm::cli
