#!/usr/bin/env bash
# Writes the analysis window's pictures (every display mode on demo recordings) into
# docs/ under a virtual X server with the Japanese font.
#   scripts/analysis_screenshots.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
"$root/scripts/deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target test_ui
WAVEHARM_SCREENSHOT_DIR="$root/docs" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1600x1000x24" \
  "$build/tests/test_ui" --gtest_filter='AnalysisScreens.*'
ls -l "$root"/docs/analysis_mode*.png
