#!/usr/bin/env bash
# Pictures of the wiring check on a miswired campaign of three feeders (feeder 2's R clamp
# reversed on ch5, feeder 3's R and T exchanged on ch7 and ch8) on a 1366×768 screen with
# openbox: the check as it opens and maximised, walked by the gui walk plugin.
#   scripts/wiring_check_pictures.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
out="$(realpath -m "${2:-$root/docs}")"
cmake --build "$build" -j 2 --target waveharm waveharm-cli waveharm-gui-walk >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/app/waveharm-cli" demo "$work/rec" --feeders 3 --count 4 \
  --invert-channel 5 --exchange-channels 7,8 >/dev/null

display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$wm" "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
DISPLAY=":$display" openbox >/dev/null 2>&1 &
wm=$!
sleep 1
mkdir -p "$out" "$work/out"
DISPLAY=":$display" QT_QPA_PLATFORM=xcb QT_PLUGIN_PATH="$build/tools" \
  QT_QPA_GENERIC_PLUGINS=waveharmwalk WAVEHARM_WALK_OUTPUT="$work/out/site" \
  WAVEHARM_WALK_PICTURES="$work/shot_" "$build/app/waveharm" "$work/rec"
cp "$work/shot_wiring_check.png" "$out/wiring_check_miswired.png"
cp "$work/shot_wiring_check_maximised.png" "$out/wiring_check_miswired_maximised.png"
ls -l "$out"/wiring_check_miswired*.png
