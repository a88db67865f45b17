#!/usr/bin/env bash
# Every picture format the program reads, on three real desktops, read back
# from the screen:
#   picture-formats.sh <plimbury>
# One project of ten pictures, each of two flat halves in colours of its own
# (lossy formats keep flat colours): JPEG (also one named .jfif), PNG (also
# one half see-through, half transparent: it shows over black), WebP, GIF,
# TIFF, HEIC, AVIF, made by ImageMagick, and a bitmap. Both intervals are 0
# minutes, so the rotation moves on about every two seconds; each picture must
# show on the screen, stretched (the corners are read too), and the rotation
# must keep going. A failure names, by the project's sw_no, what the screen
# showed in each missing picture's turn.
#  1. x11: a private Xvfb, the root window read with xwd;
#  2. xfce: xfdesktop on a private Xvfb, with its own session bus and
#     xfconfd; the program sets the properties, xfdesktop must draw them;
#  3. sway: a headless sway as an ordinary user (as root a user is created,
#     as for the other Wayland test), read with grim.
# Each takes some 25 seconds. A desktop whose programs are not installed is
# left out, and the test then exits 77 (skipped) after the others ran.
set -euo pipefail
. "$(dirname "$0")/session.sh"
program=$(realpath "$1")

if ! command -v convert >/dev/null || ! command -v od >/dev/null; then
  echo "skipped: convert or od is not installed (packages imagemagick, coreutils)"
  exit 77
fi
writers=$(convert -list format)
for format in HEIC AVIF WEBP TIFF; do
  if ! grep -Eq "^ *$format\*? +[A-Z0-9]+ +rw" <<<"$writers"; then
    echo "skipped: ImageMagick cannot write $format here"
    exit 77
  fi
done

work=$(mktemp -d)
chmod 755 "$work"
pids=()
created_user=""
logs=()
cleanup() {
  stop_all
  # Only a user made for the test has nothing else running.
  if [ -n "$created_user" ]; then pkill -u "$created_user" 2>/dev/null || true; fi
  rm -rf "$work"
}
stop_all() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  local log
  for log in "${logs[@]}"; do
    [ -s "$log" ] || continue
    echo "--- ${log##*/}" >&2
    tail -n 20 "$log" >&2
  done
  exit 1
}
alive() {  # alive <pid>: running, not a zombie
  local state
  state=$(awk '{ sub(/.*\) /, ""); print $1 }' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

# --- the pictures -------------------------------------------------------------------------------
# file, ImageMagick's writer, its left and right halves, and what the screen shows of them.
entries=(
  "photo.jpg JPEG #ff0000 #0000ff red blue"
  "photo.jfif JPEG #ff8000 #008080 orange teal"
  "plain.png PNG24 #00ff00 #ff00ff green magenta"
  "glass.png PNG32 rgba(255,255,0,0.5) rgba(255,255,255,0) olive black"
  "lossy.webp WEBP #00ffff #800000 cyan maroon"
  "indexed.gif GIF #ffff00 #000080 yellow navy"
  "scan.tif TIFF #8000ff #008000 purple darkgreen"
  "camera.heic HEIC #ffffff #808080 white grey"
  "still.avif AVIF #ff80ff #0080ff pink azure"
  "bitmap.bmp BMP3 #80ff00 #ff0080 lime rose"
)
count=${#entries[@]}
files=()
declare -A expected picture_of  # the screen by file name, and the other way round
mkdir -p "$work/pictures"
for entry in "${entries[@]}"; do
  read -r file writer left right left_name right_name <<<"$entry"
  case $writer in
    PNG32) options=() ;;
    BMP3) options=(-type truecolor) ;;
    *) options=(-alpha off) ;;
  esac
  convert -size 32x32 "xc:$left" -size 32x32 "xc:$right" +append +repage "${options[@]}" "$writer:$work/pictures/$file"
  chmod 644 "$work/pictures/$file"
  files+=("$work/pictures/$file")
  expected[$file]="$left_name $left_name | $right_name $right_name"
  picture_of[${expected[$file]}]=$file
done
# In the order the program keeps its list (sorted without regard to case), so
# that sw_no counts along the project's own keys.
mapfile -t files < <(printf '%s\n' "${files[@]}" | LC_ALL=C sort -f)

# --- the screen ------------------------------------------------------------------------------------
# Colours of the pictures, and black for transparency, each channel 0, 128 or 255.
declare -A colour_names=(
  ["0 0 0"]=black ["255 255 255"]=white ["128 128 128"]=grey ["255 0 0"]=red ["0 255 0"]=green
  ["0 0 255"]=blue ["255 255 0"]=yellow ["255 0 255"]=magenta ["0 255 255"]=cyan ["255 128 0"]=orange
  ["0 128 128"]=teal ["128 128 0"]=olive ["128 0 0"]=maroon ["0 0 128"]=navy ["128 0 255"]=purple
  ["0 128 0"]=darkgreen ["255 128 255"]=pink ["0 128 255"]=azure ["128 255 0"]=lime ["255 0 128"]=rose
)
level() {  # the nearest of 0, 128 and 255, within 40; else nothing
  if (($1 <= 40)); then echo 0
  elif (($1 >= 88 && $1 <= 168)); then echo 128
  elif (($1 >= 215)); then echo 255
  fi
}
colour_at() {  # colour_at <x> <y> of the last screenshot: a name, else "(r,g,b)"
  local rgb key=""
  read -r -a rgb <<<"$(od -An -tu1 -v -j $((header + ($2 * width + $1) * 3)) -N3 "$work/shot.ppm")"
  local c l
  for c in "${rgb[@]}"; do
    l=$(level "$c")
    [ -n "$l" ] || { key=""; break; }
    key+="${key:+ }$l"
  done
  if [ -n "$key" ] && [ -n "${colour_names[$key]:-}" ]; then
    echo "${colour_names[$key]}"
  else
    echo "(${rgb[0]},${rgb[1]},${rgb[2]})"
  fi
}
# The screen as "<left near a corner> <left middle> | <right middle> <right near a corner>";
# a picture kept in proportion would leave black bars where the corners are read.
width=0 height=0 header=0
reading() {
  "$shoot" || return 1
  local magic size maxval
  { read -r magic; read -r size; read -r maxval; } <"$work/shot.ppm"
  [ "$magic" = P6 ] && [ "$maxval" = 255 ] || return 1
  width=${size% *} height=${size#* }
  header=$((${#magic} + ${#size} + ${#maxval} + 3))
  echo "$(colour_at $((width / 10)) $((height / 10))) $(colour_at $((width / 4)) $((height / 2)))" \
    "| $(colour_at $((width * 3 / 4)) $((height / 2))) $(colour_at $((width * 9 / 10)) $((height * 9 / 10)))"
}
shoot_x11() {
  xwd -root -silent >"$work/shot.xwd" 2>/dev/null && convert "xwd:$work/shot.xwd" -strip "ppm:$work/shot.ppm" 2>/dev/null
}
shoot_wayland() {
  as_user grim -t ppm "$home/shot.ppm" 2>/dev/null && cp "$home/shot.ppm" "$work/shot.ppm"
}

# --- the program -----------------------------------------------------------------------------------
# set_up <folder> [owner]: a home with the store, a project of every picture due
# at once, and a copy of the program, whose "lumavue.bmp" then lands there;
# program_env is then the program's environment there.
set_up() {
  home=$1
  mkdir -p "$home/run" "$home/store" "$home/bin"
  chmod 700 "$home/run"
  cp "$program" "$home/bin/plimbury"
  project=$home/show.lmv
  local lines=("[counttime]" "swtime=minute" "swrefreshtime=0" "sw_no=0" "setup_swminute=0" "setup_sw_minute=0"
               "screensaver_setup_swminute=0" "screensaver_setup_sw_minute=0" "sstime=minute" "ssrefreshtime=0"
               "ss_no=0" "[countitem]" "swcount=$count" "sscount=0" "[switem]") i
  for i in "${!files[@]}"; do lines+=("sw$i=${files[i]}"); done
  printf '%s\r\n' "${lines[@]}" >"$project"
  printf '[software\\lumavuetest]\nsettime_selected=%s\n' "$project" >"$home/store/HKEY_LOCAL_MACHINE.ini"
  if [ -n "${2:-}" ]; then chown -R "$2" "$home"; fi
  program_env=(env -i PATH=/usr/bin:/bin ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}"
               UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" HOME="$home" XDG_RUNTIME_DIR="$home/run"
               PLIMBURY_REGISTRY="$home/store" QT_QPA_PLATFORM=offscreen)
}
# "<sw_no> <file name of the entry shown>"; sw_no is the entry after the one shown.
shown_entry() {
  local text number
  text=$(tr -d '\r' <"$project")
  number=$(sed -n 's/^sw_no=\([0-9]*\)$/\1/p' <<<"$text")
  [ -n "$number" ] || return 1
  local path
  path=$(sed -n "s/^sw$(((number + count - 1) % count))=//p" <<<"$text")
  [ -n "$path" ] || return 1
  echo "$number ${path##*/}"
}

# watch_rotation <desktop>: reads the screen while the program $plimbury_pid
# rotates until every picture was seen: its colours are its own, so they show
# that it was read and drawn whenever the screenshot caught them (a turn of
# two seconds may be read at its very start or end). What the screen showed
# while sw_no stayed at an entry over a screenshot is what a failure names.
# Gives up after two whole rounds, 20 seconds without a change, or 90 seconds.
watch_rotation() {
  local desktop=$1 matched=0 turns=0 previous="" moved=$SECONDS before after name seen
  local -A shown=() last=() turn=()
  local deadline=$((SECONDS + 90)) trace=$home/screen.trace
  logs+=("$trace")
  while ((matched < count)); do
    if ! alive "$plimbury_pid"; then
      local status=0
      wait "$plimbury_pid" || status=$?
      fail "$desktop: the program ended with status $status"
    fi
    if ((SECONDS >= deadline || turns > 2 * count + 1 || SECONDS - moved > 20)); then break; fi
    before=$(shown_entry) || { sleep 0.1; continue; }
    name=${before#* }
    if [ "$before" != "$previous" ]; then
      previous=$before
      moved=$SECONDS
      turns=$((turns + 1))
      turn[$name]=yes
    fi
    seen=$(reading) || seen=""
    after=$(shown_entry) || after=""
    echo "$((SECONDS - started))s: $before | $seen | $after" >>"$trace"
    [ -n "$seen" ] || { sleep 0.1; continue; }
    if [ "$before" = "$after" ]; then last[$name]=$seen; fi
    name=${picture_of[$seen]:-}
    if [ -n "$name" ] && [ -z "${shown[$name]:-}" ]; then
      shown[$name]=yes
      matched=$((matched + 1))
      echo "ok: $desktop: $name -> $seen"
    fi
  done
  ((matched == count)) && return 0
  local problems="" file
  if ((SECONDS - moved > 20)); then
    problems+=$'\n'"  the rotation stopped: sw_no and entry stayed at '$previous' for $((SECONDS - moved)) seconds"
  fi
  for file in "${files[@]}"; do
    name=${file##*/}
    [ -n "${shown[$name]:-}" ] && continue
    problems+=$'\n'"  $name should show '${expected[$name]}'; "
    if [ -n "${last[$name]:-}" ]; then problems+="in its turn the screen showed '${last[$name]}'"
    elif [ -n "${turn[$name]:-}" ]; then problems+="the screen could not be read in its turn"
    else problems+="its turn never came (sw_no and entry: '$(shown_entry)')"; fi
  done
  fail "$desktop: $((count - matched)) of $count pictures not shown in $((SECONDS - started)) seconds:$problems"
}

# finish <desktop>: the program is still running, said nothing wrong, and kept its
# converted picture beside itself.
finish() {
  local log=$home/program.log
  alive "$plimbury_pid" || fail "$1: the program ended"
  if grep -qi "error\|not a picture\|cannot" "$log"; then fail "$1: the program reported: $(head -n 5 "$log")"; fi
  [ -s "$home/bin/lumavue.bmp" ] || fail "$1: no lumavue.bmp beside the program"
  stop_all
  echo "ok: $1: every format shown, in $((SECONDS - started)) seconds"
}

start_xvfb() {
  exec 3< <(exec Xvfb -displayfd 1 -noreset -screen 0 640x480x24 -nolisten tcp 2>/dev/null)
  pids+=($!)
  local display
  read -r -t 30 display <&3 || fail "Xvfb did not start"
  export DISPLAY=":$display"
}

skipped=()
missing() {  # missing <tool>...: the first one not installed
  local tool
  for tool; do command -v "$tool" >/dev/null || { echo "$tool"; return 0; }; done
  return 1
}

# --- 1. x11 -------------------------------------------------------------------------------------------
if tool=$(missing Xvfb xwd); then
  skipped+=("x11 ($tool is not installed; packages xvfb, x11-apps)")
else
  started=$SECONDS
  start_xvfb
  set_up "$work/x11"
  logs=("$home/program.log")
  "${program_env[@]}" DISPLAY="$DISPLAY" PLIMBURY_DESKTOP=x11 "$home/bin/plimbury" /TRAY >"$home/program.log" 2>&1 &
  plimbury_pid=$!
  pids+=("$plimbury_pid")
  shoot=shoot_x11
  watch_rotation x11
  finish x11
fi

# --- 2. xfce ----------------------------------------------------------------------------------------------
if tool=$(missing Xvfb xwd xfdesktop xfconf-query dbus-daemon); then
  skipped+=("xfce ($tool is not installed; packages xvfb, x11-apps, xfdesktop4, xfconf, dbus)")
else
  started=$SECONDS
  start_xvfb
  set_up "$work/xfce"
  logs=("$home/program.log" "$home/xfdesktop.log")
  xfce_env=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" DISPLAY="$DISPLAY" NO_AT_BRIDGE=1)
  # A session bus of its own, which starts xfconfd when it is first asked, in
  # its own environment: xfconfd keeps the settings under this HOME.
  exec 4< <(exec "${xfce_env[@]}" dbus-daemon --session --nofork --print-address=1 2>"$home/bus.log")
  pids+=($!)
  read -r -t 30 bus <&4 || fail "xfce: the session bus did not start"
  xfce_env+=(DBUS_SESSION_BUS_ADDRESS="$bus")
  # No desktop icons: they would cover the picture where it is read.
  mkdir -p "$home/.config/xfce4/xfconf/xfce-perchannel-xml"
  cat >"$home/.config/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-desktop" version="1.0">
  <property name="desktop-icons" type="empty">
    <property name="style" type="int" value="0"/>
  </property>
</channel>
EOF
  # Without a window manager: xfdesktop would wait for one.
  "${xfce_env[@]}" xfdesktop --disable-wm-check >"$home/xfdesktop.log" 2>&1 &
  pids+=($!)
  # The program sets the backdrops xfdesktop has made for its monitors.
  for _ in $(seq 100); do
    "${xfce_env[@]}" xfconf-query -c xfce4-desktop -l 2>/dev/null | grep -q '^/backdrop/.*/last-image$' && break
    sleep 0.2
  done
  "${xfce_env[@]}" xfconf-query -c xfce4-desktop -l 2>/dev/null | grep -q '/last-image$' ||
    fail "xfce: xfdesktop made no backdrop"
  "${program_env[@]}" DISPLAY="$DISPLAY" DBUS_SESSION_BUS_ADDRESS="$bus" PLIMBURY_DESKTOP=xfce \
    "$home/bin/plimbury" /TRAY >"$home/program.log" 2>&1 &
  plimbury_pid=$!
  pids+=("$plimbury_pid")
  shoot=shoot_x11
  watch_rotation xfce
  finish xfce
  exec 4<&-
fi

# --- 3. sway ---------------------------------------------------------------------------------------------------
needed=(sway swaymsg swaybg grim)
[ "$(id -u)" -eq 0 ] && needed+=(setpriv useradd)
if tool=$(missing "${needed[@]}"); then
  skipped+=("sway ($tool is not installed; packages sway, swaybg, grim, util-linux, passwd)")
else
  started=$SECONDS
  ordinary_user plimbury-formats
  owner=$created_user
  set_up "$work/sway" "$owner"
  logs=("$home/program.log" "$home/sway.log")
  printf '%s\n' "xwayland disable" "output HEADLESS-1 mode 640x480" >"$work/sway.conf"
  user_env=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CACHE_HOME="$home/cache")
  start_headless_sway "$work/sway.conf" "$home/sway.log"
  as_user() { "${user_env[@]}" WAYLAND_DISPLAY="$wayland" SWAYSOCK="$swaysock" "${runas[@]}" /usr/bin/env "$@"; }
  (exec "${program_env[@]}" WAYLAND_DISPLAY="$wayland" SWAYSOCK="$swaysock" PLIMBURY_DESKTOP=sway \
     "${runas[@]}" "$home/bin/plimbury" /TRAY >"$home/program.log" 2>&1) &
  plimbury_pid=$!
  pids+=("$plimbury_pid")
  shoot=shoot_wayland
  watch_rotation sway
  finish sway
fi

if ((${#skipped[@]})); then
  printf 'skipped: %s\n' "${skipped[@]}"
  exit 77
fi
