#!/usr/bin/env bash
# Builds the desktop program and the CLI on Windows and packs them into a folder and a
# zip an engineer unpacks and runs: waveharm.exe, waveharm-cli.exe, the Qt and MinGW
# DLLs (windeployqt), Qt's Japanese translation and the README. Run in the MSYS2
# "MINGW64" shell after installing the packages the README lists under "Windows".
# (On Debian, scripts/windows-package.sh cross-builds the same zip.)
#   scripts/windows-package-msys2.sh [OUT_DIR]   (default out/windows)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/out/windows}"
build="$root/build-msys2"
[ "${MSYSTEM:-}" = MINGW64 ] || { echo "windows-package: run in the MSYS2 MINGW64 shell"; exit 2; }

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWAVEHARM_TESTS=OFF \
  -DWAVEHARM_BENCH=OFF
cmake --build "$build" -j "$(nproc)" --target waveharm waveharm-cli

version="$(sed -n 's/^project(waveharm VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
folder="$out/waveharm-$version"
rm -rf "$folder" && mkdir -p "$folder"
cp "$build/app/waveharm.exe" "$build/app/waveharm-cli.exe" "$folder/"
# Qt's DLLs, plugins (platform, styles, image formats) and translations beside the program.
windeployqt6 --release --no-compiler-runtime --no-system-d3d-compiler --no-opengl-sw \
  --translations ja "$folder/waveharm.exe"
# The MinGW runtime and the libraries the programs link (FFTW, QCustomPlot, ...): every
# DLL from the MINGW64 tree that the programs or Qt's DLLs need, found with ldd.
for exe in "$folder"/*.exe "$folder"/*.dll; do
  ldd "$exe" | awk '$3 ~ /^\/mingw64\// { print $3 }'
done | sort -u | while read -r dll; do cp -n "$dll" "$folder/"; done
cp "$root/README.md" "$root/LICENSE" "$folder/"
(cd "$out" && rm -f "waveharm-$version-windows.zip" &&
  zip -qr "waveharm-$version-windows.zip" "waveharm-$version")
echo "windows-package: $folder and $out/waveharm-$version-windows.zip"
