#!/usr/bin/env bash
# Peak memory and time of `waveharm-cli report` over a year of minute records of seven
# feeders (odd orders, 525 600 records, a 608 MB .hm7 file) and over 20 000 records. The
# report keeps a fixed budget of series values, so the year must stay within 256 MB, and
# its HTML must be about as large as the short one's (the charts keep each drawn
# column's minimum and maximum). Not part of CI: it writes 608 MB.
#   scripts/campaign_memory_check.sh [BUILD_DIR]   (default build/; needs /usr/bin/time)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cli="$build/app/waveharm-cli"
writer="$build/bench/bench_campaign"
for program in "$cli" "$writer"; do
  [ -x "$program" ] || { echo "campaign_memory_check: $program not built"; exit 2; }
done
[ -x /usr/bin/time ] || { echo "campaign_memory_check: /usr/bin/time missing"; exit 2; }
work="${TMPDIR:-/tmp}/waveharm_campaign_memory_check"
rm -rf "$work" && mkdir -p "$work"

# N minute records from 2025-01-01 00:00, written by the program's own result writer.
make_file() { "$writer" --write "$2" "$1"; }

measure() {  # measure NAME RECORDS
  make_file "$2" "$work/$1.hm7"
  /usr/bin/time -v "$cli" report "$work/$1.hm7" --output "$work/$1" --limits jp-6.6kv \
    --contract-kw 2000 2>"$work/$1.time" >/dev/null
  local kb s html
  kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/$1.time")
  s=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/$1.time")
  html=$(stat -c %s "$work/$1/report.html")
  echo "$1: $2 records, peak $((kb / 1024)) MB, $s, report.html $html bytes"
  eval "${1}_kb=$kb ${1}_html=$html"
}
measure short 20000
measure year 525600
rm -rf "$work"
if ((year_kb > 256 * 1024)); then echo "a year of records needs more than 256 MB"; exit 1; fi
if ((year_html > short_html * 11 / 10)); then echo "the report grows with the record count"; exit 1; fi
echo "campaign memory check passed"
