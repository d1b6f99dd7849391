#!/usr/bin/env bash
# Makes the README pictures in docs/ again: the desktop program walked through a run on
# demo recordings on a 1366×768 laptop screen (a virtual X server with the openbox window
# manager and the Japanese font), photographed whole at each stage — the Japanese save
# dialog, the settings screen, the wiring check, the analysis window in every display
# mode, the end-of-run summary with a skipped recording, the campaign view — and the
# campaign report as chromium renders it.
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
"$root/scripts/deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target waveharm-readme-pictures waveharm-cli

# Three hours of demo results, two feeders, for the campaign view and the report.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cli="$build/app/waveharm-cli"
"$cli" demo "$work/rec" --feeders 2 --count 180 --interval 60 >/dev/null
"$cli" convert "$work/rec" --output "$work/site" --harmonics odd49 --feeders 2 --ct 40 >/dev/null

# A free display number, its X server and the window manager, for the program's run.
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
DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$build/tools/waveharm-readme-pictures" \
  "$root/docs" "$work/site.hm2"

# The report of the same results checked against the 6.6 kV guideline for a 3000 kW
# contract: the top of the page as a browser shows it.
(cd "$work" && "$cli" report site.hm2 --output report --limits jp-6.6kv --contract-kw 3000)
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
  --screenshot="$root/docs/report.png" --window-size=1000,1400 \
  "file://$work/report/report.html" 2>/dev/null
# The report the campaign view saved with the run's setup and the site's name.
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
  --screenshot="$root/docs/report_setup.png" --window-size=1000,1100 \
  "file://$root/docs/campaign_report/report.html" 2>/dev/null
rm -rf "$root/docs/campaign_report"
ls -l "$root"/docs/*.png
