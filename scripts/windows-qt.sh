#!/usr/bin/env bash
# Builds, once, what the Windows desktop program needs beyond Debian's mingw-w64: Qt 6
# (QtCore, QtGui, QtWidgets, QtPrintSupport, the Windows platform and style plugins) and
# QCustomPlot, both from Debian's own source packages of the versions this machine runs,
# cross-compiled with mingw-w64 into a cache folder outside the checkout:
#   ${WAVEHARM_WINDOWS_CACHE:-$HOME/.cache/waveharm-windows}
#     qt/     the Qt install (bin/*.dll, plugins/, lib/cmake/Qt6/qt.toolchain.cmake),
#             with QCustomPlot's header, import library and DLL added to it
#     src/    the unpacked sources (Qt's licence texts are taken from here)
#     apt/    a private apt state: its own sources list (deb-src), lists and cache; the
#             machine's apt configuration is left as it is
# On two cores Qt takes half an hour (an idle machine) to two and a half hours (one busy
# with other builds), QCustomPlot under two minutes.
# Each part is skipped when already built; the time each took is kept in qt/build-times.
#   scripts/windows-qt.sh [qt|qcustomplot|all]   (default all)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cache="${WAVEHARM_WINDOWS_CACHE:-$HOME/.cache/waveharm-windows}"
what="${1:-all}"
jobs="$(nproc)"
prefix="$cache/qt"
mkdir -p "$cache/src" "$cache/apt/parts" "$cache/apt/lists/partial" \
  "$cache/apt/cache/archives/partial"

# apt with a private state: the machine's Debian sources, as source ("deb-src") entries.
papt() {
  apt-get -q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$cache/apt/parts" \
    -o Dir::State::Lists="$cache/apt/lists" -o Dir::Cache="$cache/apt/cache" \
    -o APT::Sandbox::User=root "$@"
}
apt_ready=0
fetch_source() { # PACKAGE VERSION: unpacks Debian's source of PACKAGE at VERSION in src/
  if ((apt_ready == 0)); then
    for f in /etc/apt/sources.list.d/*.sources; do
      sed 's/^Types: .*/Types: deb-src/' "$f" >"$cache/apt/parts/$(basename "$f")"
    done
    papt update >/dev/null
    apt_ready=1
  fi
  (cd "$cache/src" && papt source --download-only "$1=$2" >/dev/null)
  local dsc
  dsc="$(ls "$cache/src/$1_${2#*:}.dsc")"
  rm -rf "$cache/src/$1"
  dpkg-source --no-check -x "$dsc" "$cache/src/$1" >/dev/null
}
version_of() { dpkg-query -W -f='${source:Version}' "$1"; }
elapsed() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

build_qt() {
  local version start
  version="$(version_of qt6-base-dev-tools)" # the host tools must match the source
  start=$SECONDS
  echo "windows-qt: Qt $version for mingw-w64 into $prefix ($(date +%H:%M))"
  fetch_source qt6-base "$version"
  rm -rf "$cache/build-qt" "$prefix"
  # The toolchain is kept in the cache: Qt's own toolchain file for projects chains to it.
  cp "$root/cmake/mingw-w64.cmake" "$cache/mingw-w64.cmake"
  # Debian's source lacks Wacom's wintab.h (tablet events off); OpenGL stays on, since
  # the Windows platform plugin of this Qt does not build without it.
  cmake -S "$cache/src/qt6-base" -B "$cache/build-qt" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-w64.cmake" -DCMAKE_EXE_LINKER_FLAGS= \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_testlib=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF >"$cache/qt-configure.log"
  cmake --build "$cache/build-qt" -j "$jobs"
  cmake --install "$cache/build-qt" >/dev/null
  echo "qt $version $(elapsed $((SECONDS - start)))" >>"$prefix/build-times"
  echo "windows-qt: Qt built in $(elapsed $((SECONDS - start)))"
}

build_qcustomplot() {
  local version start
  version="$(version_of libqcustomplot-dev)"
  start=$SECONDS
  echo "windows-qt: QCustomPlot $version for mingw-w64 into $prefix"
  fetch_source qcustomplot "$version"
  # One DLL from the one source file, as Debian's own package builds it.
  mkdir -p "$cache/build-qcustomplot"
  cat >"$cache/build-qcustomplot/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.22)
project(qcustomplot CXX)
find_package(Qt6 REQUIRED COMPONENTS Widgets PrintSupport)
add_library(qcustomplot-qt6 SHARED $cache/src/qcustomplot/qcustomplot.cpp)
target_compile_definitions(qcustomplot-qt6 PRIVATE QCUSTOMPLOT_COMPILE_LIBRARY)
target_link_libraries(qcustomplot-qt6 PRIVATE Qt6::Widgets Qt6::PrintSupport)
set_target_properties(qcustomplot-qt6 PROPERTIES AUTOMOC ON PREFIX lib)
install(TARGETS qcustomplot-qt6)
install(FILES $cache/src/qcustomplot/qcustomplot.h DESTINATION include)
EOF
  "$prefix/bin/qt-cmake" -S "$cache/build-qcustomplot" -B "$cache/build-qcustomplot/build" \
    -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
  cmake --build "$cache/build-qcustomplot/build" -j "$jobs"
  cmake --install "$cache/build-qcustomplot/build" >/dev/null
  echo "qcustomplot $version $(elapsed $((SECONDS - start)))" >>"$prefix/build-times"
  echo "windows-qt: QCustomPlot built in $(elapsed $((SECONDS - start)))"
}

case "$what" in
  qt | all) [ -f "$prefix/bin/Qt6Widgets.dll" ] || build_qt ;;&
  qcustomplot | all) [ -f "$prefix/bin/libqcustomplot-qt6.dll" ] || build_qcustomplot ;;
  qt) ;;
  *) echo "usage: scripts/windows-qt.sh [qt|qcustomplot|all]"; exit 2 ;;
esac
echo "windows-qt: ready in $prefix"
cat "$prefix/build-times"
