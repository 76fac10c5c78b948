#!/usr/bin/env bash
# Runs the imaging benchmark and, in the same run, ImageMagick's
# `convert +dither -colors 256` on the same generated captures, net of the time
# convert takes to start and read the file. Prints one table per peer.
# Usage: bench/imaging_peers.sh [build dir, default build/linux]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
bench=$build/bench/imaging_bench
magick=/usr/bin/convert; [ -x "$magick" ] || magick=convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== imaging_bench (ms per image)"
"$bench" --benchmark_counters_tabular=true

echo
echo "== ImageMagick: convert IN +dither -colors 256 OUT.gif (ms, median of 5)"
"$bench" --write-images="$work"
median_ms() { # command...: median wall time of 5 runs after 1 warm-up
  local times=() i start end
  "$@" >/dev/null 2>&1
  for i in 1 2 3 4 5; do
    start=$(date +%s%N); "$@" >/dev/null 2>&1; end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p | awk '{ printf "%.1f", $1 / 1000 }'
}
printf '%-12s %10s %10s %10s %10s\n' image total start+read start net
for image in screen-1080 photo-1080 screen-2160 photo-2160; do
  in=$work/$image.bmp
  total=$(median_ms "$magick" "$in" +dither -colors 256 "$work/$image.gif")
  read=$(median_ms "$magick" "$in" null:)
  start=$(median_ms "$magick" xc: null:)
  net=$(awk -v t="$total" -v r="$read" 'BEGIN { printf "%.1f", t - r }')
  printf '%-12s %10s %10s %10s %10s\n' "$image" "$total" "$read" "$start" "$net"
done
