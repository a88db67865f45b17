#!/usr/bin/env bash
# The display settings on a real wlroots compositor, read from the screen:
#   sway-outputs.sh <plimbury>
# A headless sway with two 640x480 outputs, HEADLESS-2 on the left and
# HEADLESS-1 on the right (so their order on the screen is not the order sway
# lists them in), run as an ordinary user (sway refuses root); grim reads each
# output on its own. For the sway backend (swaymsg) and then, in a sway of its
# own, the swaybg backend (a child swaybg, outputs listed through swaymsg):
#  - monitors=each: the left output shows entry n, the right one n+1, then
#    --next moves both on (the third entry and, wrapping, the first);
#  - each fit mode, with monitors=same, on both outputs at points that tell
#    it from the others: stretch, fit (a wide picture between bands of the
#    background colour), fill (a tall one cropped to its middle), center and
#    tile (a small one at its own size).
# Each sway takes a few seconds; the whole test some 30 to 40.
# Exit 77 (skipped) when sway, swaybg, grim or ImageMagick is missing.
set -euo pipefail
. "$(dirname "$0")/session.sh"
program=$(realpath "$1")

require_tools "sway, swaybg, grim, imagemagick" sway swaymsg swaybg grim convert od
[ "$(id -u)" -eq 0 ] && require_tools "util-linux" setpriv

begin_test
logs=(sway program)

ordinary_user plimbury-outputs
home=$work/home
mkdir -p "$home/run" "$home/store" "$work/bin" "$work/pictures"
chmod 700 "$home/run"
# The build folder may not be open to other users.
cp "$program" "$work/bin/"
chown_home() { if [ -n "$created_user" ]; then chown -R "$created_user" "$home"; fi; }

# --- pictures ------------------------------------------------------------------------------
bmp() { convert "$@" -type TrueColor "BMP3:$work/pictures/$picture.bmp"; chmod 644 "$work/pictures/$picture.bmp"; }
# Large enough that the edges, which swaybg's scaling blends with what lies
# outside the picture, stay within a few pixels of the output's border.
# Named in the order of the list, which the program keeps sorted.
picture=1-red bmp -size 64x48 xc:'#ff0000'
picture=2-green bmp -size 64x48 xc:'#00ff00'
picture=3-blue bmp -size 64x48 xc:'#0000ff'
# Red left, blue right: stretched it covers the output, a half each.
picture=red-blue bmp -size 32x48 xc:'#ff0000' xc:'#0000ff' +append
# Four times as wide as high: under fit a band above and below.
picture=wide bmp -size 256x64 xc:'#00ff00'
# Tall, a red stripe across the middle: fill shows only the stripe.
picture=tall bmp -size 64x224 xc:'#00ff00' -size 64x64 xc:'#ff0000' -size 64x224 xc:'#0000ff' -append
# 100 x 100, green left and blue right: centred as it is, and tiled.
picture=small bmp -size 50x100 xc:'#00ff00' xc:'#0000ff' +append

# --- reading an output -----------------------------------------------------------------------
. "$(dirname "$0")/screen-check.sh"
output=""
shoot() {  # the screenshot of $output
  as_user grim -t ppm -o "$output" "$home/shot.ppm" && cp "$home/shot.ppm" "$1"
}
shoot=shoot
# expect <what> <output> <colours> <points>: waits up to twenty seconds for them.
expect() {
  output=$2
  expect_screen "$3" "$1 on $2" "$4"
}

# --- the program -------------------------------------------------------------------------------
project=$home/show.lmv
write_show() {  # write_show <entry>...: due at once from sw_no=0, with `display`
  write_project 0 "$@"
  printf '[software\\lumavuetest]\nsettime_selected=%s\n' "$project" >"$home/store/HKEY_LOCAL_MACHINE.ini"
  chown_home
}
as_user() { "${user_env[@]}" "${runas[@]}" /usr/bin/env "$@"; }
start_program() {  # start_program <desktop>: the program, /TRAY, making its due change
  (exec "${user_env[@]}" "${runas[@]}" /usr/bin/env PLIMBURY_REGISTRY="$home/store" PLIMBURY_DESKTOP="$1" \
     QT_QPA_PLATFORM=offscreen "$work/bin/plimbury" /TRAY >>"$work/program.log" 2>&1) &
  plimbury_pid=$!
  pids+=("$plimbury_pid")
}
stop_program() {
  kill "$plimbury_pid"
  wait "$plimbury_pid" 2>/dev/null || true
}
command_program() {  # command_program <desktop> <argument>: once the running copy answers
  local answered=""
  for _ in $(seq 100); do
    if as_user PLIMBURY_REGISTRY="$home/store" PLIMBURY_DESKTOP="$1" QT_QPA_PLATFORM=offscreen \
         "$work/bin/plimbury" "$2" >/dev/null 2>"$work/command.err"; then
      answered=yes
      break
    fi
    grep -q "no running copy" "$work/command.err" || fail "$2: $(cat "$work/command.err")"
    sleep 0.2
  done
  [ -n "$answered" ] || fail "$2: the running copy does not answer"
}

# The whole of one output at its four corners' insides and its middle.
everywhere="40,40 600,40 320,240 40,440 600,440"

check_backend() {  # check_backend <desktop>: a sway of its own, every check through that desktop
  local desktop=$1
  : >"$work/program.log"
  printf '%s\n' "xwayland disable" "output HEADLESS-1 mode 640x480 position 640 0" \
    "output HEADLESS-2 mode 640x480 position 0 0" >"$work/sway.conf"
  user_env=(env -i PATH=/usr/bin:/bin ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}"
            UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CACHE_HOME="$home/cache"
            WLR_HEADLESS_OUTPUTS=2)
  chown_home
  start_headless_sway "$work/sway.conf" "$work/sway.log"
  local sway_pid=${pids[-1]}
  user_env+=(WAYLAND_DISPLAY="$wayland" SWAYSOCK="$swaysock")
  local listed
  listed=$(as_user swaymsg -t get_outputs | grep -c '"name": "HEADLESS-' || true)
  [ "$listed" = 2 ] || fail "sway offers $listed headless outputs, not 2"

  # monitors=each: the left output first, whatever sway's own order.
  display=("[display]" "monitors=each")
  write_show 1-red 2-green 3-blue
  start_program "$desktop"
  expect "$desktop, monitors=each" HEADLESS-2 "red red red red red" "$everywhere"
  expect "$desktop, monitors=each" HEADLESS-1 "green green green green green" "$everywhere"
  expect_number 2 "$desktop, monitors=each"
  command_program "$desktop" --next
  expect "$desktop, monitors=each after --next" HEADLESS-2 "blue blue blue blue blue" "$everywhere"
  expect "$desktop, monitors=each after --next" HEADLESS-1 "red red red red red" "$everywhere"
  expect_number 1 "$desktop, monitors=each: --next"
  stop_program

  # Every fit mode on both outputs; the colour says where the background shows.
  local mode setting expected points fit entry colour output
  for mode in "stretch red-blue #000000|red red blue blue|40,40 280,440 360,40 600,440" \
              "fit wide #0000ff|blue green green blue|320,40 20,180 620,300 320,440" \
              "fit wide #000000|black green black|320,40 320,240 320,440" \
              "fill tall #000000|red red red red|5,5 320,240 634,5 320,475" \
              "center small #ff0000|red green blue red|200,240 300,240 340,240 320,100" \
              "tile small #ff0000|green blue green blue|25,20 75,20 525,420 575,420"; do
    IFS='|' read -r setting expected points <<<"$mode"
    read -r fit entry colour <<<"$setting"
    display=("[display]" "fit=$fit" "background=$colour")
    write_show "$entry"
    start_program "$desktop"
    for output in HEADLESS-2 HEADLESS-1; do
      expect "$desktop, fit=$fit background=$colour" "$output" "$expected" "$points"
    done
    stop_program
  done

  grep -qi "error\|cannot" "$work/program.log" && fail "$desktop: the program reported an error"
  kill "$sway_pid"
  wait "$sway_pid" 2>/dev/null || true
  # The next sway must not be found by the sockets of this one.
  rm -f "$home/run"/wayland-* "$home/run"/sway-ipc.*
  echo "ok: the $desktop backend shows every fit mode and a picture of its own on each output"
}

check_backend sway
check_backend swaybg
