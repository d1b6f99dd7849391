#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds everything (warnings are
# errors) and runs every test:
#  0. every tracked .cpp/.h as the project's .clang-format lays it out;
#  1. the full build (core, CLI, GUI) with ctest, and the full build in Release (-O3, where
#     the compiler looks deeper and warns of more);
#  2. the core libraries and CLI again under AddressSanitizer + UBSan, on the engine's
#     own radix-2 transform (the one the Windows build uses);
#  3. the Windows build under Wine: core suites, and result files against Linux's; then,
#     where the Qt for Windows of scripts/windows-qt.sh is cached, the Windows desktop
#     program walked through a run under Wine (one line says when that is skipped);
#  4. the fuzz harnesses over their committed corpora plus a short bounded run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"

echo "== formatting"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  list_sources() { git -C "$root" ls-files -z -- '*.cpp' '*.h'; }
else
  list_sources() { find . \( -path './build*' -o -path ./out \) -prune -o \
    \( -name '*.cpp' -o -name '*.h' \) -print0; }
fi
if ! (cd "$root" && list_sources | xargs -0 clang-format --dry-run --Werror); then
  echo "formatting differs from .clang-format: run 'clang-format -i' on the files named above"
  exit 1
fi

"$root/scripts/build.sh" -DWAVEHARM_WERROR=ON
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen
logs="$(mktemp -d)"
(cd "$root/build" && ctest --output-on-failure -j "$jobs") | tee "$logs/full.log"

echo "== Release build"
cmake -S "$root" -B "$root/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DWAVEHARM_WERROR=ON >/dev/null
cmake --build "$root/build-release" -j "$jobs"

echo "== core build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DWAVEHARM_CORE_ONLY=ON -DWAVEHARM_SANITIZE=ON -DWAVEHARM_BENCH=OFF -DWAVEHARM_USE_FFTW=OFF \
  -DWAVEHARM_WERROR=ON >/dev/null
cmake --build "$root/build-asan" -j "$jobs"
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs") |
  tee "$logs/asan.log"

echo "== Windows build under Wine"
"$root/scripts/windows.sh" "$root/build/app/waveharm-cli" "$root/build-asan/app/waveharm-cli"
"$root/scripts/windows-gui-check.sh"

if [ -x "$root/scripts/fuzz.sh" ] && [ -d "$root/fuzz" ] && ls "$root"/fuzz/*.cpp >/dev/null 2>&1; then
  echo "== fuzz harnesses"
  "$root/scripts/fuzz.sh" "${WAVEHARM_FUZZ_SECONDS:-20}"
fi

# One closing line over both test runs (each ctest run above stops the script on a failure).
passed=0
skipped=0
for log in "$logs"/full.log "$logs"/asan.log; do
  n=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  s=$(grep -c '(Skipped)' "$log" || true)
  passed=$((passed + ${n:-0} - s))
  skipped=$((skipped + s))
done
echo "tests: $passed passed, 0 failed, $skipped skipped"
