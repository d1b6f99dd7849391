#!/usr/bin/env bash
# Writes the pictures of the settings screen and the wiring check (demo recordings)
# into docs/ under a virtual X server with the Japanese font.
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
"$root/scripts/deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target test_ui
WAVEHARM_SCREENSHOT_DIR="$root/docs" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1400x900x24" \
  "$build/tests/test_ui" --gtest_filter='SettingsScreens.*'
ls -l "$root/docs/settings_screen.png" "$root/docs/wiring_check.png"
