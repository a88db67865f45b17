#!/usr/bin/env bash
# The real program on a real Plasma desktop, read back from the screen:
#   plasma-desktop.sh <plimbury>
# KWin's Wayland compositor nested in a private Xvfb, with two outputs of
# 640x480 (each an X window; the second is moved beside the first), and
# plasmashell on it, on a session bus of their own, as an ordinary user when
# run as root. The program finds Plasma by itself and sends its desktop
# script: the fit mode and background colour on both screens, then a picture
# of its own on each screen, and --next moving both on; its tray icon
# registered with Plasma's StatusNotifierItem host.
# Plasma takes some twenty seconds to come up; the whole test about a minute.
# Exit 77 (skipped) when KWin, Plasma or a tool is not installed.
set -euo pipefail
. "$(dirname "$0")/session.sh"
program=$(realpath "$1")

require_tools "xvfb, kwin-wayland, plasma-desktop, qtwayland5, dbus, libglib2.0-bin, x11-apps, x11-utils, xdotool, imagemagick" \
  Xvfb kwin_wayland plasmashell kded5 dbus-daemon gdbus xwd xwininfo xdotool convert
[ "$(id -u)" -eq 0 ] && require_tools "util-linux, passwd" setpriv useradd

begin_test
logs=(kwin plasma program)

ordinary_user plimbury-plasma
# The build folder may not be open to that user.
mkdir -p "$work/bin"
cp "$program" "$work/bin/"
program=$work/bin/plimbury
home=$work/home
mkdir -p "$home/run" "$home/store"
chmod 700 "$home/run"
[ -n "$created_user" ] && chown -R "$created_user:" "$home"

exec 3< <(exec Xvfb -displayfd 1 -noreset -screen 0 1400x600x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 30 xdisplay <&3 || fail "Xvfb did not start"

user_env=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME="$home/config"
          XDG_CACHE_HOME="$home/cache" XDG_DATA_HOME="$home/data" LIBGL_ALWAYS_SOFTWARE=1 NO_AT_BRIDGE=1)
# Services the bus starts (kactivitymanagerd...) take its environment: they
# draw nothing, but want a display to open.
exec 4< <(exec "${user_env[@]}" DISPLAY=":$xdisplay" "${runas[@]}" dbus-daemon --session --nofork --print-address=1 2>"$work/bus.log")
pids+=($!)
read -r -t 30 bus <&4 || fail "the session bus did not start"
user_env+=(DBUS_SESSION_BUS_ADDRESS="$bus" XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true XDG_SESSION_TYPE=wayland)

# KWin carries a file capability that a process without privileges may not
# take on; a copy of it does without.
cp /usr/bin/kwin_wayland "$work/kwin_wayland"
"${user_env[@]}" DISPLAY=":$xdisplay" "${runas[@]}" "$work/kwin_wayland" --x11-display ":$xdisplay" \
  --output-count 2 --width 640 --height 480 --socket wayland-plimbury >"$work/kwin.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$home/run/wayland-plimbury" ] && break; sleep 0.2; done
[ -S "$home/run/wayland-plimbury" ] || fail "KWin did not start"
user_env+=(WAYLAND_DISPLAY=wayland-plimbury)
# kded's StatusNotifierWatcher lists the tray icons for the panel; a Plasma
# session loads it at its start.
"${user_env[@]}" QT_QPA_PLATFORM=wayland "${runas[@]}" kded5 >"$work/kded.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  "${user_env[@]}" "${runas[@]}" gdbus call --session --dest org.kde.kded5 --object-path /kded \
    --method org.kde.kded5.loadModule statusnotifierwatcher 2>/dev/null | grep -q true && break
  sleep 0.2
done
"${user_env[@]}" QT_QPA_PLATFORM=wayland "${runas[@]}" plasmashell --no-respawn >"$work/plasma.log" 2>&1 &
pids+=($!)

# The outputs' windows, in the order KWin made them (left, then right).
windows=()
for _ in $(seq 100); do
  mapfile -t windows < <(DISPLAY=":$xdisplay" xwininfo -root -children |
    sed -n 's/^ *\(0x[0-9a-f]*\) "KDE Wayland Compositor.*/\1/p' | sort)
  [ "${#windows[@]}" -eq 2 ] && break
  sleep 0.2
done
[ "${#windows[@]}" -eq 2 ] || fail "KWin did not open two outputs"
DISPLAY=":$xdisplay" xdotool windowmove "${windows[1]}" 700 0

plasma_says() {
  "${user_env[@]}" "${runas[@]}" gdbus call --session --dest org.kde.plasmashell --object-path /PlasmaShell \
    --method org.kde.PlasmaShell.evaluateScript "'$1'" 2>/dev/null
}
for _ in $(seq 300); do
  [ "$(plasma_says 'print(desktops().length)')" = "('2',)" ] && break
  sleep 0.2
done
[ "$(plasma_says 'print(desktops().length)')" = "('2',)" ] || fail "Plasma did not show a desktop on each screen"

program_env=("${user_env[@]}" PLIMBURY_REGISTRY="$home/store" QT_QPA_PLATFORM=offscreen
             ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}")

. "$(dirname "$0")/screen-check.sh"
shoot() { DISPLAY=":$xdisplay" xwd -root -silent | convert xwd:- -strip "ppm:$1"; }
shoot=shoot
project=$home/show.lmv
make_pictures
printf '[software\\lumavuetest]\nsettime_selected=%s\n' "$project" >"$home/store/HKEY_LOCAL_MACHINE.ini"
touch "$project"
[ -n "$created_user" ] && chown -R "$created_user:" "$home/store" "$project"
# The left screen is at 0..639, the right at 700..1339; the panel covers the
# bottom of the first.
both="160,200 480,200 860,200 1180,200"

# --- the fit, the background colour and a picture for each screen ---------------------------
# The panel covers the bottom of the left screen only.
check_two_monitors Plasma 40 "160,5 160,240 860,5 860,240 860,470" "40,200 320,200 740,200 1020,200" "$both"

# --- the tray icon, through Plasma's StatusNotifierItem host -----------------------------
"${program_env[@]}" QT_QPA_PLATFORM=wayland "${runas[@]}" "$program" /TRAY >>"$work/program.log" 2>&1 &
plimbury_pid=$!
pids+=("$plimbury_pid")
bus_call() { "${user_env[@]}" "${runas[@]}" gdbus call --session "$@" 2>/dev/null || true; }
# Whether one of the registered items ("<bus name>/<path>") is the program's.
ours() {
  local item owner
  for item in $(bus_call --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
                  --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
                  RegisteredStatusNotifierItems | grep -o "'[^'/]*" | tr -d "'"); do
    owner=$(bus_call --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
              --method org.freedesktop.DBus.GetConnectionUnixProcessID "$item")
    [ "$owner" = "(uint32 $plimbury_pid,)" ] && return 0
  done
  return 1
}
registered=""
for _ in $(seq 100); do
  ours && { registered=yes; break; }
  sleep 0.2
done
[ -n "$registered" ] || fail "no tray icon of the program in Plasma's panel"
[ -n "${E2E_SHOTS:-}" ] && { sleep 2; DISPLAY=":$xdisplay" xwd -root -silent | convert xwd:- "$E2E_SHOTS/plasma-tray.png"; }
echo "ok: the tray icon is in Plasma's panel"
stop
grep -qi "error" "$work/program.log" && fail "the program reported an error"
echo "ok: Plasma shows each fit and a picture of its own on each screen"
