#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test:
#  1. the full build (core, CLI, GUI) with ctest;
#  2. the core libraries and CLI again under AddressSanitizer + UBSan;
#  3. the fuzz harnesses over their committed corpora plus a short bounded run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh"
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen
(cd "$root/build" && ctest --output-on-failure -j "$jobs")

echo "== core build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DWAVEHARM_CORE_ONLY=ON -DWAVEHARM_SANITIZE=ON -DWAVEHARM_BENCH=OFF >/dev/null
cmake --build "$root/build-asan" -j "$jobs"
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs")

if [ -x "$root/scripts/fuzz.sh" ] && [ -d "$root/fuzz" ] && ls "$root"/fuzz/*.cpp >/dev/null 2>&1; then
  echo "== fuzz harnesses"
  "$root/scripts/fuzz.sh" "${WAVEHARM_FUZZ_SECONDS:-20}"
fi
