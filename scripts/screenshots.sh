#!/usr/bin/env bash
# Screenshots of the program for the README: the main window's two pages and
# the two list editors, taken from the real program on a private Xvfb with a
# sample project, then the main window again at device pixel ratio 2 (as a
# desktop at 200 % shows it). Rerun it whenever the look changes.
#   scripts/screenshots.sh [program]     (default: build/bin/plimbury)
# Writes assets/screenshots/{main-wallpaper,main-screensaver,editor-wallpaper,
# editor-screensaver,main-wallpaper@2x}.png. Needs Xvfb, xdotool, xwd and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/bin/plimbury}")
out=$(pwd)/assets/screenshots
mkdir -p "$out"

# A fixed folder, as its name shows in the pictures.
work=/tmp/plimbury-screenshots
rm -rf "$work"
mkdir -p "$work"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A private X server of width x height device pixels, where the program runs
# at `scale`; the server is left running until the end.
width=0 height=0 scale=1
start_display() {
  width=$1 height=$2 scale=$3
  exec 3< <(exec Xvfb -displayfd 1 -noreset -screen 0 "${width}x${height}x24" -nolisten tcp 2>/dev/null)
  pids+=($!)
  read -r -t 30 display <&3
  export DISPLAY=":$display"
}

# A sample project: pictures and screen savers, nothing due while the
# pictures are taken (so the pictures need not exist).
home=$work/home
mkdir -p "$home/run" "$home/store" "$home/Pictures"
chmod 700 "$home/run"
# The wallpaper editor opens in the working folder: a few pictures there, in
# the formats cameras, phones and downloads leave.
convert -size 640x400 gradient:'#0b1d3f-#f0a04b' -swirl 60 "$home/Pictures/dusk.jpg"
convert -size 640x400 plasma:'#2a6f97-#a9d6e5' -blur 0x3 "$home/Pictures/lagoon.png" 2>/dev/null ||
  convert -size 640x400 gradient:'#2a6f97-#a9d6e5' "$home/Pictures/lagoon.png"
convert -size 640x400 radial-gradient:'#fff3b0-#335c67' "$home/Pictures/sunrise.webp"
convert -size 640x400 gradient:'#f6bd60-#84a59d' -swirl 120 -quality 80 "$home/Pictures/harbour.heic"
convert -size 640x400 radial-gradient:'#ffffff-#6d8fa8' "$home/Pictures/snow.tiff"
project=$home/show.lmv
in_an_hour=$(date -d '+1 hour' +%y%m%d%H%M)
tomorrow=$(date -d tomorrow +%-m%d)
{
  printf '%s\r\n' "[counttime]" "swtime=hour" "swrefreshtime=2" "sw_no=0" "setup_swminute=0" \
    "setup_sw_minute=$in_an_hour" "screensaver_setup_swminute=$tomorrow" "screensaver_setup_sw_minute=0" \
    "sstime=day" "ssrefreshtime=1" "ss_no=0" "[countitem]" "swcount=4" "sscount=3" "[switem]"
  i=0
  for name in "01 lake at dawn" "02 hills" "03 harbour lights" "04 snow field"; do
    printf 'sw%d=/home/ann/Pictures/%s.jpg\r\n' "$i" "$name"
    i=$((i + 1))
  done
  printf '%s\r\n' "[ssitem]" "ss0=/usr/libexec/xscreensaver/galaxy" "ss1=/usr/libexec/xscreensaver/ripples" \
    "ss2=/usr/libexec/xscreensaver/swirl"
} >"$project"
printf '[software\\lumavuetest]\nsettime_selected=%s\n' "$project" >"$home/store/HKEY_LOCAL_MACHINE.ini"

cd "$home/Pictures"
start_program() {
  HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$home/run \
    PLIMBURY_REGISTRY=$home/store PLIMBURY_DESKTOP=none QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale \
    "$program" >"$work/program.log" 2>&1 &
  program_pid=$!
  pids+=("$program_pid")
  sleep 4
}

# The window is centred; its rounded region starts 80 pixels in. Places are
# given in window coordinates, which the scale multiplies on the screen.
at() {
  xdotool mousemove $(((width - 790 * scale) / 2 + $1 * scale)) $(((height - 564 * scale) / 2 + $2 * scale))
  sleep 0.6
}
press() { at "$1" "$2"; at $(($1 + 2)) $(($2 + 2)); xdotool click 1; sleep 1; }
shot() {
  local left=$(((width - 790 * scale) / 2 + 80 * scale)) top=$(((height - 564 * scale) / 2 + 80 * scale))
  xdotool mousemove 0 0
  sleep 0.8
  xwd -root -silent | convert xwd:- -crop "$((680 * scale))x$((480 * scale))+$left+$top" +repage \
    -colors 256 "PNG8:$out/$1.png"
  echo "assets/screenshots/$1.png"
}

start_display 1024 768 1
start_program
shot main-wallpaper
press 190 215          # the wallpaper list editor
press 140 372          # a picture of its disk list, previewed
shot editor-wallpaper
press 356 329          # its OK
press 289 142          # the screen-saver page
shot main-screensaver
press 190 215          # its list editor
shot editor-screensaver

# The main window once more at device pixel ratio 2, on a screen large enough.
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
start_display 2048 1536 2
start_program
shot main-wallpaper@2x
