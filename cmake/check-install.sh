#!/usr/bin/env bash
# The installed program and its Debian package, as a user gets them:
#   check-install.sh <build folder> <application id>
# Installs into a temporary prefix and checks the layout, validates the desktop
# entry and the AppStream metainfo, builds the package with CPack and checks
# its contents, control fields, copyright file, changelog and manual page
# (lintian, when installed, must report no error or warning), then starts the
# package's program as a user who cannot write to its folder: its files must
# go to ${XDG_DATA_HOME:-$HOME/.local/share}/plimbury. Exit 77 (skipped) when
# a tool is missing.
set -euo pipefail
build=$(realpath "$1")
id=$2
source=$(realpath "$(dirname "$0")/..")

for tool in cmake cpack appstreamcli desktop-file-validate dpkg-deb dpkg-shlibdeps dpkg-parsechangelog setpriv; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (packages appstream, desktop-file-utils, dpkg-dev)"
    exit 77
  fi
done

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# --- cmake --install ------------------------------------------------------------
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in lib/plimbury/plimbury lib/plimbury/help/index.htm lib/plimbury/plimbury.png \
            share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
            share/icons/hicolor/16x16/apps/$id.png share/icons/hicolor/256x256/apps/$id.png \
            share/man/man1/plimbury.1.gz share/doc/plimbury/copyright share/doc/plimbury/changelog.Debian.gz \
            share/lintian/overrides/plimbury; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
[ -x "$prefix/lib/plimbury/plimbury" ] || fail "the program is not executable"
[ "$(readlink "$prefix/bin/plimbury")" = "../lib/plimbury/plimbury" ] || fail "bin/plimbury does not lead to the program"
[ "$(readlink -f "$prefix/lib/plimbury/plimbury.png")" = "$(readlink -f "$prefix/share/icons/hicolor/256x256/apps/$id.png")" ] \
  || fail "lib/plimbury/plimbury.png is not the themed icon"
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null \
  || { appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"; fail "metainfo"; }
grep -qx "Icon=$id" "$prefix/share/applications/$id.desktop" || fail "desktop entry names another icon"

# --- cpack -G DEB ---------------------------------------------------------------
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null || fail "cpack"
deb=$(ls "$work"/package/plimbury_*.deb)
listing=$(dpkg-deb -c "$deb")
for entry in ./usr/lib/plimbury/plimbury ./usr/lib/plimbury/help/index.htm \
             "./usr/lib/plimbury/plimbury.png -> ../../share/icons/hicolor/256x256/apps/$id.png" \
             "./usr/bin/plimbury -> ../lib/plimbury/plimbury" ./usr/share/applications/$id.desktop \
             ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/48x48/apps/$id.png \
             ./usr/share/man/man1/plimbury.1.gz ./usr/share/doc/plimbury/copyright \
             ./usr/share/doc/plimbury/changelog.Debian.gz ./usr/share/lintian/overrides/plimbury; do
  grep -qF -- "$entry" <<<"$listing" || fail "not in the package: $entry"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libjpeg62-turbo libglib2.0-0 libxcb1 fonts-wine qt6-wayland; do
  grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: $depends"
done
for field in Section Priority Maintainer; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field"
done

# Version: the program's (the metainfo's newest release) with a Debian revision,
# and the newest entry of the changelog.
version=$(dpkg-deb -f "$deb" Version)
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$prefix/share/metainfo/$id.metainfo.xml" | head -n 1)
[[ "$version" == "$release"-* ]] || fail "package version $version is not the metainfo's release $release with a Debian revision"

# Description: a synopsis, then the extended description, every line starting
# with a space, paragraphs apart by " .", nothing beyond 80 columns. A line
# starting with ";" is a CMake list joined into the text.
description=$(dpkg-deb -f "$deb" Description)
synopsis=$(head -n 1 <<<"$description")
extended=$(tail -n +2 <<<"$description")
if [ -z "$synopsis" ] || [ ${#synopsis} -gt 80 ]; then fail "description synopsis: '$synopsis'"; fi
[ -n "$extended" ] || fail "the package has no extended description"
while IFS= read -r line; do
  [ ${#line} -le 80 ] || fail "description line longer than 80 columns: '$line'"
  [[ "$line" == " "[^\ ]* || "$line" == " ." ]] || fail "malformed description line: '$line'"
  [[ "$line" != " ;"* ]] || fail "description line starts with ';': '$line'"
done <<<"$extended"

root=$work/root
dpkg-deb -x "$deb" "$root"
doc=$root/usr/share/doc/plimbury

# gzip -9n: maximum compression, no file name, no time stamp, so the same
# sources give the same bytes. Header bytes: ID1 ID2 CM FLG MTIME(4) XFL OS.
for gz in "$doc/changelog.Debian.gz" "$root/usr/share/man/man1/plimbury.1.gz"; do
  read -r -a header < <(od -An -tu1 -N10 "$gz")
  [ "${header[0]} ${header[1]}" = "31 139" ] || fail "not gzip: $gz"
  [ "${header[3]}" = 0 ] || fail "gzip header carries a file name or other extras: $gz"
  [ "${header[4]}${header[5]}${header[6]}${header[7]}" = 0000 ] || fail "gzip header carries a time stamp: $gz"
  [ "${header[8]}" = 2 ] || fail "not compressed with gzip -9: $gz"
done
changelog_version=$(gzip -dc "$doc/changelog.Debian.gz" | dpkg-parsechangelog -l - -S Version) \
  || fail "the changelog does not parse"
[ "$changelog_version" = "$version" ] || fail "changelog version $changelog_version, package version $version"
title=$(gzip -dc "$root/usr/share/man/man1/plimbury.1.gz" | sed -n 1p)
[[ "$title" == ".TH PLIMBURY 1 "*" \"Plimbury $release\" "* ]] \
  || fail "the manual page's title line does not name Plimbury $release: $title"

# Copyright: machine-readable, and the licence the repository's LICENSE grants.
head -n 1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  || fail "the copyright file is not in the machine-readable format"
words() { tr -s ' \n' '\n\n' | grep -vx '[.]\?' || true; }
licence=$(awk -v RS= '/^License: Expat\n/' "$doc/copyright" | tail -n +2 | words)
[ -n "$licence" ] || fail "the copyright file has no Expat licence text"
[ "$licence" = "$(sed -n '/^Permission/,$p' "$source/LICENSE" | words)" ] \
  || fail "the licence in the copyright file is not LICENSE's"
grep -q "^Copyright: .*$(sed -n 's/^Copyright (c) //p' "$source/LICENSE")" "$doc/copyright" \
  || fail "the copyright file names another holder than LICENSE"

# The manual page renders without warnings and names every desktop backend.
if command -v man >/dev/null; then
  page=$root/usr/share/man/man1/plimbury.1.gz
  warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null) \
    || fail "man cannot render the manual page: $warnings"
  [ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
  text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --nh --nj -l "$page" 2>/dev/null)
  [ "$(MANPATH=$root/usr/share/man man -w plimbury)" = "$page" ] || fail "man does not find the page in share/man"
  backends=$(sed -n 's/.*BackendEntry{"\([a-z0-9]*\)".*/\1/p' "$source/src/desktop/posix/Backends.cpp")
  [ -n "$backends" ] || fail "no desktop backends found in Backends.cpp"
  for word in /TRAY PLIMBURY_REGISTRY PLIMBURY_DESKTOP HKEY_LOCAL_MACHINE.ini HKEY_CURRENT_USER.ini \
              autostart/plimbury.desktop lumavue.bmp .xscreensaver 'xscreensaver(1)' auto $backends; do
    grep -qwF -- "$word" <<<"$text" || fail "the manual page does not mention $word"
  done
else
  echo "NOTE: man is not installed (package man-db); the manual page was not rendered"
fi

# Lintian, as Debian's archive would run it.
if command -v lintian >/dev/null; then
  report=$(lintian --fail-on error,warning "$deb" 2>&1) \
    || fail "lintian reports errors or warnings:"$'\n'"$(grep -v 'running with root privileges' <<<"$report")"
else
  echo "NOTE: lintian is not installed; the package was not checked by it"
fi
if [ "$(id -u)" -eq 0 ]; then
  dpkg --dry-run -i "$deb" >/dev/null || fail "dpkg would not install the package"
fi

# --- the package's program, started by a user who cannot write its folder --------
chmod a-w "$root/usr/lib/plimbury"
runas=()
user_home=$work/home
mkdir -p "$user_home/run"
chmod 777 "$user_home"
chmod 700 "$user_home/run"
if [ "$(id -u)" -eq 0 ]; then
  # root writes anywhere; nobody is a user of an ordinary installation
  chown 65534:65534 "$user_home/run"
  runas=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
start() {
  env -i PATH=/usr/bin:/bin HOME="$user_home" XDG_RUNTIME_DIR="$user_home/run" \
      QT_QPA_PLATFORM=offscreen PLIMBURY_DESKTOP=none "${runas[@]}" "$root/usr/bin/plimbury" "$@" \
      >"$work/program.log" 2>&1 &
  pids+=($!)
}
start
first=${pids[-1]}
for _ in $(seq 100); do
  [ -d "$user_home/.local/share/plimbury" ] && break
  sleep 0.1
done
[ -d "$user_home/.local/share/plimbury" ] || { cat "$work/program.log"; fail "no data folder under XDG_DATA_HOME"; }
kill -0 "$first" 2>/dev/null || { cat "$work/program.log"; fail "the installed program did not stay running"; }
extra=$(ls -A "$root/usr/lib/plimbury" | grep -vxE 'plimbury|help|plimbury.png' || true)
[ -z "$extra" ] || fail "the program wrote into its folder: $extra"

# A second start ends at once with status 0, leaving the first running.
start
second=${pids[-1]}
for _ in $(seq 100); do
  kill -0 "$second" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$second" 2>/dev/null && fail "a second start did not end"
wait "$second" || fail "a second start ended with status $?"
kill -0 "$first" 2>/dev/null || fail "the first copy ended when the second started"
echo "installed tree and package checked: $(basename "$deb")"
