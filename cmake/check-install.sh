#!/usr/bin/env bash
# The installed program and its Debian package, as a user gets them:
#   check-install.sh <build folder> <application id>
# Installs into a temporary prefix and checks the layout, validates the desktop
# entry and the AppStream metainfo, builds the package with CPack and checks
# its contents and dependencies, then starts the package's program as a user
# who cannot write to its folder: its files must go to
# ${XDG_DATA_HOME:-$HOME/.local/share}/plimbury. Exit 77 (skipped) when a
# tool is missing.
set -euo pipefail
build=$(realpath "$1")
id=$2

for tool in cmake cpack appstreamcli desktop-file-validate dpkg-deb dpkg-shlibdeps setpriv; do
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
            share/icons/hicolor/16x16/apps/$id.png share/icons/hicolor/256x256/apps/$id.png; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
[ -x "$prefix/lib/plimbury/plimbury" ] || fail "the program is not executable"
[ "$(readlink "$prefix/bin/plimbury")" = "../lib/plimbury/plimbury" ] || fail "bin/plimbury does not lead to the program"
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null \
  || { appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"; fail "metainfo"; }
grep -qx "Icon=$id" "$prefix/share/applications/$id.desktop" || fail "desktop entry names another icon"

# --- cpack -G DEB ---------------------------------------------------------------
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null || fail "cpack"
deb=$(ls "$work"/package/plimbury_*.deb)
listing=$(dpkg-deb -c "$deb")
for entry in ./usr/lib/plimbury/plimbury ./usr/lib/plimbury/help/index.htm ./usr/lib/plimbury/plimbury.png \
             "./usr/bin/plimbury -> ../lib/plimbury/plimbury" ./usr/share/applications/$id.desktop \
             ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/48x48/apps/$id.png; do
  grep -qF -- "$entry" <<<"$listing" || fail "not in the package: $entry"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libjpeg62-turbo libglib2.0-0 libxcb1; do
  grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
      "$prefix/share/metainfo/$id.metainfo.xml" | head -n 1)" ] || fail "package and metainfo versions differ"
if [ "$(id -u)" -eq 0 ]; then
  dpkg --dry-run -i "$deb" >/dev/null || fail "dpkg would not install the package"
fi

# --- the package's program, started by a user who cannot write its folder --------
root=$work/root
dpkg-deb -x "$deb" "$root"
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
if grep -q "plimbury.socket" "$root/usr/lib/plimbury/plimbury"; then
  start
  second=${pids[-1]}
  for _ in $(seq 100); do
    kill -0 "$second" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$second" 2>/dev/null && fail "a second start did not end"
  wait "$second" || fail "a second start ended with status $?"
  kill -0 "$first" 2>/dev/null || fail "the first copy ended when the second started"
else
  echo "NOTE: the program has no single-instance guard yet; second start not checked"
fi
echo "installed tree, metainfo, desktop entry and package checked: $(basename "$deb")"
