#!/usr/bin/env bash
# Makes profile-file cases with the platform's own functions, under Wine.
#
#   tests/platform/vectorgen/run.sh OUTDIR
#       every case built into profile_vectorgen.c -> OUTDIR/<case>/, and OUTDIR/platform.txt
#   tests/platform/vectorgen/run.sh --rerun OUTDIR [CASEDIR...]
#       stored cases run again from their case.txt, input.ini and ops.txt
#       (default: every case in tests/platform/data/profile); diff -r against the
#       stored folders shows whether the platform still answers the same
#
# Needs x86_64-w64-mingw32-gcc (Debian: gcc-mingw-w64-x86-64-posix) and wine64.
# Runs in a fresh Wine prefix of its own under /tmp, removed at the end.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
data="$here/../data/profile"

rerun=0
if [ "${1:-}" = --rerun ]; then rerun=1; shift; fi
[ $# -ge 1 ] || { sed -n '2,12p' "$0" >&2; exit 2; }
out="$(realpath -m "$1")"; shift
mkdir -p "$out"

work="$(mktemp -d /tmp/profile-vectorgen.XXXXXX)"
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

x86_64-w64-mingw32-gcc -std=c99 -O2 -Wall -Wextra -o "$work/profile_vectorgen.exe" "$here/profile_vectorgen.c"
"$wine" wineboot --init >/dev/null 2>&1

# A fresh prefix maps drive Z: to /.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
gen() { "$wine" "$work/profile_vectorgen.exe" "$@" | tr -d '\r'; }

if [ $rerun = 1 ]; then
  if [ $# -eq 0 ]; then
    set -- "$data"/*/
  fi
  for dir in "$@"; do
    dir="$(realpath "$dir")"
    [ -f "$dir/ops.txt" ] || continue
    gen rerun "$(winpath "$dir")" "$(winpath "$out")"
  done
else
  for name in $(gen list); do
    gen case "$name" "$(winpath "$out")"
  done
fi
gen platform "$(winpath "$out")"
echo "cases written to $out"
