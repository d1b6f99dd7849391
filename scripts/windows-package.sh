#!/usr/bin/env bash
# Cross-builds the desktop program and the CLI for Windows on Debian and packs the zip an
# engineer unpacks anywhere and starts waveharm.exe from: the two programs, the Qt and
# QCustomPlot DLLs with the Windows platform and style plugins, the MinGW runtime, Qt's
# Japanese translation, the README, the LICENSE and the licence notices of what ships
# with them. Needs the Qt built once by scripts/windows-qt.sh (its cache folder,
# ${WAVEHARM_WINDOWS_CACHE:-$HOME/.cache/waveharm-windows}). The transform is the
# engine's own radix-2 one: Debian has no FFTW for mingw-w64.
# (On Windows itself, scripts/windows-package-msys2.sh builds the same with MSYS2.)
#   scripts/windows-package.sh [OUT_DIR]   (default out/windows; the build in build-windows-gui/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/out/windows}")"
cache="${WAVEHARM_WINDOWS_CACHE:-$HOME/.cache/waveharm-windows}"
qt="$cache/qt"
build="$root/build-windows-gui"
if [ ! -f "$qt/bin/libqcustomplot-qt6.dll" ]; then
  echo "windows-package: no Qt for Windows in $cache: run scripts/windows-qt.sh first"
  exit 2
fi
start=$SECONDS
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# The runtime is linked as DLLs here (not statically as in scripts/windows.sh): Qt's DLLs
# need them anyway, and one copy of libstdc++ then serves the whole program. Warnings
# stay warnings: a compiler newer than the one the code was written with must not stop
# the package.
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS= \
  -DWAVEHARM_TESTS=OFF -DWAVEHARM_BENCH=OFF -DWAVEHARM_WERROR=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target waveharm waveharm-cli waveharm-gui-walk

version="$(sed -n 's/^project(waveharm VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
name="waveharm-$version"
folder="$out/$name"
rm -rf "$folder" && mkdir -p "$folder/platforms" "$folder/styles" "$folder/translations" \
  "$folder/licenses"
cp "$build/app/waveharm.exe" "$build/app/waveharm-cli.exe" "$folder/"
cp "$qt/plugins/platforms/qwindows.dll" "$folder/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
cp /usr/share/qt6/translations/qtbase_ja.qm "$folder/translations/"
# Qt finds its plugins and translations beside the program.
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' >"$folder/qt.conf"

# Every DLL the programs and plugins import, and what those import in turn, from the Qt
# cache and the MinGW runtime; Windows' own DLLs are found nowhere here and stay out.
search=("$qt/bin" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p'; }
queue=("$folder"/*.exe "$folder"/platforms/*.dll "$folder"/styles/*.dll)
while ((${#queue[@]})); do
  file="${queue[0]}"
  queue=("${queue[@]:1}")
  for dll in $(imports "$file"); do
    [ -e "$folder/$dll" ] && continue
    for dir in "${search[@]}"; do
      if [ -f "$dir/$dll" ]; then
        cp "$dir/$dll" "$folder/"
        queue+=("$folder/$dll")
        break
      fi
    done
  done
done
x86_64-w64-mingw32-strip --strip-unneeded "$folder"/*.exe "$folder"/*.dll "$folder"/*/*.dll

cp "$root/README.md" "$root/LICENSE" "$folder/"
qt_version="$(sed -n 's/^qt \([^ ]*\) .*/\1/p' "$qt/build-times")"
qcp_version="$(sed -n 's/^qcustomplot \([^ ]*\) .*/\1/p' "$qt/build-times")"
cp "$cache/src/qt6-base/LICENSES/LGPL-3.0-only.txt" "$folder/licenses/Qt-LGPL-3.0.txt"
cp "$cache/src/qt6-base/debian/copyright" "$folder/licenses/Qt-copyright.txt"
cp "$cache/src/qcustomplot/debian/copyright" "$folder/licenses/QCustomPlot-copyright.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$folder/licenses/MinGW-GCC-runtime-copyright.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$folder/licenses/MinGW-w64-copyright.txt"
notice="$folder/licenses/NOTICE.txt"
sed -e "s/@QT@/$qt_version/g" -e "s/@QCP@/$qcp_version/g" -e 's/$/\r/' >"$notice" <<'EOF'
waveharm for Windows: what ships with it, under which licence, and where its source is

waveharm itself (waveharm.exe, waveharm-cli.exe): GPL-3.0-or-later, text in LICENSE.
Its source: the waveharm repository this package was built from.

Qt 6 (Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll, Qt6PrintSupport.dll, platforms/qwindows.dll,
styles/qwindowsvistastyle.dll, translations/qtbase_ja.qm): The Qt Company Ltd. and other
contributors, used under the GNU Lesser General Public License version 3 (Qt-LGPL-3.0.txt,
with the GPL-3.0 in LICENSE). The DLLs hold third-party code of Qt's (zlib, libpng,
FreeType, HarfBuzz, PCRE2, double-conversion, md4c and others) under the licences listed
in Qt-copyright.txt. The DLLs are Qt @QT@ as Debian packages it, built unchanged
for Windows (mingw-w64, Release; tablet events, SQL, network, D-Bus, XML, Concurrent and
Test left out) by waveharm's scripts/windows-qt.sh. Their source is Debian's source
package qt6-base, version @QT@:
  https://snapshot.debian.org/package/qt6-base/ (qt6-base_@QT@.dsc and its files)
  upstream: https://download.qt.io/archive/qt/6.4/
You may replace these DLLs with your own build of Qt 6.4 of the same configuration.

QCustomPlot (libqcustomplot-qt6.dll): Emanuel Eichhammer, GPL-3.0-or-later
(QCustomPlot-copyright.txt; text in LICENSE). Built from Debian's source package
qcustomplot, version @QCP@: https://snapshot.debian.org/package/qcustomplot/

The MinGW-w64 runtime: libstdc++-6.dll and libgcc_s_seh-1.dll from GCC, GPL-3.0-or-later
with the GCC Runtime Library Exception (MinGW-GCC-runtime-copyright.txt);
libwinpthread-1.dll from the mingw-w64 project, MIT/expat and BSD licences
(MinGW-w64-copyright.txt). Their source: Debian's source packages gcc-mingw-w64 and
mingw-w64, https://snapshot.debian.org/package/gcc-mingw-w64/ and
https://snapshot.debian.org/package/mingw-w64/
EOF

mkdir -p "$out"
rm -f "$out/$name-windows.zip"
(cd "$out" && zip -qr "$name-windows.zip" "$name")
echo "windows-package: $out/$name-windows.zip, $(du -k "$out/$name-windows.zip" | cut -f1) kB," \
  "built in $((SECONDS - start)) s"
unzip -l "$out/$name-windows.zip" |
  awk 'NR > 3 && $4 != "" && $4 !~ /\/$/ { print "  " $1 "  " $4 }' | sort -k2
