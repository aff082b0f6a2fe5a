#!/usr/bin/env bash
# headless_frame.sh HEADLESS_FRAME: the example, with no video driver named, writes a 320x240 binary PPM of a dark
# blue page (0 0 128) with a red square (255 0 0) on columns 128..192 (160 +- 160 * 20/100) and rows 72..136
# (120 - 160 * (10 +- 20)/100): above the centre, so a picture upside down shows.
# Netpbm reads the picture back.
set -u
work=$(mktemp -d "${TMPDIR:-/tmp}/headless-frame.XXXXXX") && trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
env -u SDL_VIDEODRIVER "$1" "$work/frame.ppm" || fail "exit status $?"
[ "$(head -c 15 "$work/frame.ppm")" = $'P6\n320 240\n255' ] || fail "header: $(head -c 15 "$work/frame.ppm" | od -c)"
[ "$(pamfile "$work/frame.ppm")" = "$work/frame.ppm:	PPM raw, 320 by 240  maxval 255" ] || fail "$(pamfile "$work/frame.ppm")"
pixel() { pnmcut -left "$1" -top "$2" -width 1 -height 1 "$work/frame.ppm" | pnmtoplainpnm | tail -n +4 | xargs; }
# x y expected: the corners and points just outside the square are background, the centre and points just inside red.
while read -r x y want; do
  got=$(pixel "$x" "$y") && [ "$got" = "$want" ] || fail "pixel ($x, $y) is '$got', not '$want'"
done <<'TABLE'
0 0 0 0 128
319 239 0 0 128
160 120 255 0 0
130 75 255 0 0
190 133 255 0 0
125 120 0 0 128
196 120 0 0 128
160 68 0 0 128
160 140 0 0 128
TABLE
echo "headless-frame: picture as expected"
