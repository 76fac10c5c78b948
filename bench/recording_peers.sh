#!/usr/bin/env bash
# The animated GIF writer against ffmpeg's two-pass GIF (palettegen, then paletteuse at its
# defaults) on the same 10 s of recorded screen activity at 1280x720: bytes, PSNR of the frames
# played back against the recorded ones, and encoding wall time (median of 3; ours is the whole
# bench program, reading the frames included, ffmpeg's is both passes), with ratios ours/ffmpeg.
# Usage: bench/recording_peers.sh [build dir, default build/linux] [FRAMES.bgr0 to reuse]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/linux}
bench=$build/bench/recording_bench
width=1280 height=720 fps=15
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
frames=${2:-}
if [ -z "$frames" ]; then
  frames=$build/recording/frames.bgr0
  mkdir -p "$(dirname "$frames")"
  "$root/bench/recording_frames.sh" "$frames" "$fps"
fi
input=(-f rawvideo -pix_fmt bgr0 -video_size ${width}x${height} -framerate $fps -i "$frames")

median_ms() { # command...: median wall time of 3 runs
  local times=() i start end
  for i in 1 2 3; do
    start=$(date +%s%N); "$@" >/dev/null 2>&1; end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 2p
}
ffmpeg_gif() {
  ffmpeg -loglevel error -y "${input[@]}" -vf palettegen "$work/palette.png" &&
    ffmpeg -loglevel error -y "${input[@]}" -i "$work/palette.png" -lavfi paletteuse "$work/ffmpeg.gif"
}

ours_ms=$(median_ms "$bench" encode "$frames" $width $height $fps "$work/ours.gif")
"$bench" encode "$frames" $width $height $fps "$work/ours.gif" >"$work/ours.txt"
ffmpeg_ms=$(median_ms ffmpeg_gif)
ffmpeg_gif
"$bench" psnr "$frames" $width $height $fps "$work/ours.gif" >>"$work/ours.txt"
"$bench" psnr "$frames" $width $height $fps "$work/ffmpeg.gif" >"$work/ffmpeg.txt"
figure() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }

echo "== recorded screen activity, $(($(stat -c %s "$frames") / (width * height * 4))) frames of ${width}x${height} at $fps fps"
printf '%-8s %12s %10s %10s %8s\n' encoder bytes 'PSNR dB' 'time ms' images
printf '%-8s %12s %10s %10s %8s   (writer alone %s ms)\n' ours "$(stat -c %s "$work/ours.gif")" \
  "$(figure psnr "$work/ours.txt")" "$ours_ms" "$(figure images "$work/ours.txt")" "$(figure writer_ms "$work/ours.txt")"
printf '%-8s %12s %10s %10s %8s\n' ffmpeg "$(stat -c %s "$work/ffmpeg.gif")" \
  "$(figure psnr "$work/ffmpeg.txt")" "$ffmpeg_ms" "$(figure images "$work/ffmpeg.txt")"
awk -v ob="$(stat -c %s "$work/ours.gif")" -v fb="$(stat -c %s "$work/ffmpeg.gif")" \
  -v op="$(figure psnr "$work/ours.txt")" -v fp="$(figure psnr "$work/ffmpeg.txt")" \
  -v ot="$ours_ms" -v ft="$ffmpeg_ms" 'BEGIN {
    printf "ours/ffmpeg: bytes %.3fx, PSNR %+.2f dB, time %.3fx\n", ob / fb, op - fp, ot / ft }'
