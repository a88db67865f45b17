# Shared by the end-to-end scripts; sourced, not run. Desktops that refuse
# root (sway) or are not meant for it run, with the program, as an ordinary
# system user that the script creates once.

# require_tools <packages> <tool>...: exits 77 (skipped) when a tool is
# missing, naming it and the packages that bring them all.
require_tools() {
  local packages=$1 tool
  shift
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "skipped: $tool is not installed (packages $packages)"
      exit 77
    fi
  done
}

# begin_test: the test's folder `work` (open to the user it creates), `pids`
# to end at exit (with every process of that user), and fail() printing
# "FAIL: <text>", running `on_fail` when set, and showing the end of each
# $work/<name>.log named in `logs`.
begin_test() {
  work=$(mktemp -d)
  chmod 755 "$work"
  pids=()
  logs=()
  created_user=""
  trap cleanup EXIT
}
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Only a user made for the test has nothing else running.
  if [ -n "$created_user" ]; then pkill -u "$created_user" 2>/dev/null || true; fi
  rm -rf "$work"
}
fail() {
  echo "FAIL: $*" >&2
  [ -n "${on_fail:-}" ] && $on_fail
  local log
  for log in "${logs[@]}"; do
    [ -s "$work/$log.log" ] || continue
    echo "--- $log.log" >&2
    grep -v '^$' "$work/$log.log" | tail -n 20 >&2
  done
  exit 1
}

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
