#!/usr/bin/env bash
# The wallpaper on a real Wayland compositor:
#   wayland-wallpaper.sh <plimbury> <wallpaper_probe>
# A headless sway without Xwayland (sway refuses root: as root a user is
# created for the test, as for xscreensaver), a private XDG_RUNTIME_DIR and
# HOME, and grim's screenshots, whose pixels must show the picture stretched:
# each picture has a flat left half and a flat right half of other colours.
#  1. the swaybg backend: two changes, one child of the probe drawing after
#     each; a picture swaybg cannot load is reported and the last one stays;
#     the child ends with the probe, and when the probe is killed;
#  2. the sway backend (swaymsg);
#  3. the real program, /TRAY, natively on Wayland (no X11 offered), making
#     the due change of its selected project through the backend it detects
#     (sway's own, from SWAYSOCK); then its window shown there;
#  4. with an X server offered too, the program's window is an X11 window.
# Each sway step takes about a second; the whole test some 15 seconds.
# Exit 77 (skipped) when sway, swaybg, grim or Qt's Wayland plugin is missing.
set -euo pipefail
. "$(dirname "$0")/session.sh"
program=$(realpath "$1")
probe=$(realpath "$2")

require_tools "sway, swaybg, grim, imagemagick, procps" sway swaymsg swaybg grim convert od pgrep
[ "$(id -u)" -eq 0 ] && require_tools "util-linux" setpriv
if ! compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland*.so" >/dev/null; then
  echo "skipped: Qt's Wayland plugin is not installed (package qt6-wayland)"
  exit 77
fi

begin_test
logs=(sway probe program program-x11)

# --- who runs it ------------------------------------------------------------------
ordinary_user plimbury-wayland
home=$work/home
mkdir -p "$home/run" "$work/bin" "$home/store"
chmod 700 "$home/run"
# The build folder may not be open to other users.
cp "$program" "$probe" "$work/bin/"
chown_home() { if [ -n "$created_user" ]; then chown -R "$created_user" "$home"; fi; }
chown_home

# --- a headless sway ----------------------------------------------------------------------
printf '%s\n' "xwayland disable" "output HEADLESS-1 mode 640x480" >"$work/sway.conf"
user_env=(env -i PATH=/usr/bin:/bin ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CACHE_HOME="$home/cache")
start_headless_sway "$work/sway.conf" "$work/sway.log"
user_env+=(WAYLAND_DISPLAY="$wayland" SWAYSOCK="$swaysock")
as_user() { "${user_env[@]}" "${runas[@]}" /usr/bin/env "$@"; }
# The same in the background; started_pid is then the program's own.
start_as_user() {
  (exec "${user_env[@]}" "${runas[@]}" /usr/bin/env "$@") &
  started_pid=$!
  pids+=("$started_pid")
}

# --- what the screen shows ------------------------------------------------------------------
# "r g b" of the pixel at x y of the last screenshot, a binary PPM.
width=0 height=0 header=0
screenshot() {
  as_user grim -t ppm "$home/shot.ppm" 2>/dev/null || return 1
  cp "$home/shot.ppm" "$work/shot.ppm"
  local magic size maxval
  { read -r magic; read -r size; read -r maxval; } <"$work/shot.ppm"
  [ "$magic" = P6 ] && [ "$maxval" = 255 ] || return 1
  width=${size% *} height=${size#* }
  header=$((${#magic} + ${#size} + ${#maxval} + 3))
}
pixel() {
  od -An -tu1 -v -j $((header + ($2 * width + $1) * 3)) -N3 "$work/shot.ppm" | xargs
}
near() {  # near "r g b" "R G B"
  local a b i
  read -r -a a <<<"$1"
  read -r -a b <<<"$2"
  for i in 0 1 2; do
    [ $((a[i] - b[i])) -le 24 ] && [ $((b[i] - a[i])) -le 24 ] || return 1
  done
}
# Waits until the left and right halves show the colours; the message names the step.
expect_halves() {
  local left=$1 right=$2 what=$3 got=""
  for _ in $(seq 100); do
    if screenshot; then
      # Near the corners too: stretched, the picture covers the screen,
      # where one kept in proportion would leave bars. (At the very edge
      # the scaling blends in what lies outside.)
      local x1=$((width / 10)) y1=$((height / 10)) x2=$((width * 9 / 10)) y2=$((height * 9 / 10))
      got="$(pixel $x1 $y1), $(pixel $((width / 4)) $((height / 2))) | $(pixel $((width * 3 / 4)) $((height / 2)))"
      got+=", $(pixel $x2 $y2) (${width}x$height)"
      if near "$(pixel $x1 $y1)" "$left" && near "$(pixel $((width / 4)) $((height / 2)))" "$left" &&
         near "$(pixel $x2 $y2)" "$right" && near "$(pixel $((width * 3 / 4)) $((height / 2)))" "$right"; then
        echo "ok: $what -> $left | $right on the screen"
        return 0
      fi
    fi
    sleep 0.2
  done
  fail "$what: the screen shows ${got:-nothing}; expected $left | $right"
}

picture() {  # picture <file> <left #rrggbb> <right #rrggbb>: 48 x 24, of its own proportions
  convert -size 24x24 "xc:$2" -size 24x24 "xc:$3" +append -type truecolor "$1"
  chmod 644 "$1"
}
picture "$work/red-blue.bmp" '#e01e1e' '#1e28dc'
picture "$work/green-yellow.bmp" '#20c040' '#d0c020'
picture "$work/magenta-cyan.bmp" '#c020c0' '#20c0c0'
picture "$work/orange-grey.jpg" '#f08010' '#808080'
echo "not a picture" >"$work/broken.bmp"

alive() {  # alive <pid>: running, not a zombie
  local state
  state=$(awk '{ sub(/.*\) /, ""); print $1 }' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}
swaybg_of() {  # the swaybg children of a process
  local pid
  for pid in $(pgrep -P "$1" -x swaybg || true); do
    alive "$pid" && echo "$pid"
  done
  return 0
}
gone_within() {  # gone_within <pid> <tenths of a second>
  for _ in $(seq "$2"); do
    alive "$1" || return 0
    sleep 0.1
  done
  return 1
}

# --- 1. the swaybg backend --------------------------------------------------------------------
start_probe() {
  coproc PROBE { exec "${user_env[@]}" "${runas[@]}" "$work/bin/wallpaper_probe" "$1" 2>>"$work/probe.log"; }
  # shellcheck disable=SC2153 # set by coproc
  probe_pid=$PROBE_PID
}
end_probe() {  # closes its standard input: the probe ends as a program would
  local fd=${PROBE[1]}
  exec {fd}>&-
  wait "$probe_pid" || fail "the probe failed"
}
show() {  # show <picture>: prints the probe's answer
  local answer=""
  echo "$1" >&"${PROBE[1]}"
  read -r -t 30 answer <&"${PROBE[0]}" || answer="no answer"
  echo "$answer"
}

start_probe swaybg
answer=$(show "$work/red-blue.bmp")
[ "$answer" = ok ] || fail "swaybg change 1: $answer"
expect_halves "224 30 30" "30 40 220" "swaybg change 1"
first=$(swaybg_of "$probe_pid")
[ "$(echo "$first" | wc -w)" -eq 1 ] || fail "swaybg change 1: the probe runs '$first', not one swaybg"

answer=$(show "$work/green-yellow.bmp")
[ "$answer" = ok ] || fail "swaybg change 2: $answer"
expect_halves "32 192 64" "208 192 32" "swaybg change 2"
second=$(swaybg_of "$probe_pid")
if [ "$(echo "$second" | wc -w)" -ne 1 ] || [ "$second" = "$first" ]; then
  fail "swaybg change 2: the probe runs '$second' (before: $first)"
fi
echo "ok: one swaybg at a time, a new one for the change"

answer=$(show "$work/broken.bmp")
[[ "$answer" == "error: swaybg did not set the wallpaper: "*"Failed to load"* ]] ||
  fail "a picture swaybg cannot load: '$answer'"
[ "$(swaybg_of "$probe_pid")" = "$second" ] || fail "a failed change ended the swaybg that was drawing"
expect_halves "32 192 64" "208 192 32" "after the failed change"

end_probe
gone_within "$second" 20 || fail "swaybg outlived the backend"
echo "ok: swaybg ends with the backend"

start_probe swaybg
answer=$(show "$work/red-blue.bmp")
[ "$answer" = ok ] || fail "swaybg change 3: $answer"
orphan=$(swaybg_of "$probe_pid")
[ -n "$orphan" ] || fail "swaybg change 3: no swaybg runs"
kill -KILL "$probe_pid"
wait "$probe_pid" 2>/dev/null || true
gone_within "$orphan" 30 || fail "swaybg outlived the killed program"
echo "ok: swaybg ends when the program is killed"

# --- 2. the sway backend --------------------------------------------------------------------------
start_probe sway
answer=$(show "$work/magenta-cyan.bmp")
[ "$answer" = ok ] || fail "sway change: $answer"
end_probe
expect_halves "192 32 192" "32 192 192" "sway change"

# --- 3. the real program, natively on Wayland -------------------------------------------------------
project=$home/show.lmv
printf '%s\r\n' "[counttime]" "swtime=minute" "swrefreshtime=60" "sw_no=0" "setup_swminute=0" \
  "setup_sw_minute=0" "screensaver_setup_swminute=0" "screensaver_setup_sw_minute=0" "sstime=minute" \
  "ssrefreshtime=60" "ss_no=0" "[countitem]" "sscount=0" "swcount=1" "[switem]" "sw0=$work/orange-grey.jpg" \
  >"$project"
printf '[software\\lumavuetest]\nsettime_selected=%s\n' "$project" >"$home/store/HKEY_LOCAL_MACHINE.ini"
chown_home
# As a compositor started from a console leaves it: no XDG_SESSION_TYPE
# saying "wayland", on which Qt would pick its Wayland plugin itself.
start_as_user PLIMBURY_REGISTRY="$home/store" PLIMBURY_DESKTOP=auto "$work/bin/plimbury" /TRAY >"$work/program.log" 2>&1
plimbury_pid=$started_pid
expect_halves "240 128 16" "128 128 128" "the program's rotation on Wayland"
alive "$plimbury_pid" || fail "the program ended"
[ -z "$(swaybg_of "$plimbury_pid")" ] || fail "the program drew with swaybg where sway has its own"
# Hidden, without a tray too: /TRAY reached it as its only argument.
[ "$(as_user swaymsg -t get_tree | grep -c '"app_id": "plimbury"')" -eq 0 ] || fail "a /TRAY start shows its window"
kill "$plimbury_pid"
wait "$plimbury_pid" 2>/dev/null || true

# Its window, shown: the code for X11 windows must stand aside.
start_as_user PLIMBURY_REGISTRY="$home/store" PLIMBURY_DESKTOP=none "$work/bin/plimbury" >"$work/program.log" 2>&1
plimbury_pid=$started_pid
found=""
for _ in $(seq 100); do
  found=$(as_user swaymsg -t get_tree 2>/dev/null | grep -c '"app_id": "plimbury"' || true)
  [ "$found" -gt 0 ] && break
  sleep 0.2
done
[ "$found" -gt 0 ] || fail "no window of the program on Wayland"
sleep 1
alive "$plimbury_pid" || fail "the program ended with its window on Wayland"
echo "ok: the program's window on Wayland"
kill "$plimbury_pid"
wait "$plimbury_pid" 2>/dev/null || true

# --- 4. a Wayland session that also offers X11 --------------------------------------------------------
if command -v Xvfb >/dev/null && command -v xwininfo >/dev/null; then
  exec 3< <(exec Xvfb -displayfd 1 -noreset -screen 0 800x600x24 -nolisten tcp 2>/dev/null)
  pids+=($!)
  read -r -t 30 display <&3 || fail "Xvfb did not start"
  # As a display manager's session says: Qt on its own would take Wayland.
  start_as_user XDG_SESSION_TYPE=wayland DISPLAY=":$display" PLIMBURY_REGISTRY="$home/store" PLIMBURY_DESKTOP=none \
    "$work/bin/plimbury" \
    >"$work/program-x11.log" 2>&1
  plimbury_pid=$started_pid
  found=""
  for _ in $(seq 100); do
    found=$(DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | grep -c '"Form1' || true)
    [ "$found" -gt 0 ] && break
    sleep 0.2
  done
  [ "$found" -gt 0 ] || fail "with X11 offered the window is not an X11 window"
  echo "ok: with X11 offered the program's window is on the X server"
  kill "$plimbury_pid"
  wait "$plimbury_pid" 2>/dev/null || true
else
  echo "not checked: Wayland with X11 (Xvfb or xwininfo is not installed)"
fi
