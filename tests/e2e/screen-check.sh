# Shared by the end-to-end scripts that read the wallpaper back from a
# screen; sourced, not run. The caller sets `work` (its folder), `project`
# (the show's file) and `shoot` (a command that writes a screenshot to the
# file it is given as a binary PPM, as `convert ... ppm:<file>` and
# `grim -t ppm` do), and defines fail.

# A flat colour's name, or "(r,g,b)" for none of them: each component
# within 40 of the name's.
name_of() {
  local r=$1 g=$2 b=$3 name
  for name in "red 255 0 0" "blue 0 0 255" "green 0 255 0" "yellow 255 255 0" "black 0 0 0" \
              "navy 32 48 64" "grey 128 128 128"; do
    set -- $name
    if (( r - $2 < 40 && $2 - r < 40 && g - $3 < 40 && $3 - g < 40 && b - $4 < 40 && $4 - b < 40 )); then
      echo "$1"
      return
    fi
  done
  echo "($r,$g,$b)"
}

# The colours at the points "x,y ...", by name, from one screenshot.
colours_at() {
  $shoot "$work/shot.ppm" 2>/dev/null || return 1
  local magic size maxval
  { read -r magic; read -r size; read -r maxval; } <"$work/shot.ppm"
  [ "$magic" = P6 ] && [ "$maxval" = 255 ] || return 1
  local width=${size% *} header=$((${#magic} + ${#size} + ${#maxval} + 3)) point line="" rgb
  for point in $1; do
    read -r -a rgb <<<"$(od -An -tu1 -v -j $((header + (${point#*,} * width + ${point%,*}) * 3)) -N3 "$work/shot.ppm")"
    line+="$(name_of "${rgb[@]}") "
  done
  echo "${line% }"
}

# expect_screen <expected> <what> <points> [seconds]: waits (twenty seconds
# unless told) for the colours at the points to read `expected`. A caller may
# set `on_poll` to a command run before each look.
expect_screen() {
  local expected=$1 what=$2 points=$3 seconds=${4:-20} seen="" deadline
  deadline=$((SECONDS + seconds))
  while :; do
    [ -n "${on_poll:-}" ] && $on_poll
    seen=$(colours_at "$points") || seen="(no screenshot)"
    [ "$seen" = "$expected" ] && { echo "ok: $what -> $seen"; return 0; }
    [ "$SECONDS" -ge "$deadline" ] && break
    sleep 0.2
  done
  # E2E_SHOTS=<folder> keeps the screen that did not read right.
  [ -n "${E2E_SHOTS:-}" ] && convert "$work/shot.ppm" "$E2E_SHOTS/$(basename "$0" .sh).png"
  fail "$what: the screen reads '$seen', not '$expected'"
}

# The program under test, as the user `runas` names (none: this one), with
# the environment `program_env` (an env command): run runs a command and
# waits; start starts it with /TRAY in the background, output to
# $work/program.log, its process plimbury_pid; stop ends that.
declare -p runas >/dev/null 2>&1 || runas=()
run() { "${program_env[@]}" "${runas[@]}" "$program" "$@"; }
# Not through run(): in the background a function is a shell of its own, and
# $! would be that shell, which a kill ends without ending the program.
start() {
  "${program_env[@]}" "${runas[@]}" "$program" /TRAY >>"$work/program.log" 2>&1 &
  plimbury_pid=$!
  pids+=("$plimbury_pid")
}
stop() {
  kill "$plimbury_pid"
  wait "$plimbury_pid" 2>/dev/null || true
}

# write_project <sw_no> <picture>...: the show of the pictures
# ($work/pictures/<name>.bmp), four hours apart, due at once from sw_no,
# with the [display] lines in the array `display`.
display=()
write_project() {
  local sw_no=$1 i=0 picture
  shift
  local lines=("[counttime]" "swtime=hour" "swrefreshtime=4" "sw_no=$sw_no" "setup_swminute=0" "setup_sw_minute=0"
               "screensaver_setup_swminute=0" "screensaver_setup_sw_minute=0" "sstime=hour" "ssrefreshtime=4"
               "ss_no=0" "[countitem]" "swcount=$#" "sscount=0" "[switem]")
  for picture in "$@"; do
    lines+=("sw$i=$work/pictures/$picture.bmp")
    i=$((i + 1))
  done
  printf '%s\r\n' "${lines[@]}" "${display[@]}" >"$project"
}
show_number() { sed -n 's/^sw_no=\([0-9]*\)\r$/\1/p' "$project"; }
# expect_number <n> <what>: waits up to ten seconds for the project's sw_no
# to be n (the program writes it back once the desktop has the picture).
expect_number() {
  local deadline=$((SECONDS + 10))
  until [ "$(show_number)" = "$1" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "$2: sw_no is $(show_number), not $1"
    sleep 0.1
  done
}

# make_pictures: the flat test pictures in $work/pictures, as 24-bit BMP:
# red-blue, green-yellow (two halves each), square (green), tall (a red
# stripe across the middle of green over blue: fill shows only the stripe),
# small (100 x 100, green left and blue right).
make_pictures() {
  mkdir -p "$work/pictures"
  local p=$work/pictures
  convert -size 4x4 xc:'#ff0000' xc:'#0000ff' +append -type TrueColor BMP3:"$p/red-blue.bmp"
  convert -size 4x4 xc:'#00ff00' xc:'#ffff00' +append -type TrueColor BMP3:"$p/green-yellow.bmp"
  convert -size 4x4 xc:'#00ff00' -type TrueColor BMP3:"$p/square.bmp"
  convert -size 2x7 xc:'#00ff00' -size 2x6 xc:'#ff0000' -size 2x7 xc:'#0000ff' -append -type TrueColor BMP3:"$p/tall.bmp"
  convert -size 50x100 xc:'#00ff00' xc:'#0000ff' +append -type TrueColor BMP3:"$p/small.bmp"
}

# check_two_monitors <desktop> <seconds> <fill points> <fit points> <halves>:
# on a desktop of two monitors side by side, fill shows only the tall
# picture's middle stripe (red at every fill point; put some where stretch
# would show its top or bottom), fit letterboxes the square in navy bands
# (fit points: a band, the picture, on each monitor in turn), and
# monitors=each gives each monitor its own entry (halves: the middles of the
# left and right halves of each monitor), then --next the next two.
check_two_monitors() {
  local desktop=$1 seconds=$2 mode setting expected points fit picture colour
  for mode in "fill tall #000000|red red red red red|$3" "fit square #203040|navy green navy green|$4"; do
    IFS='|' read -r setting expected points <<<"$mode"
    read -r fit picture colour <<<"$setting"
    display=("[display]" "fit=$fit" "background=$colour")
    write_project 0 "$picture"
    start
    expect_screen "$expected" "$desktop, fit=$fit" "$points" "$seconds"
    stop
  done
  display=("[display]" "monitors=each")
  write_project 0 green-yellow red-blue square
  start
  expect_screen "green yellow red blue" "$desktop, monitors=each: the first two entries" "$5" "$seconds"
  expect_number 2 "$desktop, monitors=each"
  run --next >/dev/null || fail "--next with monitors=each failed"
  expect_screen "green green green yellow" "$desktop, monitors=each: the third and, wrapping, the first" "$5" "$seconds"
  stop
}
