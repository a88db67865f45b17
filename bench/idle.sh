#!/usr/bin/env bash
# The program at rest in the notification area, measured from outside.
#
# Starts the program under a private Xvfb with a private HOME, store
# (PLIMBURY_REGISTRY) and no desktop (PLIMBURY_DESKTOP=none), resuming a
# selected project of 5,000 wallpapers and 5,000 screen savers with /TRAY and
# nothing due (wallpaper every 24 hours, due in 23; screen saver every 3 days,
# due in 2). Over IDLE_SECONDS (60) it reads the process's CPU time
# (utime + stime of /proc/<pid>/stat) and its resident size, and checks that
# the project file was not rewritten. Then it makes the wallpaper due by
# editing the file from outside, as a user's editor would, and checks that
# the running program notices and changes the wallpaper.
#
#   bench/idle.sh [path/to/plimbury]        (default: build/bin/plimbury)
#
# Targets: at most 0.1% of one core, at most 50 MiB resident.
set -euo pipefail

BIN=$(readlink -f "${1:-build/bin/plimbury}")
MEASURE=${IDLE_SECONDS:-60}
ENTRIES=${IDLE_ENTRIES:-5000}
[ -x "$BIN" ] || { echo "no program at $BIN (build the plimbury target first)" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb is needed (apt-get install xvfb)" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/plimbury-idle-XXXXXX")
PROGRAM_PID=""
XVFB_PID=""
cleanup() {
    [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

export HOME="$WORK/home"
export PLIMBURY_REGISTRY="$WORK/registry"
export PLIMBURY_DESKTOP=none
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_RUNTIME_DIR
mkdir -p "$HOME" "$PLIMBURY_REGISTRY"

# --- The project: as Save and Run writes it, with due values in the future.
PROJECT="$WORK/rest.lmv"
wall_due=$(date -d '+23 hours' +%y%m%d%H%M)
saver_due_day=$(date -d '+2 days' +%-m%d)
now_stamp=$(date +%-y%m%d%H%M)
{
    printf '[counttime]\r\n'
    printf 'swtime=hour\r\nswrefreshtime=24\r\nsw_no=0\r\n'
    printf 'setup_sw_minute=%s\r\nsetup_swminute=0\r\n' "$wall_due"
    printf 'sstime=day\r\nssrefreshtime=3\r\nss_no=0\r\n'
    printf 'screensaver_setup_swminute=%s\r\nscreensaver_setup_sw_minute=0\r\n' "$saver_due_day"
    printf '[countitem]\r\nsscount=%d\r\nswcount=%d\r\n' "$ENTRIES" "$ENTRIES"
    printf '[switem]\r\n'
    awk -v n="$ENTRIES" 'BEGIN { for (i = 0; i < n; i++) printf "sw%d=/home/someone/Pictures/holidays/2023/summer/IMG_%06d_beach.bmp\r\n", i, i }'
    printf '[ssitem]\r\n'
    awk -v n="$ENTRIES" 'BEGIN { for (i = 0; i < n; i++) printf "ss%d=/usr/lib/xscreensaver/saver_%06d.scr\r\n", i, i }'
} >"$PROJECT"
# The program's key exists (not a first run), naming the project.
printf '[software\\lumavuetest]\r\nsettime_selected=%s\r\n' "$PROJECT" >"$PLIMBURY_REGISTRY/HKEY_LOCAL_MACHINE.ini"

# --- A private X server.
exec 3< <(exec Xvfb -displayfd 1 -noreset -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
XVFB_PID=$!
read -r display_number <&3
export DISPLAY=":$display_number"

"$BIN" /TRAY >"$WORK/program.log" 2>&1 &
PROGRAM_PID=$!

cpu_ticks() { # utime + stime, after the command name (which may hold blanks)
    local stat
    stat=$(<"/proc/$PROGRAM_PID/stat")
    stat=${stat##*) }
    read -r -a f <<<"$stat"
    echo $((f[11] + f[12]))
}
cpu_ns() { # time on a CPU of all threads, in nanoseconds (finer than the ticks)
    cat /proc/"$PROGRAM_PID"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'
}
status_kib() { awk -v k="$1:" '$1 == k { print $2 }' "/proc/$PROGRAM_PID/status"; }
alive() { kill -0 "$PROGRAM_PID" 2>/dev/null; }

# Start-up: load the project (a second after start), go to the tray, first ticks.
sleep 8
alive || { echo "the program ended at start:" >&2; cat "$WORK/program.log" >&2; exit 1; }
before_sum=$(sha256sum "$PROJECT" | cut -d' ' -f1)

hz=$(getconf CLK_TCK)
t0=$(date +%s.%N); c0=$(cpu_ticks); n0=$(cpu_ns)
sleep "$MEASURE"
t1=$(date +%s.%N); c1=$(cpu_ticks); n1=$(cpu_ns)
alive || { echo "the program ended while at rest" >&2; exit 1; }
rss=$(status_kib VmRSS)
hwm=$(status_kib VmHWM)
rss_parts="heap and other private memory $(status_kib RssAnon) KiB, mapped files (libraries, fonts) $(status_kib RssFile) KiB, shared $(status_kib RssShmem) KiB"
after_sum=$(sha256sum "$PROJECT" | cut -d' ' -f1)

cpu_percent=$(awk -v c=$((c1 - c0)) -v hz="$hz" -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", c / hz / (b - a) * 100 }')
ns_percent=$(awk -v n=$((n1 - n0)) -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", n / 1e9 / (b - a) * 100 }')
rss_mib=$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')
hwm_mib=$(awk -v k="$hwm" 'BEGIN { printf "%.1f", k / 1024 }')
unchanged=yes
[ "$before_sum" = "$after_sum" ] || unchanged=no

# --- Still rotating? Make the wallpaper due from outside.
sed -i "s/^setup_sw_minute=.*\r\$/setup_sw_minute=${now_stamp}\r/" "$PROJECT"
rotated=no
for _ in $(seq 1 20); do
    sleep 0.5
    if grep -q "^sw_no=$((1 % ENTRIES))"$'\r$' "$PROJECT" &&
        grep -qi 'IMG_000000_beach.bmp' "$PLIMBURY_REGISTRY/HKEY_CURRENT_USER.ini" 2>/dev/null; then
        rotated=yes
        break
    fi
done

verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t) ? "ok" : "OVER" }'; }
echo "plimbury at rest in the tray, ${ENTRIES} wallpapers + ${ENTRIES} screen savers, nothing due"
printf 'cpu over %.1f s: %s%% of one core  (%d ticks of 1/%d s)   target <= 0.1%%  %s\n' \
    "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')" "$cpu_percent" $((c1 - c0)) "$hz" \
    "$(verdict "$cpu_percent" 0.1)"
printf 'cpu by the scheduler'"'"'s clock: %s%% of one core (%.1f ms)\n' "$ns_percent" "$(awk -v n=$((n1 - n0)) 'BEGIN { print n / 1e6 }')"
printf 'resident: %s MiB (peak %s MiB)   target <= 50 MiB  %s\n' "$rss_mib" "$hwm_mib" "$(verdict "$rss_mib" 50)"
echo "  of which: $rss_parts"
echo "project file unchanged while at rest: $unchanged"
echo "wallpaper changed after the file was edited from outside: $rotated"
[ "$unchanged" = yes ] && [ "$rotated" = yes ]
