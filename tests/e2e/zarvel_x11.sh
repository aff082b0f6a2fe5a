#!/usr/bin/env bash
# zarvel_x11.sh ZARVEL BV_RENDER CUBE.PCX: zarvel in Xvfb (640x480x24) on SDL's X11 driver, keys from xdotool. The
# window's name, class and size; the first frame on screen is bv-render's, pixel for pixel; keys change the picture
# only while zarvel has the focus; showing the window again shows the frame (the flip on re-activation); Escape and
# F12 end it, status 0, within 2 s; no display or CUBE.PCX gives one clear line. Exits 77 (skipped) without a tool.
set -uo pipefail
zarvel=$(realpath "$1") render=$(realpath "$2") sheet=$(realpath "$3")
for tool in Xvfb xdotool xwd xwdtopnm xlogo pamcut pamdepth cmp timeout; do
  command -v $tool >/dev/null || { echo "skipped: $tool is not installed (scripts/common.sh installs it)"; exit 77; }
done
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}   # Mesa keeps a little memory until exit
work=$(mktemp -d "${TMPDIR:-/tmp}/zarvel-e2e.XXXXXX") pids=() zpid="" window="" logo="" outside="0 0 600 440"
cleanup() {
  kill "${pids[@]}" 2>/dev/null
  for pid in "${pids[@]}"; do timeout 5 tail --pid=$pid -f /dev/null; kill -KILL $pid 2>/dev/null; wait $pid 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT && trap 'exit 130' INT TERM
fail() { echo "FAIL: $*"; tail -n 20 "$work/zarvel.log" "$work/xvfb.log" 2>/dev/null; exit 1; }
# wait_for SECONDS COMMAND...: tries the command every 0.1 s until it succeeds.
wait_for() {
  local end=$((SECONDS + $1)) && shift
  until "$@" >/dev/null 2>&1; do [ $SECONDS -lt $end ] || return 1; sleep 0.1; done
}
# same A B [LEFT TOP WIDTH HEIGHT]: two pictures, or those parts of them, are equal.
pixels() { pamcut ${2:-0 0 640 480} "$1" | pamdepth 255; }
same() { cmp -s <(pixels "$1" "${3:-}") <(pixels "$2" "${3:-}"); }
screen_is() { timeout 10 xwd -root -silent | xwdtopnm 2>/dev/null >now.ppm && same "$1" now.ppm "${2:-}"; }
# A key held for the per-frame poll (a bare `xdotool key` is too short), not long enough to pass the viewer.
changes_on() { timeout 10 xdotool keydown $1 sleep 0.03 keyup $1 && sleep 0.2 && ! screen_is $2 "${3:-}"; }
# SDL may replace its first window while setting up: take the one shown.
find_window() { window=$(xdotool search --onlyvisible --class '^BVzarvelx$' | tail -n1) && [ -n "$window" ]; }
start_zarvel() {   # FOLDER
  (cd "$1" && exec env SDL_VIDEODRIVER=x11 timeout 120 "$zarvel") >"$work/zarvel.log" 2>&1 &
  zpid=$! && pids+=($!)
  wait_for 60 eval 'find_window || ! kill -0 $zpid'
  find_window || fail "no window of class BVzarvelx appeared"
}
quits_on() {   # KEY
  find_window && timeout 10 xdotool windowfocus $window 2>/dev/null
  timeout 10 xdotool key $1
  local end=$(($(date +%s%N) + 2000000000))
  while kill -0 $zpid 2>/dev/null; do [ $(date +%s%N) -lt $end ] || fail "zarvel still runs 2 s after $1"; sleep 0.05; done
  wait $zpid || fail "zarvel exited with status $? after $1"
}
no_display() {   # ENVIRONMENT...
  local status=0 && env "$@" timeout 30 "$zarvel" >nodisplay.log 2>&1 || status=$?
  [ $status -ne 0 ] && [ $status -ne 124 ] && [ "$(wc -l <nodisplay.log)" -eq 1 ] &&
    grep -q "^zarvel: cannot start the display: ." nodisplay.log || fail "$*: status $status, $(cat nodisplay.log)"
}

cd "$work" && cp "$sheet" CUBE.PCX || exit 1
SDL_VIDEODRIVER=offscreen timeout 60 "$render" --out first.ppm || fail "bv-render could not render the first frame"
SDL_VIDEODRIVER=offscreen timeout 60 "$render" --pcx none.pcx --out blank.ppm 2>/dev/null || fail "bv-render failed, no image"
# -noreset: else the server resets when its last client leaves, refusing one connecting then ("x11 not available").
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>display.txt 2>xvfb.log & pids+=($!)
wait_for 20 test -s display.txt || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 display.txt)"
wait_for 10 xdotool getmouselocation || fail "cannot reach Xvfb on $DISPLAY"

start_zarvel "$work"
wait_for 30 screen_is first.ppm || fail "the first frame on screen is not bv-render's"
[ "$(xdotool getwindowname $window)" = Zarvel ] || fail "the window's title is '$(xdotool getwindowname $window)'"
[[ "$(xdotool getwindowgeometry $window)" == *"Position: 0,0"*"Geometry: 640x480"* ]] || fail "the window is not over the screen"
[ ! -s zarvel.log ] || fail "zarvel printed something with CUBE.PCX present"
cp now.ppm frame0.ppm && wait_for 20 changes_on KP_Add frame0.ppm || fail "keypad plus did not change the picture"
cp now.ppm frame1.ppm
xlogo -geometry 40x40+600+440 >/dev/null 2>&1 & pids+=($!)
wait_for 20 eval 'logo=$(xdotool search --class "^XLogo$" | head -n1) && [ -n "$logo" ]' || fail "xlogo did not appear"
timeout 10 xdotool windowfocus --sync $logo 2>/dev/null && sleep 0.5
# Sent to zarvel's window, the key reaches its key state: only the lost activation keeps zarvel from drawing.
timeout 10 xdotool keydown --window $window KP_Subtract sleep 0.7
screen_is frame1.ppm "$outside" || fail "zarvel drew while xlogo had the focus"
timeout 10 xdotool keyup --window $window KP_Subtract
timeout 10 xdotool windowfocus $window 2>/dev/null; sleep 0.3
wait_for 20 changes_on KP_Subtract frame1.ppm "$outside" || fail "with the focus back keypad minus did not change the picture"
cp now.ppm frame2.ppm && timeout 10 xdotool windowunmap --sync $window
wait_for 10 eval '! screen_is frame2.ppm "$outside"' || fail "the window did not go away when unmapped"
timeout 10 xdotool windowmap --sync $window && timeout 10 xdotool windowfocus $window 2>/dev/null
wait_for 10 screen_is frame2.ppm "$outside" || fail "the frame did not come back when the window was shown again"
quits_on Escape

start_zarvel "$work" && wait_for 30 screen_is first.ppm "$outside" || fail "the second run's first frame is not bv-render's"
quits_on F12

mkdir empty && start_zarvel "$work/empty"
wait_for 20 test -s zarvel.log || fail "no message about the missing CUBE.PCX"
[ "$(wc -l <zarvel.log)" -eq 1 ] && grep -q "cannot read CUBE.PCX: the file could not be opened (result 1)" zarvel.log ||
  fail "expected one line naming CUBE.PCX and the result, got: $(cat zarvel.log)"
wait_for 30 screen_is blank.ppm "$outside" || fail "without CUBE.PCX the first frame is not bv-render's"
: >zarvel.log && quits_on Escape
no_display -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER
no_display -u WAYLAND_DISPLAY DISPLAY=:9999 SDL_VIDEODRIVER=x11   # a display that names no server
echo "all checks passed"
