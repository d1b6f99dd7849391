#!/usr/bin/env bash
# Configures and builds the project into build/ (Release with debug info); further
# arguments go to the configuration (e.g. -DWAVEHARM_WERROR=ON).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
jobs="$(nproc)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$root/build" -j "$jobs"
