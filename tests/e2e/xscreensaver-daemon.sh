#!/usr/bin/env bash
# The screen saver against a real xscreensaver daemon:
#   xscreensaver-daemon.sh <plimbury> <screensaver_probe>
# A private Xvfb and HOME, `xscreensaver -no-splash` started here, and every
# change made as an ordinary user (xscreensaver runs no programs for root:
# as root a user is created for the test). After each change the daemon is
# made to blank, and the process list must show the chosen program: changes
# in a row (the real program's rotation among them), the editor's test run
# with a daemon (the daemon shows the program) and without one (the program
# in its own window), and an entry xscreensaver does not list.
# Exit 77 (skipped) when xscreensaver or Xvfb is not installed.
set -euo pipefail
program=$(realpath "$1")
probe=$(realpath "$2")
hacks=/usr/libexec/xscreensaver

for tool in Xvfb xscreensaver xscreensaver-command pgrep xwininfo setpriv; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (packages xvfb, xscreensaver, procps, x11-utils)"
    exit 77
  fi
done
for hack in galaxy swirl; do
  [ -x "$hacks/$hack" ] || { echo "skipped: $hacks/$hack is missing (package xscreensaver-data)"; exit 77; }
done

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Only the user made for the test: run by a developer, that is themself.
  [ -n "${created:-}" ] && pkill -u "$created" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- xscreensaver's log" >&2
  tail -n 30 "$work/xscreensaver.log" >&2 || true
  exit 1
}

# --- who runs it ------------------------------------------------------------------
runas=()
user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  user=plimbury-test
  id "$user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
  runas=(setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --clear-groups)
  created=$user
  # The user is the test's own: what an earlier run left (a screen saver
  # still ending) would pass for this run's.
  pkill -u "$user" 2>/dev/null || true
  for _ in $(seq 50); do
    pgrep -u "$user" >/dev/null || break
    sleep 0.1
  done
fi
home=$work/home
mkdir -p "$home/run" "$work/bin"
chmod 700 "$home/run"
# The build folder may not be open to other users.
cp "$program" "$probe" "$work/bin/"
[ "$(id -u)" -eq 0 ] && chown -R "$user" "$home"

# --- a private X server and the daemon ----------------------------------------------
exec 3< <(exec Xvfb -displayfd 1 -noreset -screen 0 800x600x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 30 display <&3 || fail "Xvfb did not start"
user_env=(env -i PATH=/usr/bin:/bin ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}"
          UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" HOME="$home" XDG_RUNTIME_DIR="$home/run" DISPLAY=":$display"
          PLIMBURY_REGISTRY="$home/store" PLIMBURY_DESKTOP=none "${runas[@]}")
as_user() { "${user_env[@]}" "$@"; }
# In the background not through as_user(): $! is then the program itself
# rather than a shell around it, and a kill reaches it.
"${user_env[@]}" xscreensaver -no-splash -verbose >"$work/xscreensaver.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  as_user xscreensaver-command -version >/dev/null 2>&1 && break
  sleep 0.1
done
as_user xscreensaver-command -version >/dev/null 2>&1 || fail "the daemon does not answer"

# The screen-saver program the user's processes run now, among those named.
running() {
  local name
  for name in "$@"; do
    pgrep -u "$user" -x "$name" >/dev/null && echo "$name"
  done
  return 0
}
# Waits until the blanked screen shows a program; prints it.
shown() {
  local found=""
  for _ in $(seq 100); do
    found=$(running galaxy swirl)
    [ -n "$found" ] && break
    sleep 0.2
  done
  echo "$found"
}
unblank() {
  as_user xscreensaver-command -deactivate >/dev/null 2>&1 || true
  # A new blanking while the last one still fades out is lost, and a program
  # of the last one still ending would be taken for the next one's (under
  # load it can outlive the daemon's graphics process by seconds).
  for _ in $(seq 150); do
    if ! pgrep -u "$user" -f xscreensaver-gfx >/dev/null && [ -z "$(running galaxy swirl)" ]; then
      return 0
    fi
    sleep 0.2
  done
  fail "the daemon did not unblank"
}
expect_blanking_with() {
  as_user xscreensaver-command -activate >/dev/null 2>&1 || fail "the daemon refused to blank"
  local got
  got=$(shown)
  [ "$got" = "$1" ] || fail "$2: the daemon blanked with '${got:-nothing}', not $1"
  unblank
  echo "ok: $2 -> the daemon runs $1"
}
apply() {
  as_user "$work/bin/screensaver_probe" apply "$1" || fail "the change to $1 failed"
}

# --- changes in a row --------------------------------------------------------------------
# Entries from different folders, as a user's list may hold them; the
# program's name decides.
apply "$hacks/galaxy"
expect_blanking_with galaxy "change 1"

# The real program's rotation: a selected project whose screen saver is due.
project=$home/show.lmv
printf '%s\r\n' "[counttime]" "swtime=minute" "swrefreshtime=60" "sw_no=0" "setup_swminute=0" \
  "setup_sw_minute=0" "screensaver_setup_swminute=0" "screensaver_setup_sw_minute=0" "sstime=minute" \
  "ssrefreshtime=60" "ss_no=0" "[countitem]" "sscount=1" "swcount=0" "[ssitem]" "ss0=$hacks/swirl" >"$project"
mkdir -p "$home/store"
printf '[software\\lumavuetest]\nsettime_selected=%s\n' "$project" >"$home/store/HKEY_LOCAL_MACHINE.ini"
[ "$(id -u)" -eq 0 ] && chown -R "$user" "$home"
"${user_env[@]}" "$work/bin/plimbury" /TRAY >"$work/program.log" 2>&1 &
plimbury_pid=$!
pids+=("$plimbury_pid")
# A change writes the next due time in place of the 0.
unchanged=$'^screensaver_setup_sw_minute=0\r$'
for _ in $(seq 150); do
  grep -q "$unchanged" "$project" || break
  sleep 0.2
done
grep -q "$unchanged" "$project" && { cat "$work/program.log" >&2; fail "the program's rotation made no change"; }
kill "$plimbury_pid"
wait "$plimbury_pid" 2>/dev/null || true
expect_blanking_with swirl "change 2 (the program's rotation)"

step=3
for hack in galaxy swirl galaxy; do
  apply "/opt/elsewhere/$hack"
  expect_blanking_with "$hack" "change $step"
  step=$((step + 1))
done

# --- an entry xscreensaver does not list ---------------------------------------------------
before=$(cat "$home/.xscreensaver")
if as_user "$work/bin/screensaver_probe" apply /opt/savers/my-own-saver.scr 2>"$work/unlisted.txt"; then
  fail "an entry xscreensaver does not list was taken silently"
fi
grep -q "is not one of xscreensaver's screen savers" "$work/unlisted.txt" ||
  fail "unexpected message: $(cat "$work/unlisted.txt")"
[ "$(cat "$home/.xscreensaver")" = "$before" ] || fail "an unlisted entry changed the user's file"
echo "ok: an unlisted entry is reported and changes nothing"

# --- the test run ------------------------------------------------------------------------------
as_user "$work/bin/screensaver_probe" testrun "$hacks/swirl" || fail "the test run failed"
got=$(shown)
[ "$got" = swirl ] || fail "test run with a daemon: '${got:-nothing}' runs, not swirl"
# swirl may be restarted by the daemon while it runs, so its process is
# looked up again until one is found under the daemon's display helper.
under_daemon=""
for _ in $(seq 50); do
  for gfx in $(pgrep -u "$user" -f xscreensaver-gfx); do
    pgrep -P "$gfx" -x swirl >/dev/null && under_daemon=yes
  done
  [ -n "$under_daemon" ] && break
  sleep 0.2
done
[ -n "$under_daemon" ] ||
  fail "test run with a daemon: swirl runs, but not under the daemon ($(pgrep -u "$user" -a -x swirl; pgrep -u "$user" -a -f xscreensaver-gfx))"
unblank
echo "ok: test run with a daemon -> the daemon shows swirl"

as_user xscreensaver-command -exit >/dev/null 2>&1 || true
for _ in $(seq 100); do
  pgrep -u "$user" -x xscreensaver >/dev/null || break
  sleep 0.1
done
pgrep -u "$user" -x xscreensaver >/dev/null && fail "the daemon did not exit"
as_user "$work/bin/screensaver_probe" testrun "$hacks/swirl" || fail "the test run without a daemon failed"
got=$(shown)
[ "$got" = swirl ] || fail "test run without a daemon: swirl does not run"
windows=""
for _ in $(seq 50); do
  windows=$(DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | grep -ci swirl || true)
  [ "$windows" -gt 0 ] && break
  sleep 0.2
done
[ "$windows" -gt 0 ] || fail "test run without a daemon: swirl has no window"
pkill -u "$user" -x swirl || true
echo "ok: test run without a daemon -> swirl in its own window"

if as_user "$work/bin/screensaver_probe" testrun "$work/home/store/HKEY_LOCAL_MACHINE.ini" 2>"$work/nostart.txt"; then
  fail "a file that cannot run was reported as started"
fi
grep -q "^Cannot start " "$work/nostart.txt" || fail "unexpected message: $(cat "$work/nostart.txt")"
echo "ok: a test run that cannot start is reported"
