#!/usr/bin/env bash
# The crop files of glimor-cli encode, read back by independent decoders:
# ImageMagick for the BMP, cjpeg/djpeg (the same libjpeg-turbo) for the JPEG,
# giflib and ImageMagick for the GIF; the PNG checked by pngcheck and read by
# ImageMagick. Also: bad input exits 2 without a crash.
set -uo pipefail
build=${GLIMOR_BUILD_DIR:-$(cd "$(dirname "$0")/../.." && pwd)/build/linux}
cli=$build/src/cli/glimor-cli
magick=/usr/bin/convert; [ -x "$magick" ] || magick=convert
compare=/usr/bin/compare; [ -x "$compare" ] || compare=compare
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

# Pictures: a red F on blue (odd width), a screen-like one with anti-aliased
# shapes, a photo-like plasma, and the last two again as 32-bit and top-down files.
$magick -size 33x21 xc:blue -fill red -draw 'rectangle 4,3 8,17' -draw 'rectangle 4,3 20,6' \
  -draw 'rectangle 4,9 16,11' -type TrueColor BMP3:"$work/f.bmp"
$magick -size 401x233 xc:'#ececec' -fill '#2a5db0' -draw 'rectangle 0,0 400,28' \
  -fill white -draw 'roundrectangle 20,50 180,90 8,8' -fill '#333333' -draw 'circle 300,150 340,170' \
  -stroke '#c03030' -strokewidth 3 -draw 'line 10,220 390,120' -type TrueColor BMP3:"$work/screen.bmp"
$magick -seed 7 -size 300x200 plasma:fractal -type TrueColor BMP3:"$work/photo.bmp"
$magick "$work/screen.bmp" -alpha on -channel A -evaluate set 100% +channel -define bmp:format=bmp4 \
  "$work/screen32.bmp"
# Top-down 24-bit: the same rows in reverse order under a negative height.
topdown() { # in out: a BMP3 24-bit file with a 54-byte header
  local in=$1 out=$2 w h row
  w=$(od -An -tu4 -j18 -N4 "$in" | tr -d ' ') h=$(od -An -tu4 -j22 -N4 "$in" | tr -d ' ')
  row=$(((w * 24 + 31) / 32 * 4))
  head -c 22 "$in" >"$out"
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(((-h) & 255)) $(((-h >> 8) & 255)) $(((-h >> 16) & 255)) $(((-h >> 24) & 255)))" >>"$out"
  tail -c +27 "$in" | head -c 28 >>"$out"
  for ((y = h - 1; y >= 0; y--)); do tail -c +$((55 + y * row)) "$in" | head -c "$row"; done >>"$out"
}
topdown "$work/photo.bmp" "$work/photo-topdown.bmp"

rgb() { $magick "$1" -depth 8 rgb:"$2"; }

for name in f screen photo screen32 photo-topdown; do
  out=$work/out-$name
  mkdir -p "$out"
  if ! "$cli" encode "$work/$name.bmp" "$out"; then fail "$name: encode failed"; continue; fi
  rgb "$work/$name.bmp" "$work/$name.rgb"

  # BMP: same pixels as the input, at the input's depth.
  rgb "$out/Glimor.bmp" "$work/$name-bmp.rgb"
  cmp -s "$work/$name.rgb" "$work/$name-bmp.rgb" && pass "$name: BMP pixels" || fail "$name: BMP pixels differ"
  in_depth=$(od -An -tu2 -j28 -N2 "$work/$name.bmp" | tr -d ' ')
  out_depth=$(od -An -tu2 -j28 -N2 "$out/Glimor.bmp" | tr -d ' ')
  [ "$in_depth" = "$out_depth" ] && pass "$name: BMP depth $out_depth" || fail "$name: BMP depth $out_depth, input $in_depth"

  # JPEG: byte for byte what cjpeg makes of the same pixels with the same settings.
  $magick "$work/$name.bmp" -depth 8 ppm:"$work/$name.ppm"
  cjpeg -quality 100 -dct float "$work/$name.ppm" >"$work/$name-cjpeg.jpg"
  cmp -s "$work/$name-cjpeg.jpg" "$out/Glimor.jpg" && pass "$name: JPEG identical to cjpeg" ||
    fail "$name: JPEG differs from cjpeg -quality 100 -dct float"
  djpeg -ppm "$out/Glimor.jpg" >"$work/$name-djpeg.ppm" || fail "$name: djpeg cannot read the JPEG"
  mae=$($compare -metric MAE "$work/$name.ppm" "$work/$name-djpeg.ppm" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/')
  # The F's sharp red-blue edges lose most to chroma subsampling (0.064); flipped it would be 0.127.
  limit=0.02; [ "$name" = f ] && limit=0.09
  awk -v m="$mae" -v l=$limit 'BEGIN { exit !(m < l) }' && pass "$name: JPEG decodes close (MAE $mae)" ||
    fail "$name: JPEG decodes far from the input (MAE $mae)"

  # GIF: giflib and ImageMagick read the same pixels; few colours come back exactly.
  [ "$(head -c 6 "$out/Glimor.gif")" = GIF87a ] || fail "$name: no GIF87a signature"
  gif2rgb -1 -o "$work/$name-giflib.rgb" "$out/Glimor.gif" || fail "$name: giflib cannot read the GIF"
  rgb "$out/Glimor.gif" "$work/$name-gif.rgb"
  cmp -s "$work/$name-giflib.rgb" "$work/$name-gif.rgb" && pass "$name: giflib and ImageMagick agree" ||
    fail "$name: giflib and ImageMagick decode the GIF differently"
  colours=$($magick "$work/$name.bmp" -format %k info:)
  if [ "$colours" -le 256 ]; then
    cmp -s "$work/$name.rgb" "$work/$name-gif.rgb" && pass "$name: GIF exact ($colours colours)" ||
      fail "$name: GIF of $colours colours is not exact"
  else
    mae=$($compare -metric MAE "$work/$name.bmp" "$out/Glimor.gif" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/')
    awk -v m="$mae" 'BEGIN { exit !(m < 0.05) }' && pass "$name: GIF close ($colours colours, MAE $mae)" ||
      fail "$name: GIF far from the input (MAE $mae)"
  fi

  # PNG (the confirm's, and glimor-cli png's the same bytes): every chunk, CRC and the
  # zlib stream pass pngcheck; the pixels are the input's exactly; 24-bit RGB beyond 256
  # colours, a palette at most 256 colours above 640 x 480 pixels, and either of the
  # two, whichever is smaller, at most 256 colours within 640 x 480.
  if "$cli" png "$work/$name.bmp" "$out/png.png"; then
    cmp -s "$out/png.png" "$out/Glimor.png" && pass "$name: the confirm's PNG is glimor-cli png's" ||
      fail "$name: the confirm's PNG differs from glimor-cli png's"
    check=$(pngcheck "$out/Glimor.png" 2>&1) && pass "$name: pngcheck: $check" || fail "$name: pngcheck: $check"
    rgb "$out/Glimor.png" "$work/$name-png.rgb"
    cmp -s "$work/$name.rgb" "$work/$name-png.rgb" && pass "$name: PNG pixels" || fail "$name: PNG pixels differ"
    pixels=$($magick "$work/$name.bmp" -format '%[fx:w*h]' info:)
    if [ "$colours" -gt 256 ]; then kind="24-bit RGB"
    elif [ "$pixels" -gt $((640 * 480)) ]; then kind=palette
    else kind="palette|24-bit RGB"; fi
    if [[ $check =~ $kind ]]; then pass "$name: PNG ${BASH_REMATCH[0]} ($colours colours, $pixels pixels)"
    else fail "$name: PNG not $kind ($colours colours, $pixels pixels)"; fi
  else
    fail "$name: png failed"
  fi
done

# A pure red crop stays red through both lossy roads.
$magick -size 40x24 xc:red -type TrueColor BMP3:"$work/red.bmp"
mkdir -p "$work/out-red"
"$cli" encode "$work/red.bmp" "$work/out-red"
djpeg -ppm "$work/out-red/Glimor.jpg" | $magick ppm:- -format '%[fx:minima.r*255] %[fx:maxima.g*255] %[fx:maxima.b*255]' info: |
  awk '{ exit !($1 >= 253 && $2 <= 2 && $3 <= 2) }' && pass "red JPEG decodes red" || fail "red JPEG is not red"
[ "$($magick "$work/out-red/Glimor.gif" -format '%[pixel:p{0,0}]' info:)" = "srgb(255,0,0)" ] &&
  pass "red GIF decodes red" || fail "red GIF is not red"

# Bad input: exit code 2 and a message, never a crash; a folder that cannot be written: exit 1.
expect_exit() { # code description args...
  local code=$1 what=$2 got; shift 2
  "$cli" "$@" >"$work/stdout" 2>"$work/stderr"; got=$?
  if [ "$got" = "$code" ] && [ -s "$work/stderr" ]; then pass "$what: exit $got, $(head -n 1 "$work/stderr")"
  else fail "$what: exit $got (want $code), stderr: $(cat "$work/stderr")"; fi
}
head -c 100 "$work/photo.bmp" >"$work/cut.bmp"
$magick "$work/f.bmp" -type Palette -colors 4 -compress RLE BMP3:"$work/rle.bmp"
$magick "$work/f.bmp" png:"$work/f.png"
expect_exit 2 "missing file" encode "$work/absent.bmp" "$work"
expect_exit 2 "truncated file" encode "$work/cut.bmp" "$work"
expect_exit 2 "run-length compressed file" encode "$work/rle.bmp" "$work"
expect_exit 2 "PNG file" encode "$work/f.png" "$work"
expect_exit 2 "no folder argument" encode "$work/f.bmp"
expect_exit 1 "missing output folder" encode "$work/f.bmp" "$work/no/such/dir"
grep -q 'Cannot create file ".*Glimor.bmp"' "$work/stderr" || fail "missing folder message: $(cat "$work/stderr")"
expect_exit 2 "png of a truncated file" png "$work/cut.bmp" "$work/cut.png"
expect_exit 1 "png into a missing folder" png "$work/f.bmp" "$work/no/such/dir/f.png"

echo "imaging peers: $failures failure(s)"
[ "$failures" -eq 0 ]
