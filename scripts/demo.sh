#!/usr/bin/env bash
# The main job end to end: installs what is missing, builds, writes a folder of
# demo recordings, converts it into harm result files and prints the first records.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh"
cli="$root/build/app/waveharm-cli"
demo="${1:-$root/out/demo}"
rm -rf "$demo" && mkdir -p "$demo/recordings"
"$cli" demo "$demo/recordings" --model 8841 --feeders 2 --count 12 --interval 20
"$cli" info "$demo/recordings"
# Two feeders by the two-wattmeter method, odd harmonics 1-49, CTs of 100 and 200.
"$cli" convert "$demo/recordings" --output "$demo/result.dat" --type 3p2m --feeders 2 \
  --harmonics odd49 --ct 100,200
"$cli" dump "$demo"/result.hm2 | head -n 4 | cut -c 1-400
