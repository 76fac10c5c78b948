#!/usr/bin/env bash
# Records 10 s of real screen activity at 1280x720 under Xvfb with ffmpeg's x11grab, as raw
# bgr0 frames (each pixel 0x00RRGGBB read as a little-endian 32-bit word): chromium shows a long
# local page, a note is typed into its text box, the page is scrolled with the wheel, and the
# pointer moves between and after. By default smooth scrolling is off, so that each wheel step
# jumps and runs stay alike; `smooth` scrolls as Chromium does out of the box, gliding through the
# positions between.
# Usage: bench/recording_frames.sh OUT.bgr0 [frames per second, default 15] [WIDTHxHEIGHT, default 1280x720]
#                                  [steps|smooth, default steps]
set -euo pipefail
out=${1:?usage: recording_frames.sh OUT.bgr0 [fps] [WIDTHxHEIGHT] [steps|smooth]}
fps=${2:-15}
size=${3:-1280x720}
case ${4:-steps} in
  steps) scrolling=--disable-smooth-scrolling ;;
  smooth) scrolling=--enable-smooth-scrolling ;;
  *) echo "scrolling is steps or smooth, not $4" >&2; exit 2 ;;
esac
width=${size%x*} height=${size#*x} seconds=10
work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A long page: a note box at the top, then an article of headings, paragraphs, lists, code,
# a table and a few coloured panels.
python3 - "$work/page.html" <<'PY'
import sys
words = ("screen recording frames compress palette pixels region upload link clipboard window "
         "capture selection marker arrow text service history settings hot key tray icon image "
         "animation delay rectangle colour table transparent index").split()
def sentence(n, k):
    return " ".join(words[(n * 7 + i * 3) % len(words)] for i in range(k)).capitalize() + "."
parts = ["<!doctype html><html><head><meta charset='utf-8'><title>Recording notes</title><style>",
         "body{font-family:sans-serif;margin:0;background:#f6f7f9;color:#222}",
         "header{background:#2b5797;color:#fff;padding:14px 24px;font-size:22px}",
         "main{max-width:900px;margin:0 auto;padding:16px 24px;background:#fff}",
         "textarea{width:100%;height:90px;font-size:16px;border:1px solid #99a;border-radius:4px}",
         "pre{background:#272822;color:#f8f8f2;padding:10px;border-radius:4px}",
         "table{border-collapse:collapse}td,th{border:1px solid #ccd;padding:4px 10px}",
         "th{background:#e8ecf4}.panel{padding:10px 14px;margin:12px 0;border-radius:6px}",
         ".a{background:#fff4d6;border-left:5px solid #e0a800}.b{background:#e3f4e8;border-left:5px solid #2e8b57}",
         ".btn{display:inline-block;padding:6px 14px;margin-right:8px;border-radius:4px;color:#fff;background:#d9534f}",
         "</style></head><body><header>Glimor &mdash; recording notes</header><main>",
         "<p>Notes:</p><textarea id='note' autofocus></textarea>"]
for s in range(1, 19):
    parts.append(f"<h2>{s}. {sentence(s, 4)}</h2>")
    for p in range(3):
        parts.append(f"<p>{' '.join(sentence(s * 5 + p * 11 + i, 9 + (i % 5)) for i in range(5))}</p>")
    if s % 3 == 0:
        parts.append("<ul>" + "".join(f"<li>{sentence(s + i, 6)}</li>" for i in range(4)) + "</ul>")
    if s % 4 == 1:
        parts.append("<pre>" + "\n".join(f"frame[{i}] = writer.add(pixels + {i} * stride, {40 + i});"
                                          for i in range(5)) + "</pre>")
    if s % 4 == 2:
        parts.append("<table><tr><th>Frame</th><th>Bytes</th><th>Colours</th></tr>" +
                     "".join(f"<tr><td>{i}</td><td>{1000 + 37 * i * s}</td><td>{(i * 53 + s) % 256}</td></tr>"
                             for i in range(5)) + "</table>")
    if s % 4 == 3:
        parts.append(f"<div class='panel {'ab'[s % 2]}'>{sentence(s, 14)}</div>"
                     "<span class='btn'>Upload</span><span class='btn' style='background:#5b7db1'>Copy link</span>")
parts.append("</main></body></html>")
open(sys.argv[1], "w").write("\n".join(parts))
PY

display=""
for n in $(seq 160 199); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
  Xvfb ":$n" -screen 0 "${width}x${height}x24" -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && display=":$n" && break; sleep 0.1; done
  [ -n "$display" ] && break
done
[ -n "$display" ] || { echo "no X display" >&2; exit 1; }
export DISPLAY=$display

chromium --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync $scrolling --user-data-dir="$work/profile" \
  --window-position=0,0 --window-size=${width},${height} "file://$work/page.html" >/dev/null 2>&1 &
pids+=($!)
timeout 60 xdotool search --sync --onlyvisible --class chromium >/dev/null || { echo "chromium showed no window" >&2; exit 1; }
sleep 4 # the page drawn, the window settled
# The page's column is centred: on a wider screen the same spots lie this much further right (a
# click beside the note box would leave the typed spaces paging the article down).
dx=$(((width - 1280) / 2))
xdotool mousemove $((dx + 900)) 600

ffmpeg -loglevel error -y -f x11grab -framerate "$fps" -video_size ${width}x${height} -draw_mouse 1 \
  -i "$display" -t "$seconds" -pix_fmt bgr0 -f rawvideo "$out" &
grabber=$!
pids+=($grabber)
sleep 0.5
# The pointer glides to the note box and types (about 3 s).
for step in $(seq 0 10); do xdotool mousemove $((dx + 900 - step * 48)) $((600 - step * 30)); sleep 0.04; done
xdotool click 1
xdotool type --delay 35 "Recorded at 15 frames a second: the page scrolls, the pointer moves."
sleep 0.3
# To the article, then the wheel scrolls it down (about 4 s).
for step in $(seq 0 8); do xdotool mousemove $((dx + 400 + step * 30)) $((160 + step * 40)); sleep 0.04; done
for _ in $(seq 24); do xdotool click 5; sleep 0.16; done
# The pointer wanders until the recording ends.
step=0
while kill -0 "$grabber" 2>/dev/null; do
  xdotool mousemove $((dx + 300 + (step * 37) % 700)) $((200 + (step * 23) % 400))
  step=$((step + 1))
  sleep 0.05
done
wait "$grabber"
frames=$(($(stat -c %s "$out") / (width * height * 4)))
# A grabber that fell behind (a busy machine) keeps few frames and repeats them: no sequence to
# measure by.
if [ $frames -lt $((fps * seconds * 9 / 10)) ]; then
  rm -f "$out"
  echo "only $frames frames of ${width}x${height} in $seconds s at $fps fps: record on a quieter machine" >&2
  exit 1
fi
echo "recorded $frames frames of ${width}x${height} at $fps fps into $out"
