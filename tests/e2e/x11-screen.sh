#!/usr/bin/env bash
# The real program on a plain X server, read back from the screen:
#   x11-screen.sh <plimbury>
# A private Xvfb (1280x480) whose root window the x11 backend paints. Two
# pictures of two flat halves each; the screen is read at the middle of its
# four quarters. The rotation's first change, --next, a pause that holds over
# a due time and a restart, --resume, then monitors declared and removed with
# xrandr while the program runs: each monitor gets the whole picture again,
# and nothing moves the show on but the rotation. Last, each fit mode of the
# project's display settings, read at points that tell it from the others,
# and two monitors with a picture of their own.
# Exit 77 (skipped) when Xvfb, xrandr, xwd or ImageMagick is not installed.
set -euo pipefail
program=$(realpath "$1")

. "$(dirname "$0")/session.sh"
require_tools "xvfb, x11-xserver-utils, x11-apps, imagemagick" Xvfb xrandr xwd convert od

begin_test
logs=(program)

exec 3< <(exec Xvfb -displayfd 1 -noreset -screen 0 1280x480x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 30 display <&3 || fail "Xvfb did not start"
export DISPLAY=":$display"

mkdir -p "$work/run" "$work/store" "$work/pictures"
chmod 700 "$work/run"
program_env=(env -i PATH=/usr/bin:/bin ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}"
             UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" HOME="$work" XDG_RUNTIME_DIR="$work/run"
             PLIMBURY_REGISTRY="$work/store" DISPLAY="$DISPLAY" PLIMBURY_DESKTOP=x11 QT_QPA_PLATFORM=offscreen)

. "$(dirname "$0")/screen-check.sh"
shoot() { xwd -root -silent | convert xwd:- -strip "ppm:$1"; }
shoot=shoot
project=$work/show.lmv
make_pictures
# The middle of each quarter of the screen, left to right.
quarters="160,240 480,240 800,240 1120,240"
write_project 0 green-yellow red-blue
printf '[software\\lumavuetest]\nsettime_selected=%s\n' "$project" >"$work/store/HKEY_LOCAL_MACHINE.ini"

# --- the rotation and the commands ---------------------------------------------------------
start
expect_screen "green green yellow yellow" "the first change" "$quarters"
expect_number 1 "the first change"

run --next >/dev/null || fail "--next failed"
expect_screen "red red blue blue" "--next" "$quarters"
expect_number 0 "--next"

[ "$(run --pause)" = "Paused; plimbury --resume goes on" ] || fail "--pause"
stop
# Due again, and started anew: the pause holds.
write_project 0 green-yellow red-blue
start
# Up once it answers a command (the screen-saver list is empty, so this one
# changes nothing); its project is resumed a second later.
answered=""
for _ in $(seq 100); do
  run --next-screensaver >/dev/null 2>"$work/err.txt" || true
  grep -q "no running copy" "$work/err.txt" || { answered=yes; break; }
  sleep 0.2
done
[ -n "$answered" ] || fail "the restarted program does not answer"
sleep 4
[ "$(show_number)" = 0 ] || fail "a paused show moved on after a restart (sw_no=$(show_number))"
expect_screen "red red blue blue" "paused over a due time and a restart" "$quarters"
[ "$(run --resume)" = "Resumed" ] || fail "--resume"
expect_screen "green green yellow yellow" "--resume brings the due change" "$quarters"
expect_number 1 "--resume"

# --- monitors --------------------------------------------------------------------------------
# Two monitors side by side, declared inside the output's own: each shows the whole picture.
xrandr --setmonitor left 640/170x480/130+0+0 none
xrandr --setmonitor right 640/170x480/130+640+0 none
expect_screen "green yellow green yellow" "two monitors declared" "$quarters"
xrandr --delmonitor left
xrandr --delmonitor right
expect_screen "green green yellow yellow" "back to one monitor" "$quarters"
[ "$(show_number)" = 1 ] || fail "a redraw moved the show on (sw_no=$(show_number))"
sleep 1; kill -0 "$plimbury_pid" || { wait "$plimbury_pid"; fail "the program ended with status $?"; }
grep -qi "error" "$work/program.log" && fail "the program reported an error"
echo "ok: the wallpaper follows the monitors"

# --- fit modes -----------------------------------------------------------------------------
stop
for mode in "fit square #0000ff|blue green blue|200,240 640,240 1080,240" \
            "fill tall #000000|red red red|640,5 640,240 640,475" \
            "center small #ff0000|red green blue red|500,240 610,240 670,240 640,100" \
            "tile small #ff0000|green blue green blue|25,20 75,20 1225,420 1275,420"; do
  IFS='|' read -r setting expected points <<<"$mode"
  read -r fit picture colour <<<"$setting"
  display=("[display]" "fit=$fit" "background=$colour")
  write_project 0 "$picture"
  start
  expect_screen "$expected" "fit=$fit" "$points"
  stop
done
echo "ok: every fit mode"

# --- a picture of its own on each monitor -----------------------------------------------------
xrandr --setmonitor left 640/170x480/130+0+0 none
xrandr --setmonitor right 640/170x480/130+640+0 none
display=("[display]" "monitors=each")
write_project 0 green-yellow red-blue square
start
expect_screen "green yellow red blue" "monitors=each: the first two entries side by side" "$quarters"
expect_number 2 "monitors=each"
run --next >/dev/null || fail "--next with monitors=each failed"
expect_screen "green green green yellow" "monitors=each: the third and, wrapping, the first" "$quarters"
expect_number 1 "monitors=each: --next"
stop
xrandr --delmonitor left
xrandr --delmonitor right
grep -qi "error" "$work/program.log" && fail "the program reported an error"
echo "ok: a picture of its own on each monitor"
