#!/usr/bin/env bash
# The Windows build, checked under Wine: cross-compiles the Qt-free libraries, the CLI
# and the core test suites with mingw-w64 (GoogleTest from Debian's source, the same
# compiler), runs the suites under Wine, then converts demo campaigns with the Windows
# waveharm-cli.exe and compares its result files with the Linux programs': byte for byte
# with a Linux CLI on the same transform (the engine's own radix-2 one, since the cross
# build has no FFTW), value by value within float noise with one on FFTW. Last, a
# conversion with Japanese folder and file names in and out, and the dump of its file.
#   scripts/windows.sh [LINUX_CLI] [LINUX_RADIX2_CLI]
# LINUX_CLI defaults to build/app/waveharm-cli; without LINUX_RADIX2_CLI a core-only
# Linux build without FFTW is made in build-radix2/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
jobs="$(nproc)"
linux_cli="${1:-$root/build/app/waveharm-cli}"
radix2_cli="${2:-}"
win="$root/build-windows"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
wine="$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)"
wineserver="$(command -v wineserver || echo "$(dirname "$wine")/wineserver")"

echo "== Windows build (mingw-w64, posix threads, static runtime)"
# -O2 as the Linux builds: at -O3 GCC 12 warns falsely inside std::string.
cmake -S "$root" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DWAVEHARM_CORE_ONLY=ON -DWAVEHARM_BENCH=OFF \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" "${launcher[@]}" | grep 'waveharm transform'
cmake --build "$win" -j "$jobs"
if [ -z "$radix2_cli" ]; then
  echo "== Linux CLI on the radix-2 transform"
  cmake -S "$root" -B "$root/build-radix2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DWAVEHARM_CORE_ONLY=ON -DWAVEHARM_USE_FFTW=OFF -DWAVEHARM_TESTS=OFF -DWAVEHARM_BENCH=OFF \
    "${launcher[@]}" | grep 'waveharm transform'
  cmake --build "$root/build-radix2" -j "$jobs" --target waveharm-cli
  radix2_cli="$root/build-radix2/app/waveharm-cli"
fi

# A Wine of its own, quiet, with UTF-8 arguments.
export WINEPREFIX WINEDEBUG=-all LC_ALL=C.UTF-8
WINEPREFIX="$(mktemp -d)"
work="$(mktemp -d)"
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$WINEPREFIX" "$work"' EXIT
"$wine" wineboot -i >/dev/null 2>&1 || true
wincli() { "$wine" "$win/app/waveharm-cli.exe" "$@"; }

echo "== core test suites under Wine"
# Wine now and then loses a child process's exit status (seen as -1 in the dump tests):
# a failed suite runs once more on its own, and a second failure stops the script.
(cd "$win" && { ctest --output-on-failure -j "$jobs" ||
  { echo "windows: suites failed under Wine, running them once more"; ctest --rerun-failed --output-on-failure; }; })

echo "== Windows CLI against Linux"
wincli --version | tr -d '\r'
# CSV lines of two dumps agree: texts exactly, numbers within the float noise of the
# transform, which scales with the largest value of the record (the fundamental): 2e-6
# of it. An angle is compared (to the degree it is rounded to) only where its harmonic
# stands above 1e-3 of the record's largest value: a smaller one's angle is noise itself.
same_values() {
  awk -F, 'function abs(x) { return x < 0 ? -x : x }
    function number(s) { return s ~ /^-?[0-9.]+([eE][-+]?[0-9]+)?$/ }
    NR == FNR { a[FNR] = $0; n = FNR; next }
    FNR == 1 {
      for (i = 1; i <= NF; ++i) { h[i] = $i; column[$i] = i }
      if ($0 != a[1]) { print "headers differ"; bad = 1; exit }
      next
    }
    {
      if (!(FNR in a)) { print "extra line " FNR; bad = 1; exit }
      if (split(a[FNR], f, ",") != NF) { print "line " FNR ": column count"; bad = 1; exit }
      top = 0
      for (i = 3; i <= NF; ++i) if (number(f[i]) && abs(f[i]) > top) top = abs(f[i])
      for (i = 1; i <= NF; ++i) {
        if (f[i] == $i) continue
        if (number(f[i]) && number($i)) {
          d = abs(f[i] - $i)
          if (h[i] !~ /angle/ && d <= 2e-6 * top) continue
          if (h[i] ~ /angle/) {
            m = h[i]; sub(/_(sup_|phase_)?angle/, "", m)
            if (d > 180) d = 360 - d
            if (!(m in column) || abs(f[column[m]]) < 1e-3 * top || d <= 1) continue
          }
        }
        print "line " FNR ", column " h[i] ": " f[i] " and " $i; bad = 1
        if (++shown == 5) exit
      }
      lines = FNR
    }
    END { if (!bad && lines != n) { print "missing lines"; bad = 1 } exit bad }' "$1" "$2"
}
"$linux_cli" demo "$work/rec" --model 8841 --feeders 2 --count 12 --interval 20 >/dev/null
status=0
while read -r name options; do
  mkdir -p "$work/win/$name" "$work/linux/$name" "$work/radix2/$name"
  # shellcheck disable=SC2086
  {
    wincli convert "$work/rec" --output "$work/win/$name/result" $options >/dev/null 2>&1
    "$linux_cli" convert "$work/rec" --output "$work/linux/$name/result" $options >/dev/null 2>&1
    "$radix2_cli" convert "$work/rec" --output "$work/radix2/$name/result" $options >/dev/null 2>&1
  }
  for file in "$work/radix2/$name"/*; do
    base="$(basename "$file")"
    if ! cmp -s "$file" "$work/win/$name/$base"; then
      echo "$name: $base differs from the Linux radix-2 build's"; status=1
    fi
    "$linux_cli" dump "$work/linux/$name/$base" >"$work/linux.csv"
    wincli dump "$work/win/$name/$base" | tr -d '\r' >"$work/win.csv"
    if ! same_values "$work/linux.csv" "$work/win.csv"; then
      echo "$name: $base differs from the Linux FFTW build's beyond float noise"; status=1
    fi
  done
  echo "$name: $(ls "$work/win/$name" | tr '\n' ' ')checked"
done <<'EOF'
3p2m-odd49 --type 3p2m --feeders 2 --harmonics odd49 --ct 100,200
3p2m-256 --type 3p2m --feeders 2 --harmonics 256
3p3m-angle-unbalance --type 3p3m --feeders 1 --harmonics angle-unbalance
1p3w-angle --type 1p3w --feeders 1 --harmonics angle --save vthd-max
3p2m-sinc --type 3p2m --feeders 1 --harmonics unbalance --interpolation sinc --samples 512
EOF
((status == 0)) || exit 1

echo "== Japanese folder and file names under Wine"
site="$work/変電所 A"
wincli demo "$site" --model 8847 --feeders 1 --count 3 --interval 60 >/dev/null
cp "$site/$(ls "$site" | head -n 1)" "$site/記録 データ.MEM"
wincli convert "$site" --output "$site/結果 変電所 A" --harmonics odd49 | tr -d '\r'
"$radix2_cli" convert "$site" --output "$work/linux-site" --harmonics odd49 >/dev/null
cmp "$site/結果 変電所 A.hm1" "$work/linux-site.hm1"
wincli dump "$site/結果 変電所 A.hm1" | tr -d '\r' | cut -c 1-100
echo "windows: all checks passed"
