#!/usr/bin/env bash
# The command line steering the running program:
#   control.sh <plimbury>
# --help and --status answer by themselves; --next, --pause and --resume reach
# the running copy (started here with /TRAY and a selected project), change
# what they say, and print its answer; without a running copy they fail.
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/program.log" ] && cat "$work/program.log" >&2; exit 1; }

mkdir -p "$work/run" "$work/store" "$work/pictures"
chmod 700 "$work/run"
# The pictures exist: a change reads each one before the desktop gets it.
pics=$work/pictures
convert -size 4x4 xc:'#ff0000' BMP3:"$pics/a.bmp"
convert -size 4x4 xc:'#0000ff' BMP3:"$pics/b.bmp"
program_env=(env -i PATH=/usr/bin:/bin ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}"
             UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" HOME="$work" XDG_RUNTIME_DIR="$work/run"
             PLIMBURY_REGISTRY="$work/store" PLIMBURY_DESKTOP=none QT_QPA_PLATFORM=offscreen)
run() { "${program_env[@]}" "$program" "$@"; }

run --help | grep -q -- "--next-screensaver" || fail "--help does not list the commands"
[ "$(run --status)" = $'No project is selected.\nPaused: no' ] || fail "--status without a project: $(run --status)"
for form in --next --next-screensaver --pause --resume; do
  status=0
  run "$form" >"$work/out.txt" 2>"$work/err.txt" || status=$?
  [ "$status" = 1 ] || fail "$form without a running copy: exit status $status"
  grep -q "no running copy" "$work/err.txt" || fail "$form without a running copy: $(cat "$work/err.txt")"
  [ -s "$work/out.txt" ] && fail "$form without a running copy printed: $(cat "$work/out.txt")"
done

# A running copy with a project whose next change is hours away.
project=$work/show.lmv
now=$(date +%s)
later=$(date -d "@$((now + 7200))" +%y%m%d%H%M)
shown=$(date -d "@$((now + 7200))" '+%Y-%m-%d %H:%M')
printf '%s\r\n' "[counttime]" "swtime=hour" "swrefreshtime=4" "sw_no=0" "setup_swminute=0" \
  "setup_sw_minute=$later" "screensaver_setup_swminute=0" "screensaver_setup_sw_minute=$later" "sstime=hour" \
  "ssrefreshtime=4" "ss_no=0" "[countitem]" "swcount=2" "sscount=0" "[switem]" "sw0=$pics/b.bmp" \
  "sw1=$pics/a.bmp" >"$project"
printf '[software\\lumavuetest]\nsettime_selected=%s\n' "$project" >"$work/store/HKEY_LOCAL_MACHINE.ini"
# --status reads the store and the file by itself, running copy or not.
expected="Project: $project
Paused: no
Wallpaper:
  current: $pics/b.bmp
  next:    $pics/a.bmp (1 of 2)
  every:   4 hour
  change:  $shown
Screen saver:
  no entries
  every:   4 hour
  change:  $shown"
[ "$(run --status)" = "$expected" ] || fail "--status of a known project: $(run --status)"
# Not through run(): in the background a function is a shell of its own,
# and $! would be that shell rather than the program.
"${program_env[@]}" "$program" /TRAY >"$work/program.log" 2>&1 &
pid=$!
# It answers at once; the project is in its lists a second later.
for _ in $(seq 100); do
  run --next >/dev/null 2>&1 && break
  sleep 0.2
done

grep -q $'^sw_no=1\r$' "$project" || fail "--next did not move the show on"
grep -qF "Wallpaper=$pics/a.bmp" "$work/store/HKEY_CURRENT_USER.ini" || fail "--next did not change the wallpaper"
run --next >"$work/out.txt" 2>&1 || fail "--next: $(cat "$work/out.txt")"
grep -q $'^sw_no=0\r$' "$project" || fail "a second --next did not move the show on"
[ "$(run --pause)" = "Paused; plimbury --resume goes on" ] || fail "--pause"
grep -q "^paused=1" "$work/store/HKEY_LOCAL_MACHINE.ini" || fail "the pause is not kept"
run --status | grep -qxF "  current: $pics/b.bmp" || fail "--status: $(run --status)"
run --status | grep -q "^Paused: yes$" || fail "--status does not say paused"
[ "$(run --resume)" = "Resumed" ] || fail "--resume"
grep -q "^paused=0" "$work/store/HKEY_LOCAL_MACHINE.ini" || fail "the pause is not cleared"
kill -0 "$pid" || fail "the running copy ended"
echo "ok: --help, --status, --next, --pause, --resume"
