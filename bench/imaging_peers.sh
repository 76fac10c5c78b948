#!/usr/bin/env bash
# Runs the imaging benchmark and, in the same run, ImageMagick's
# `convert +dither -colors 256` (GIF) and `convert IN.bmp OUT.png` on the same
# generated captures, net of the time convert takes to start and read the file.
# Prints one table per peer, then the PNG writer against its peers with ratios,
# and the writer's time against bytes at each fixed level.
# Usage: bench/imaging_peers.sh [build dir, default build/linux]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
bench=$build/bench/imaging_bench
magick=/usr/bin/convert; [ -x "$magick" ] || magick=convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== imaging_bench (ms per image)"
"$bench" --benchmark_counters_tabular=true --benchmark_out="$work/bench.json" --benchmark_out_format=json

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

echo
echo "== ImageMagick: convert IN OUT.png (ms, median of 5)"
printf '%-12s %10s %10s %10s %10s %10s\n' image total start+read start net bytes
for image in screen-1080 photo-1080 screen-2160 photo-2160; do
  in=$work/$image.bmp
  total=$(median_ms "$magick" "$in" "$work/$image.png")
  read=$(median_ms "$magick" "$in" null:)
  start=$(median_ms "$magick" xc: null:)
  net=$(awk -v t="$total" -v r="$read" 'BEGIN { printf "%.1f", t - r }')
  printf '%-12s %10s %10s %10s %10s %10s\n' "$image" "$total" "$read" "$start" "$net" "$(stat -c %s "$work/$image.png")"
  echo "$image $net $(stat -c %s "$work/$image.png")" >>"$work/magick-png.txt"
done

echo
echo "== PNG: the writer against its peers (ms and bytes; speed = peer ms / writer ms, size = writer bytes / peer bytes)"
python3 - "$work/bench.json" "$work/magick-png.txt" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
def find(name, kind, size, level=None):
    for r in runs:
        parts = r["name"].split("/")
        if parts[0] == name and parts[1] == str(kind) and parts[2] == str(size) and \
                (level is None or parts[3] == str(level)):
            return r["real_time"], r.get("bytes", 0)
    return None
magick = {}
for line in open(sys.argv[2]):
    image, ms, size = line.split()
    magick[image] = (float(ms), float(size))
goals = {("screen", 0): (6, 1.2), ("photo", 0): (8, 1.1)}
print(f"{'image':12} {'writer':>18} {'libpng':>18} {'spng':>18} {'ImageMagick':>18}   vs libpng")
for size, height in ((0, 1080), (1, 2160)):
    for kind, kname in ((0, "screen"), (1, "photo")):
        image = f"{kname}-{height}"
        ours, libpng, spng = (find(n, kind, size) for n in ("BM_Png", "BM_PngLibpng", "BM_PngSpng"))
        if not (ours and libpng and spng):
            continue
        cells = [f"{ms:7.1f} {b / 1e3:8.1f}kB" for ms, b in (ours, libpng, spng, magick.get(image, (0, 0)))]
        speed, ratio = libpng[0] / ours[0], ours[1] / libpng[1]
        line = f"{image:12} " + " ".join(f"{c:>18}" for c in cells) + f"   {speed:5.1f}x faster, {ratio:5.3f}x bytes"
        goal = goals.get((kname, size))
        if goal:
            met = speed >= goal[0] and ratio <= goal[1]
            line += f"   goal >= {goal[0]}x, <= {goal[1]}x: {'met' if met else 'NOT met'}"
        print(line)
print()
print("== PNG: small crops, made as small as the writer can (size = writer bytes / libpng's, goal <= 1.2)")
for size, (w, h) in ((2, (211, 97)), (3, (640, 480))):
    for kind, kname in ((0, "screen"), (1, "photo")):
        ours, libpng = find("BM_Png", kind, size), find("BM_PngLibpng", kind, size)
        if ours and libpng:
            ratio = ours[1] / libpng[1]
            print(f"{kname:7} {w}x{h:<4} writer {ours[0]:7.2f} ms {ours[1]:9.0f} B   libpng {libpng[0]:7.2f} ms "
                  f"{libpng[1]:9.0f} B   {ratio:5.3f}x bytes: {'met' if ratio <= 1.2 else 'NOT met'}")
print()
print("== PNG writer, time against bytes at fixed levels (1080p; by default the level is chosen per piece)")
for kind, kname in ((0, "screen"), (1, "photo")):
    libpng = find("BM_PngLibpng", kind, 0)
    for level in (1, 2, 3, 4, 5, 6, 9):
        r = find("BM_PngLevel", kind, 0, level)
        if r and libpng:
            print(f"{kname:7} level {level}: {r[0]:7.1f} ms {r[1] / 1e3:9.1f} kB   "
                  f"{libpng[0] / r[0]:5.1f}x libpng's speed, {r[1] / libpng[1]:5.3f}x its bytes")
PY
