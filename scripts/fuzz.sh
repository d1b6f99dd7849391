#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (AddressSanitizer + UBSan) and runs
# each one: first over its committed corpus and regression inputs, then for a
# bounded time (SECONDS, default 60) of new inputs. New corpus entries go to a
# scratch folder; anything that crashes is left in out/fuzz/<harness>/ as
# crash-* / timeout-* files, to be committed under fuzz/regressions/<harness>/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$root/scripts/deps.sh"
build="$root/build-fuzz"
CXX=clang++ CC=clang cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWAVEHARM_CORE_ONLY=ON -DWAVEHARM_FUZZ=ON -DWAVEHARM_TESTS=OFF -DWAVEHARM_BENCH=OFF \
  -DWAVEHARM_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

status=0
for exe in "$build"/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name="$(basename "$exe")"
  corpus="$root/fuzz/corpus/$name"
  regressions="$root/fuzz/regressions/$name"
  work="$root/out/fuzz/$name"
  rm -rf "$work" && mkdir -p "$work/new"
  inputs=()
  [ -d "$corpus" ] && inputs+=("$corpus")
  [ -d "$regressions" ] && inputs+=("$regressions")
  if ((${#inputs[@]})); then
    echo "== $name: replaying $(find "${inputs[@]}" -type f | wc -l) committed inputs"
    files=()
    while IFS= read -r -d '' f; do files+=("$f"); done < <(find "${inputs[@]}" -type f -print0)
    if ! "$exe" -runs=0 -timeout=10 -rss_limit_mb=4096 "${files[@]}" >"$work/replay.log" 2>&1; then
      echo "$name: a committed input fails"; tail -n 30 "$work/replay.log"; status=1; continue
    fi
  fi
  echo "== $name: fuzzing for ${seconds}s"
  if ! (cd "$work" && "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -max_len=65536 -print_final_stats=1 "$work/new" "${inputs[@]}" >"$work/fuzz.log" 2>&1); then
    echo "$name: crash or hang found (inputs in $work)"; tail -n 40 "$work/fuzz.log"; status=1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/fuzz.log" | sed "s/^/  $name /" || true
done
exit $status
