#!/usr/bin/env bash
# The real program on a real GNOME Shell, read back from the screen:
#   gnome-shell.sh <plimbury>
# GNOME Shell as a nested Wayland compositor inside a private Xvfb, with two
# monitors of 640x480 side by side (one window of 1280x480), on a session
# bus of its own and an empty private system bus, as an ordinary user when
# run as root. The program runs as a client of the shell's Xwayland and finds
# GNOME by itself: the fit mode and background colour on both monitors, then
# a picture of its own on each monitor (one picture composed and spanned).
# GNOME Shell takes some ten seconds to come up; the whole test under a minute.
# Exit 77 (skipped) when GNOME Shell or a tool is not installed.
set -euo pipefail
. "$(dirname "$0")/sway-session.sh"
program=$(realpath "$1")

needed=(Xvfb gnome-shell Xwayland dbus-daemon gdbus xwd convert)
[ "$(id -u)" -eq 0 ] && needed+=(setpriv useradd)
for tool in "${needed[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (packages xvfb, gnome-shell, xwayland, dbus, libglib2.0-bin," \
         "x11-apps, imagemagick)"
    exit 77
  fi
done

work=$(mktemp -d)
chmod 755 "$work"
pids=()
created_user=""
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -n "$created_user" ]; then pkill -u "$created_user" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  local log
  for log in shell program; do
    [ -s "$work/$log.log" ] || continue
    echo "--- $log.log" >&2
    grep -v '^$' "$work/$log.log" | tail -n 15 >&2
  done
  exit 1
}

ordinary_user plimbury-gnome
home=$work/home
mkdir -p "$home/run" "$home/store"
chmod 700 "$home/run"
[ -n "$created_user" ] && chown -R "$created_user:" "$home"

exec 3< <(exec Xvfb -displayfd 1 -noreset -screen 0 1400x600x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 30 xdisplay <&3 || fail "Xvfb did not start"

user_env=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME="$home/config"
          XDG_CACHE_HOME="$home/cache" XDG_DATA_HOME="$home/data" NO_AT_BRIDGE=1)
# The shell asks the system bus for logind, accounts, polkit...: an empty
# one of its own answers that none of them is there.
cat >"$work/system-bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$home/run/system-bus</listen>
  <policy context="default">
    <allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
  </policy>
</busconfig>
EOF
exec 4< <(exec "${user_env[@]}" "${runas[@]}" dbus-daemon --config-file="$work/system-bus.conf" --nofork \
            --print-address=1 2>"$work/system-bus.log")
pids+=($!)
read -r -t 30 system_bus <&4 || fail "the private system bus did not start"
exec 5< <(exec "${user_env[@]}" "${runas[@]}" dbus-daemon --session --nofork --print-address=1 2>"$work/bus.log")
pids+=($!)
read -r -t 30 bus <&5 || fail "the session bus did not start"
user_env+=(DBUS_SESSION_BUS_ADDRESS="$bus" DBUS_SYSTEM_BUS_ADDRESS="$system_bus" XDG_CURRENT_DESKTOP=GNOME
           XDG_SESSION_TYPE=wayland)

"${user_env[@]}" DISPLAY=":$xdisplay" LIBGL_ALWAYS_SOFTWARE=1 MUTTER_DEBUG_NUM_DUMMY_MONITORS=2 \
  MUTTER_DEBUG_DUMMY_MODE_SPECS=640x480 "${runas[@]}" gnome-shell --nested --wayland >"$work/shell.log" 2>&1 &
pids+=($!)
# Up once it owns its name on the bus and has said which X display its
# Xwayland serves.
xwayland=""
for _ in $(seq 300); do
  xwayland=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/shell.log")
  if [ -n "$xwayland" ] && "${user_env[@]}" "${runas[@]}" gdbus call --session --dest org.freedesktop.DBus \
       --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.NameHasOwner org.gnome.Shell 2>/dev/null |
       grep -q true; then
    break
  fi
  sleep 0.2
done
[ -n "$xwayland" ] || fail "GNOME Shell did not start"
xauthority=$(compgen -G "$home/run/.mutter-Xwaylandauth.*" | head -n 1) || fail "no Xauthority for Xwayland"
# The shell opens its overview once it has started; closed, the desktop shows.
overview() {
  "${user_env[@]}" "${runas[@]}" gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method org.freedesktop.DBus.Properties."$@" 2>/dev/null
}
closed=0
for _ in $(seq 150); do
  overview Set org.gnome.Shell OverviewActive '<false>' >/dev/null || true
  if overview Get org.gnome.Shell OverviewActive | grep -q false; then
    closed=$((closed + 1))
    [ "$closed" -ge 5 ] && break
  else
    closed=0
  fi
  sleep 0.2
done
[ "$closed" -ge 5 ] || fail "GNOME Shell's overview does not close"

program_env=("${user_env[@]}" DISPLAY="$xwayland" XAUTHORITY="$xauthority" WAYLAND_DISPLAY=wayland-0
             PLIMBURY_REGISTRY="$home/store" QT_QPA_PLATFORM=offscreen
             ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}")
run() { "${program_env[@]}" "${runas[@]}" "$program" "$@"; }
start() {
  "${program_env[@]}" "${runas[@]}" "$program" /TRAY >>"$work/program.log" 2>&1 &
  plimbury_pid=$!
  pids+=("$plimbury_pid")
}
stop() {
  kill "$plimbury_pid"
  wait "$plimbury_pid" 2>/dev/null || true
}

. "$(dirname "$0")/screen-check.sh"
shoot() { DISPLAY=":$xdisplay" xwd -root -silent | convert xwd:- "$1"; }
shoot=shoot
project=$home/show.lmv
make_pictures
printf '[software\\lumavuetest]\nsettime_selected=%s\n' "$project" >"$home/store/HKEY_LOCAL_MACHINE.ini"
touch "$project"
[ -n "$created_user" ] && chown -R "$created_user:" "$home/store" "$project"
quarters="160,240 480,240 800,240 1120,240"

# --- the fit and the background colour on both monitors ------------------------------------
# Under fill only the tall picture's middle stripe shows; under fit the
# square is letterboxed in the background colour (navy, #203040).
# Under stretch the tall picture's top and bottom would show (the top bar
# covers the top of the left monitor only).
for mode in "fill tall #000000|red red red red red|160,240 160,470 800,5 800,240 800,470" \
            "fit square #203040|navy green navy green|40,240 320,240 680,240 960,240"; do
  IFS='|' read -r setting expected points <<<"$mode"
  read -r fit picture colour <<<"$setting"
  display=("[display]" "fit=$fit" "background=$colour")
  write_project 0 "$picture"
  start
  expect_screen "$expected" "GNOME, fit=$fit" "$points" 30
  stop
done

# --- a picture of its own on each monitor -------------------------------------------------
display=("[display]" "monitors=each")
write_project 0 green-yellow red-blue square
start
expect_screen "green yellow red blue" "GNOME, monitors=each: the first two entries" "$quarters" 30
[ "$(show_number)" = 2 ] || fail "monitors=each: sw_no is $(show_number), not 2"
run --next >/dev/null || fail "--next with monitors=each failed"
expect_screen "green green green yellow" "GNOME, monitors=each: the third and, wrapping, the first" "$quarters" 30
stop
grep -qi "error" "$work/program.log" && fail "the program reported an error"
echo "ok: GNOME Shell shows each fit and a picture of its own on each monitor"
