#!/usr/bin/env bash
# Peak memory of `waveharm-cli convert --jobs 2` over a folder of 100 and of 10 000 small
# demo recordings (8841, two feeders, 2000 samples each), and over 100 recordings of the
# 8847 layout with seven feeders (16 channels × 20 000 samples, 640 KB each). A run keeps
# a few recordings per worker at a time, so the two small runs must peak at about the
# same (the script fails when the larger needs more than 20 % and 8 MB above the
# smaller), and no run may peak at 64 MB or more. Not part of CI: it writes about 340 MB
# of recordings and takes a few minutes.
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
limit_kb=$((64 * 1024))

# A folder of N recordings, written by the demo command in batches of at most 1000
# (its limit), each batch with its own seed and file-name prefix. Further demo options
# (model, feeders, samples) follow the count.
make_folder() {
  local name="$1" left="$2" batch=0 n
  shift 2
  local folder="$work/$name"
  mkdir -p "$folder"
  while ((left > 0)); do
    n=$((left < 1000 ? left : 1000))
    "$cli" demo "$work/batch" --count "$n" --seed $((batch + 1)) --interval 5 "$@" >/dev/null
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

# Peak resident set size in kB of one conversion of a folder on two workers.
peak_kb() {
  local name="$1" log="$work/time_$1.log"
  local start end
  start=$(date +%s)
  /usr/bin/time -v "$cli" convert "$work/$name" --output "$work/out_$name" \
    --harmonics odd49 --jobs 2 >"$work/convert_$name.log" 2>"$log" || true
  end=$(date +%s)
  grep -q "records written" "$work/convert_$name.log" || {
    echo "memory_check: the conversion of $name failed"; cat "$log"; exit 1; }
  echo "  $name: $(grep 'recordings analysed' "$work/convert_$name.log"); $((end - start)) s" >&2
  grep "Maximum resident set size" "$log" | awk '{print $NF}'
}

make_folder small100 100
make_folder small10000 10000
make_folder large100 100 --model 8847 --feeders 7 --samples 20000
small=$(peak_kb small100)
large=$(peak_kb small10000)
wide=$(peak_kb large100)
echo "peak RSS with --jobs 2, 100 recordings:             $small kB"
echo "peak RSS with --jobs 2, 10 000 recordings:          $large kB"
echo "peak RSS with --jobs 2, 100 recordings of 16 x 20 000: $wide kB"
rm -rf "$work"
status=0
if ((large > small + small / 5 && large > small + 8192)); then
  echo "memory_check: peak memory grows with the number of recordings"
  status=1
fi
for peak in "$small" "$large" "$wide"; do
  if ((peak >= limit_kb)); then
    echo "memory_check: a run peaked at $peak kB, not below $limit_kb kB"
    status=1
  fi
done
((status == 0)) && echo "memory_check: flat, and below 64 MB with two workers"
exit "$status"
