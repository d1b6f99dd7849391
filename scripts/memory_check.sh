#!/usr/bin/env bash
# Peak memory of `waveharm-cli convert` over a folder of 100 and of 10 000 small demo
# recordings (8841, two feeders, 2000 samples each). A run keeps one recording at a
# time, so both peaks must be about the same; the script fails when the larger run
# needs more than 20 % (and 8 MB) above the smaller one. Not part of CI: it writes
# about 280 MB of recordings and takes a few minutes.
#   scripts/memory_check.sh [BUILD_DIR]   (default build/; needs /usr/bin/time)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cli="$build/app/waveharm-cli"
[ -x "$cli" ] || { echo "memory_check: $cli not built"; exit 2; }
[ -x /usr/bin/time ] || { echo "memory_check: /usr/bin/time missing (Debian package 'time')"; exit 2; }
work="${TMPDIR:-/tmp}/waveharm_memory_check"
rm -rf "$work"
mkdir -p "$work"

# A folder of N recordings, written by the demo command in batches of at most 1000
# (its limit), each batch with its own seed and file-name prefix.
make_folder() {
  local count="$1" folder="$work/rec$1" batch=0 left="$1" n
  mkdir -p "$folder"
  while ((left > 0)); do
    n=$((left < 1000 ? left : 1000))
    "$cli" demo "$work/batch" --count "$n" --seed $((batch + 1)) --interval 5 >/dev/null
    # One process for the whole batch: a mv per file is slow on a busy machine.
    perl -e 'my ($from, $to, $tag) = @ARGV;
      for my $f (glob("$from/*.MEM")) {
        (my $b = $f) =~ s{.*/}{};
        rename($f, "$to/${tag}_$b") or die "rename $f: $!";
      }' "$work/batch" "$folder" "B$batch"
    rmdir "$work/batch"
    left=$((left - n))
    batch=$((batch + 1))
  done
}

# Peak resident set size in kB of one conversion of N recordings.
peak_kb() {
  local count="$1" log="$work/time$1.log"
  local start end
  start=$(date +%s)
  /usr/bin/time -v "$cli" convert "$work/rec$count" --output "$work/out$count" \
    --harmonics odd49 >"$work/convert$count.log" 2>"$log" || true
  end=$(date +%s)
  grep -q "records written" "$work/convert$count.log" || {
    echo "memory_check: the conversion of $count recordings failed"; cat "$log"; exit 1; }
  echo "  $count: $(grep 'recordings analysed' "$work/convert$count.log"); $((end - start)) s" >&2
  grep "Maximum resident set size" "$log" | awk '{print $NF}'
}

for n in 100 10000; do make_folder "$n"; done
small=$(peak_kb 100)
large=$(peak_kb 10000)
echo "peak RSS, 100 recordings:    $small kB"
echo "peak RSS, 10 000 recordings: $large kB"
rm -rf "$work"
if ((large > small + small / 5 && large > small + 8192)); then
  echo "memory_check: peak memory grows with the number of recordings"
  exit 1
fi
echo "memory_check: flat"
