#!/usr/bin/env bash
# The Windows desktop program, checked under Wine: brings the zip of
# scripts/windows-package.sh up to date, unpacks it into a fresh Wine prefix, starts
# waveharm.exe on demo recordings of two feeders in a folder with a Japanese name, on a
# 1366×768 virtual screen with the openbox window manager, and walks a run through it (the settings
# screen, "ファイル名設定" and its save dialog, "データ変換開始", the wiring check, "ＯＫ", the
# analysis window, the end-of-run summary, the campaign view) with the walk plugin of
# tools/gui_walk.cpp, photographing each stage. Then the Linux desktop program, built on
# the same radix-2 transform, walks the same run, and the result files of the two must be
# the same byte for byte.
#   scripts/windows-gui-check.sh [PICTURE_DIR]
# With PICTURE_DIR (docs/ for the README) the pictures are kept there as windows_*.png.
# Needs the cache of scripts/windows-qt.sh; the Linux build is made in build-radix2-gui/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
pictures="${1:+$(realpath -m "$1")}"
cache="${WAVEHARM_WINDOWS_CACHE:-$HOME/.cache/waveharm-windows}"
if [ ! -f "$cache/qt/bin/libqcustomplot-qt6.dll" ]; then
  echo "windows-gui-check: skipped, no Qt for Windows in $cache (scripts/windows-qt.sh makes it)"
  exit 0
fi
jobs="$(nproc)"
version="$(sed -n 's/^project(waveharm VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
zip="$root/out/windows/waveharm-$version-windows.zip"
walk_dll="$root/build-windows-gui/tools/generic/waveharm-gui-walk.dll"

echo "== the Windows package"
log="$(mktemp)"
if ! "$root/scripts/windows-package.sh" >"$log" 2>&1; then
  cat "$log"; rm -f "$log"; exit 1
fi
grep '^windows-package:' "$log"
rm -f "$log"

echo "== Linux desktop program on the radix-2 transform"
linux="$root/build-radix2-gui"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVEHARM_USE_FFTW=OFF \
  -DWAVEHARM_TESTS=OFF -DWAVEHARM_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$linux" -j "$jobs" --target waveharm waveharm-cli waveharm-gui-walk >/dev/null

wine="$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)"
wineserver="$(command -v wineserver || echo "$(dirname "$wine")/wineserver")"
export WINEPREFIX WINEDEBUG=-all LC_ALL=C.UTF-8
WINEPREFIX="$(mktemp -d)"
work="$(mktemp -d)"
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
wm=""
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  kill $wm "$xvfb" 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
wm=$!

echo "== waveharm.exe under Wine"
"$wine" wineboot -i >/dev/null 2>&1 || true
# Wine brings no Japanese font of its own: the IPA Gothic goes into the prefix's fonts,
# and its proportional face stands in for the dialog font, as a Japanese Windows shows
# its windows in a Gothic face.
cp /usr/share/fonts/opentype/ipafont-gothic/ipag*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic"; do
  "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null
done
app="$WINEPREFIX/drive_c/waveharm"
mkdir -p "$app" && unzip -q "$zip" -d "$app"
exe="$(ls "$app"/*/waveharm.exe)"
mkdir -p "$work/walk/generic" "$work/linux" "$work/pictures" "$WINEPREFIX/drive_c/結果"
cp "$walk_dll" "$work/walk/generic/"
# The recordings as copied from the recorder's card to C:\計測データ\変電所 A.
site="$WINEPREFIX/drive_c/計測データ/変電所 A"
"$linux/app/waveharm-cli" demo "$site" --feeders 2 --count 6 --interval 60 >/dev/null
winpath() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
started=$SECONDS
# Wine hands QT_* variables of the host to Windows programs only when written WINEQT_*.
WINEQT_PLUGIN_PATH="$(winpath "$work/walk")" WINEQT_QPA_GENERIC_PLUGINS=waveharmwalk \
  WAVEHARM_WALK_OUTPUT='C:\結果\変電所 A' \
  WAVEHARM_WALK_PICTURES="$(winpath "$work/pictures")\\windows_" \
  timeout 600 "$wine" "$exe" 'C:\計測データ\変電所 A' 2>&1 | tr -d '\r' | grep '^gui walk' |
  tee "$work/win.log" || true
if ! grep -q '^gui walk: done' "$work/win.log"; then
  echo "windows-gui-check: the walk under Wine stopped"
  exit 1
fi
win_results="$WINEPREFIX/drive_c/結果"
echo "walked in $((SECONDS - started)) s, wrote $(ls "$win_results" | tr '\n' ' ')"

echo "== the Linux program walks the same run"
QT_PLUGIN_PATH="$linux/tools" QT_QPA_GENERIC_PLUGINS=waveharmwalk QT_QPA_PLATFORM=xcb \
  WAVEHARM_WALK_OUTPUT="$work/linux/変電所 A" timeout 300 "$linux/app/waveharm" "$site" \
  >"$work/linux.log" 2>&1 || true
if ! grep -q '^gui walk: done' "$work/linux.log"; then
  echo "windows-gui-check: the walk on Linux stopped"
  exit 1
fi
status=0
for file in "$work/linux"/*; do
  base="$(basename "$file")"
  if cmp -s "$file" "$win_results/$base"; then
    echo "$base: the same bytes ($(stat -c %s "$file") bytes)"
  else
    echo "$base: differs from the Linux program's"; status=1
  fi
done
if [ "$(ls "$win_results")" != "$(ls "$work/linux")" ]; then
  echo "the two runs wrote different files"
  status=1
fi
((status == 0)) || exit 1

if [ -n "$pictures" ]; then
  mkdir -p "$pictures"
  cp "$work/pictures"/windows_*.png "$pictures/"
  ls -l "$pictures"/windows_*.png
fi
echo "windows-gui-check: all checks passed"
