#!/usr/bin/env bash
# The real program on xfdesktop with two monitors, read back from the screen:
#   xfce-monitors.sh <plimbury>
# xfdesktop sees monitors through GTK, which lists RandR outputs (monitors
# declared with xrandr --setmonitor stay hidden from it, and Xvfb has one
# output), so the X server is Xorg with its dummy driver: outputs DUMMY0 and
# DUMMY1, 640x480 each, side by side. xfdesktop runs with its own session bus
# and xfconfd; the program sets the backdrops, xfdesktop must draw them.
#  1. each fit mode of the project's display settings, read on both monitors
#     at points that tell it from the others;
#  2. monitors=each: three entries of flat colours, a picture of its own on
#     each monitor, then --next.
# Without Xorg's dummy driver, or where Xorg will not start for this user, the
# fit modes are read on a one-monitor Xvfb and the test exits 77 (skipped) for
# the rest; without xfdesktop, at once. Takes some 15 seconds.
set -euo pipefail
program=$(realpath "$1")

for tool in xfdesktop xfconf-query dbus-daemon xrandr xwd convert od; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (packages xfdesktop4, xfconf, dbus, x11-xserver-utils, x11-apps, imagemagick)"
    exit 77
  fi
done
xorg=/usr/lib/xorg/Xorg
two_monitors=yes
if [ ! -x "$xorg" ] || [ ! -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]; then
  two_monitors=""
fi
command -v Xvfb >/dev/null || [ -n "$two_monitors" ] || { echo "skipped: neither Xorg's dummy driver nor Xvfb is installed"; exit 77; }

work=$(mktemp -d)
pids=()
bus_pid=""
started=$SECONDS
cleanup() {
  local pid
  # xfconfd was started by the bus on demand: it is the bus's child.
  if [ -n "$bus_pid" ]; then pids+=($(pgrep -P "$bus_pid" 2>/dev/null || true)); fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  if [ -n "${xfdesktop_pid:-}" ] && ! kill -0 "$xfdesktop_pid" 2>/dev/null; then
    echo "xfdesktop is no longer running" >&2
  fi
  local log
  for log in "$work/program.log" "$work/xfdesktop.log" "$work/server.log"; do
    [ -s "$log" ] && { echo "--- ${log##*/}" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}
# Polls `check` (a command) for up to `seconds`; true once it succeeds.
within() {
  local seconds=$1 deadline
  shift
  deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# --- the X server --------------------------------------------------------------------------------
if [ -n "$two_monitors" ]; then
  cat >"$work/xorg.conf" <<'EOF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "card"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "card"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 1280 480
  EndSubSection
EndSection
EOF
  mkdir -p "$work/xorg.conf.d"
  exec 3< <(exec "$xorg" -displayfd 1 -config "$work/xorg.conf" -configdir "$work/xorg.conf.d" -noreset \
              -nolisten tcp -novtswitch -sharevts -logfile "$work/server.log" 2>/dev/null)
  pids+=($!)
  # Xorg may refuse to run for this user (no console): one monitor then.
  if ! read -r -t 30 display <&3; then
    echo "Xorg did not start: $(grep -m1 '(EE)' "$work/server.log" 2>/dev/null || true)"
    two_monitors=""
  fi
fi
if [ -z "$two_monitors" ]; then
  exec 3< <(exec Xvfb -displayfd 1 -noreset -screen 0 640x480x24 -nolisten tcp 2>"$work/server.log")
  pids+=($!)
  read -r -t 30 display <&3 || fail "Xvfb did not start"
fi
export DISPLAY=":$display"
monitors=(screen)
if [ -n "$two_monitors" ]; then
  # DUMMY1 starts without a mode; it gets the one DUMMY0 has.
  xrandr --addmode DUMMY1 640x480 && xrandr --output DUMMY0 --mode 640x480 --pos 0x0 \
    --output DUMMY1 --mode 640x480 --right-of DUMMY0 || fail "xrandr cannot turn on the second output"
  monitors=(DUMMY0 DUMMY1)
  two_on() { [ "$(xrandr --listmonitors | sed -n 's/^Monitors: //p')" = 2 ]; }
  within 20 two_on || fail "the second monitor did not come: $(xrandr --listmonitors)"
fi
echo "ok: ${#monitors[@]} monitor(s): ${monitors[*]} (after $((SECONDS - started)) s)"

# --- xfdesktop --------------------------------------------------------------------------------------
mkdir -p "$work/run" "$work/store" "$work/pictures" "$work/.config/xfce4/xfconf/xfce-perchannel-xml"
chmod 700 "$work/run"
xfce_env=(env -i PATH=/usr/bin:/bin HOME="$work" XDG_RUNTIME_DIR="$work/run" DISPLAY="$DISPLAY" NO_AT_BRIDGE=1)
# A session bus of its own, which starts xfconfd when it is first asked, in
# its own environment: xfconfd keeps the settings under this HOME.
exec 4< <(exec "${xfce_env[@]}" dbus-daemon --session --nofork --print-address=1 2>"$work/bus.log")
bus_pid=$!
pids+=("$bus_pid")
read -r -t 30 bus <&4 || fail "the session bus did not start"
xfce_env+=(DBUS_SESSION_BUS_ADDRESS="$bus")
# No desktop icons: they would cover the picture where it is read.
cat >"$work/.config/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-desktop" version="1.0">
  <property name="desktop-icons" type="empty">
    <property name="style" type="int" value="0"/>
  </property>
</channel>
EOF
# Without a window manager: xfdesktop would wait for one.
"${xfce_env[@]}" xfdesktop --disable-wm-check >"$work/xfdesktop.log" 2>&1 &
xfdesktop_pid=$!
pids+=("$xfdesktop_pid")
xfconf() { "${xfce_env[@]}" xfconf-query -c xfce4-desktop "$@"; }
# xfdesktop writes a backdrop for each monitor it sees once it has drawn them.
backdrops_made() {
  local listed monitor
  listed=$(xfconf -l 2>/dev/null) || return 1
  for monitor in "${monitors[@]}"; do
    grep -q "^/backdrop/screen0/monitor$monitor/workspace0/last-image$" <<<"$listed" || return 1
  done
}
within 30 backdrops_made || fail "xfdesktop made no backdrop for each of ${monitors[*]}: $(xfconf -l 2>&1)"
echo "ok: xfdesktop is up (after $((SECONDS - started)) s)"

# --- the screen -------------------------------------------------------------------------------------
. "$(dirname "$0")/screen-check.sh"
shoot() { xwd -root -silent | convert xwd:- -strip "ppm:$1"; }
shoot=shoot
# xfdesktop 4.18 now and then dies of its own when backdrops change in quick
# succession ("corrupted double-linked list" in its picture loader). Xfce's
# session manager starts it again, and it draws what the settings say: so does
# this test, twice at most, and what it then draws must still be right.
restarts=0
keep_xfdesktop() {
  kill -0 "$xfdesktop_pid" 2>/dev/null && return 0
  restarts=$((restarts + 1))
  [ "$restarts" -le 2 ] || fail "xfdesktop keeps ending"
  echo "note: xfdesktop ended ($(grep -v '^$' "$work/xfdesktop.log" | tail -n 1)); started again"
  "${xfce_env[@]}" xfdesktop --disable-wm-check >>"$work/xfdesktop.log" 2>&1 &
  xfdesktop_pid=$!
  pids+=("$xfdesktop_pid")
}
on_poll=keep_xfdesktop

# --- the program ------------------------------------------------------------------------------------
program_env=(env -i PATH=/usr/bin:/bin ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}"
             UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" HOME="$work" XDG_RUNTIME_DIR="$work/run"
             PLIMBURY_REGISTRY="$work/store" DISPLAY="$DISPLAY" DBUS_SESSION_BUS_ADDRESS="$bus"
             PLIMBURY_DESKTOP=xfce QT_QPA_PLATFORM=offscreen)
project=$work/show.lmv
printf '[software\\lumavuetest]\nsettime_selected=%s\n' "$project" >"$work/store/HKEY_LOCAL_MACHINE.ini"

# Wide, 4:1 and green: under fit, bands of the blue background above and below.
convert -size 8x2 xc:'#00ff00' -type TrueColor BMP3:"$work/pictures/wide.bmp"
# Tall, a red stripe across the middle: fill shows only the stripe (its
# middle 3 of 16 rows on a 4:3 monitor, well inside the 4 red ones).
convert -size 2x6 xc:'#00ff00' -size 2x4 xc:'#ff0000' -size 2x6 xc:'#0000ff' -append -type TrueColor \
  BMP3:"$work/pictures/tall.bmp"
# 100 x 100, green left and blue right: centred as it is, and tiled.
convert -size 50x100 xc:'#00ff00' xc:'#0000ff' +append -type TrueColor BMP3:"$work/pictures/small.bmp"
# Flat colours, named so that the program's list (sorted by name) keeps this order.
for entry in "1-blue #0000ff" "2-green #00ff00" "3-red #ff0000"; do
  convert -size 4x4 "xc:${entry#* }" -type TrueColor BMP3:"$work/pictures/${entry% *}.bmp"
done

# --- 1. fit modes -----------------------------------------------------------------------------------
# Points on the first monitor; each other monitor is read at the same points
# of its own, so tiles start at each monitor's corner. Each mode reads
# differently from the one before at some point, so a screen not yet redrawn
# never passes.
for mode in "fit wide #0000ff|blue green blue|320,80 320,240 320,400" \
            "fill tall #000000|red red red red red|320,3 320,240 320,476 3,240 636,240" \
            "center small #ff0000|red green blue red|200,240 300,240 340,240 320,100" \
            "tile small #ff0000|green blue green blue|25,20 75,20 625,420 575,420" \
            "stretch tall #ff0000|green red blue|320,3 320,240 320,476"; do
  IFS='|' read -r setting expected points <<<"$mode"
  read -r fit picture colour <<<"$setting"
  all_points="" all_expected=""
  for i in "${!monitors[@]}"; do
    for point in $points; do all_points+="$((${point%,*} + 640 * i)),${point#*,} "; done
    all_expected+="$expected "
  done
  display=("[display]" "fit=$fit" "background=$colour")
  write_project 0 "$picture"
  start
  expect_screen "${all_expected% }" "fit=$fit" "$all_points" 30
  stop
done
grep -qi "error\|cannot" "$work/program.log" && fail "the program reported: $(head -n 5 "$work/program.log")"
echo "ok: every fit mode"

if [ -z "$two_monitors" ]; then
  echo "skipped: a picture of its own on each monitor (Xorg with its dummy driver is not installed or did not" \
       "start; packages xserver-xorg-core, xserver-xorg-video-dummy)"
  exit 77
fi

# --- 2. a picture of its own on each monitor ----------------------------------------------------------
display=("[display]" "monitors=each")
write_project 0 1-blue 2-green 3-red
start
expect_screen "blue blue green green" "monitors=each: the first two entries side by side" "100,240 540,240 740,240 1180,240" 30
expect_number 2 "monitors=each"
first=$(xfconf -p /backdrop/screen0/monitorDUMMY0/workspace0/last-image)
second=$(xfconf -p /backdrop/screen0/monitorDUMMY1/workspace0/last-image)
[ "$first" != "$second" ] || fail "both monitors were given $first"
run --next >/dev/null || fail "--next with monitors=each failed"
expect_screen "red red blue blue" "monitors=each: the third and, wrapping, the first" "100,240 540,240 740,240 1180,240" 30
expect_number 1 "monitors=each: --next"
stop
grep -qi "error\|cannot" "$work/program.log" && fail "the program reported: $(head -n 5 "$work/program.log")"
echo "ok: a picture of its own on each monitor, in $((SECONDS - started)) seconds"
