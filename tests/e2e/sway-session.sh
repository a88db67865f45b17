# Shared by the end-to-end scripts that run a headless sway; sourced, not run.
# sway refuses to run as root, so as root its processes (and the program's)
# run as an ordinary system user that the script creates once.

# ordinary_user <name>: as root, creates the user if needed and sets
# created_user and runas (the command prefix that runs as that user);
# otherwise leaves both empty and runs as the caller.
ordinary_user() {
  created_user="" runas=()
  [ "$(id -u)" -eq 0 ] || return 0
  created_user=$1
  id "$created_user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$created_user"
  runas=(setpriv --reuid="$(id -u "$created_user")" --regid="$(id -g "$created_user")" --clear-groups)
}

# start_headless_sway <config> <log>: starts sway on the headless backend
# with user_env and runas (its runtime folder is user_env's
# XDG_RUNTIME_DIR, given as <home>/run through `home`), adds it to pids,
# and waits until it offers its Wayland and IPC sockets: sets wayland (the
# display's name) and swaysock. Calls fail when it does not within 10 s.
start_headless_sway() {
  "${user_env[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman "${runas[@]}" \
    sway -c "$1" >"$2" 2>&1 &
  pids+=($!)
  wayland="" swaysock=""
  local socket
  for _ in $(seq 100); do
    for socket in "$home/run"/wayland-? "$home/run"/sway-ipc.*.sock; do
      [ -S "$socket" ] || continue
      case $socket in
        */wayland-?) wayland=${socket##*/} ;;
        *) swaysock=$socket ;;
      esac
    done
    [ -n "$wayland" ] && [ -n "$swaysock" ] && return 0
    sleep 0.1
  done
  fail "sway did not start"
}
