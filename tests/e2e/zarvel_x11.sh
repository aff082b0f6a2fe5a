#!/usr/bin/env bash
# zarvel end to end in a real X server: Xvfb at 640x480x24, the demo on
# SDL's X11 driver, keys from xdotool, screenshots from xwd.
#
#   zarvel_x11.sh ZARVEL BV_RENDER CUBE.PCX
#
# Checks: the window's name, class and size; the first frame on screen is
# bv-render's first frame (up to the rounding of widening 16-bit pixels);
# keypad plus changes the picture; with the focus taken away a held key
# draws nothing, and drawing resumes with the focus back; hiding and showing
# the window brings the frame back by the flip on re-activation; Escape and
# F12 each end the program with status 0 within two seconds; no display and
# a missing CUBE.PCX give one clear line. Exits 77 (skipped) when a tool is
# missing. Every wait has a limit; every process started is ended on exit.
set -uo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 ZARVEL BV_RENDER CUBE.PCX" >&2
  exit 2
fi
zarvel=$(realpath "$1")
render=$(realpath "$2")
sheet=$(realpath "$3")
compare="$(dirname "$(realpath "$0")")/compare_frames.py"

for tool in Xvfb xdotool xwd xwdtopnm xlogo python3 timeout realpath; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/common.sh installs it)"
    exit 77
  fi
done

# Mesa keeps a little memory until exit; leaks are not this test's concern.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

work=$(mktemp -d "${TMPDIR:-/tmp}/zarvel-e2e.XXXXXX")
pids=()
zpid=""

cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
  echo "FAIL: $*"
  if [ -s "$work/zarvel.log" ]; then echo "--- zarvel's output:"; cat "$work/zarvel.log"; fi
  if [ -s "$work/xvfb.log" ]; then echo "--- Xvfb's output (last lines):"; tail -n 20 "$work/xvfb.log"; fi
  exit 1
}
pass() { echo "ok: $*"; }

# wait_for SECONDS COMMAND...: runs the command every 0.1 s until it succeeds.
wait_for() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

shot() { timeout 10 xwd -root -silent | xwdtopnm 2>/dev/null >"$1"; }
same() { python3 "$compare" same "$@"; }
differs() { python3 "$compare" differ "$@"; }
screen_matches() { shot "$work/now.ppm" && same "$1" "$work/now.ppm" "${@:2}"; }
screen_differs() { shot "$work/now.ppm" && differs "$1" "$work/now.ppm" "${@:2}"; }

# hold KEY SECONDS: keeps a key down long enough for the per-frame poll.
hold() { timeout 10 xdotool keydown "$1" sleep "$2" keyup "$1"; }

cd "$work" || exit 1
cp "$sheet" CUBE.PCX

# ---- the picture to expect ---------------------------------------------------------
SDL_VIDEODRIVER=offscreen timeout 60 "$render" --out first.ppm || fail "bv-render could not render the first frame"
SDL_VIDEODRIVER=offscreen timeout 60 "$render" --pcx missing.pcx --out blank.ppm 2>/dev/null ||
  fail "bv-render could not render the first frame without an image"

# ---- an X server on a free display number -------------------------------------------
# Without -noreset the server resets whenever its last client leaves, and
# a client connecting meanwhile (zarvel, just after an xdotool call) is
# refused: SDL then reports "x11 not available".
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>display.txt 2>xvfb.log &
pids+=($!)
wait_for 20 test -s display.txt || fail "Xvfb did not start: $(cat xvfb.log)"
DISPLAY=":$(head -n1 display.txt)"
export DISPLAY
wait_for 10 xdotool getmouselocation || fail "cannot reach Xvfb on $DISPLAY"
pass "Xvfb on $DISPLAY"

window=""
# SDL may replace its first window while setting up; take the one shown.
find_window() { window=$(xdotool search --onlyvisible --class '^BVzarvelx$' | tail -n1); [ -n "$window" ]; }

zarvel_ended() { ! kill -0 "$zpid" 2>/dev/null; }
window_or_end() { find_window || zarvel_ended; }

# start_zarvel FOLDER: starts zarvel there and waits for its window.
start_zarvel() {
  (cd "$1" && exec env SDL_VIDEODRIVER=x11 timeout 120 "$zarvel") >"$work/zarvel.log" 2>&1 &
  zpid=$!
  pids+=("$zpid")
  wait_for 60 window_or_end
  find_window && return 0
  zarvel_ended && fail "zarvel ended before its window appeared"
  fail "no window of class BVzarvelx appeared within 60 s"
}

# expect_exit_after KEY: the key ends zarvel with status 0 within two seconds.
expect_exit_after() {
  find_window || fail "the window went away before $1"
  timeout 10 xdotool windowfocus "$window" 2>/dev/null
  timeout 10 xdotool key "$1"
  local start_ns
  start_ns=$(date +%s%N)
  while kill -0 "$zpid" 2>/dev/null; do
    if [ $(( $(date +%s%N) - start_ns )) -gt 2000000000 ]; then fail "zarvel still runs 2 s after $1"; fi
    sleep 0.05
  done
  wait "$zpid"
  local status=$?
  [ $status -eq 0 ] || fail "zarvel exited with status $status after $1"
  pass "$1 ended zarvel with status 0 within 2 s"
}

# ---- start-up: the window and the first frame ----------------------------------------------
start_zarvel "$work"

wait_for 30 screen_matches first.ppm || { same first.ppm now.ppm; fail "the first frame on screen is not bv-render's"; }
pass "first frame on screen equals bv-render's first frame"
find_window || fail "the window went away"
[ "$(xdotool getwindowname "$window")" = "Zarvel" ] || fail "window title is '$(xdotool getwindowname "$window")'"
geometry=$(xdotool getwindowgeometry "$window")
case "$geometry" in
  *"Position: 0,0"*"Geometry: 640x480"*) ;;
  *) fail "window is not over the whole 640x480 screen: $geometry" ;;
esac
pass "window 'Zarvel' of class BVzarvelx over the whole screen"
cp now.ppm frame0.ppm
[ ! -s zarvel.log ] || fail "zarvel printed something with CUBE.PCX present"

# ---- keypad plus moves the cube -------------------------------------------------------------
# Short holds until the picture changes: a long one could take the cube
# past the viewer.
nearer() { hold KP_Add 0.03 && sleep 0.2 && screen_differs frame0.ppm; }
wait_for 20 nearer || fail "holding keypad plus did not change the picture"
cp now.ppm frame1.ppm
pass "keypad plus changed the picture"

# ---- focus away: a held key draws nothing; focus back: drawing resumes -----------------------------
xlogo -geometry 40x40+600+440 >/dev/null 2>&1 &
pids+=($!)
logo=""
find_logo() { logo=$(xdotool search --class '^XLogo$' | head -n1); [ -n "$logo" ]; }
wait_for 20 find_logo || fail "xlogo did not appear"
timeout 10 xdotool windowfocus --sync "$logo" 2>/dev/null
sleep 0.5
outside_logo="0,0,600,440"
shot away.ppm
# Sent to zarvel's window: the key reaches its key state although another
# window has the focus, so only the lost activation keeps it from drawing.
timeout 10 xdotool keydown --window "$window" KP_Subtract sleep 0.7
shot away_held.ppm
timeout 10 xdotool keyup --window "$window" KP_Subtract
same away.ppm away_held.ppm --region "$outside_logo" >/dev/null || fail "zarvel drew while another window had the focus"
same frame1.ppm away_held.ppm --region "$outside_logo" >/dev/null || fail "the picture changed when the focus went away"
pass "no drawing while another window has the focus"

timeout 10 xdotool windowfocus "$window" 2>/dev/null
sleep 0.3
farther() { hold KP_Subtract 0.03 && sleep 0.2 && screen_differs frame1.ppm --region "$outside_logo"; }
wait_for 20 farther || fail "with the focus back, keypad minus did not change the picture"
cp now.ppm frame2.ppm
pass "drawing resumed with the focus back"

# ---- hidden and shown again: the re-activation flip shows the frame -----------------------------
timeout 10 xdotool windowunmap --sync "$window"
sleep 0.3
screen_differs frame2.ppm --region "$outside_logo" >/dev/null || fail "the window did not go away when unmapped"
timeout 10 xdotool windowmap --sync "$window"
timeout 10 xdotool windowfocus "$window" 2>/dev/null
back() { screen_matches frame2.ppm --region "$outside_logo"; }
wait_for 10 back || fail "the frame did not come back when the window was shown and focused again"
pass "re-activation showed the last frame again"

# ---- Escape ends the program ----------------------------------------------------------------------
expect_exit_after Escape

# ---- F12 too, in a fresh run ------------------------------------------------------------------------
start_zarvel "$work"
wait_for 30 screen_matches first.ppm --region "$outside_logo" || fail "the second run's first frame is not bv-render's"
expect_exit_after F12

# ---- without CUBE.PCX: one line naming it, and the demo runs ----------------------------------------
mkdir -p empty
start_zarvel "$work/empty"
wait_for 20 test -s zarvel.log || fail "no message about the missing CUBE.PCX"
[ "$(wc -l <zarvel.log)" -eq 1 ] || fail "expected one line about CUBE.PCX, got: $(cat zarvel.log)"
if ! grep -q "CUBE.PCX" zarvel.log || ! grep -q "result 1" zarvel.log; then
  fail "the message does not name CUBE.PCX and the result: $(cat zarvel.log)"
fi
pass "missing CUBE.PCX reported: $(cat zarvel.log)"
wait_for 30 screen_matches blank.ppm --region "$outside_logo" || fail "without CUBE.PCX the first frame is not bv-render's"
pass "without CUBE.PCX the demo runs and draws bv-render's first frame"
: >zarvel.log
expect_exit_after Escape

# ---- no display at all -------------------------------------------------------------------------------
check_no_display() {
  local what=$1; shift
  local status=0
  env "$@" timeout 30 "$zarvel" >no_display.log 2>&1 || status=$?
  if [ $status -eq 0 ] || [ $status -eq 124 ]; then fail "$what: zarvel exited with status $status"; fi
  [ "$(wc -l <no_display.log)" -eq 1 ] || fail "$what: expected one line, got: $(cat no_display.log)"
  grep -q "^zarvel: cannot start the display: ." no_display.log || fail "$what: unclear message: $(cat no_display.log)"
  pass "$what: status $status, '$(cat no_display.log)'"
}
check_no_display "DISPLAY unset" -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER
check_no_display "DISPLAY names no server" -u WAYLAND_DISPLAY DISPLAY=:9999 SDL_VIDEODRIVER=x11

echo "all checks passed"
