#!/usr/bin/env bash
# Writes the README pictures into docs/: the settings screen and the wiring check, and
# the analysis window in every display mode, all on demo recordings, under a virtual X
# server with the Japanese font. Each window is shot on the screen size it was laid out
# for.
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
"$root/scripts/deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target test_ui
shoot() {  # shoot SCREEN_SIZE GTEST_FILTER
  WAVEHARM_SCREENSHOT_DIR="$root/docs" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 $1x24" \
    "$build/tests/test_ui" --gtest_filter="$2"
}
shoot 1400x900 'SettingsScreens.*'
shoot 1600x1000 'AnalysisScreens.*'
ls -l "$root/docs/settings_screen.png" "$root/docs/wiring_check.png" "$root"/docs/analysis_mode*.png
