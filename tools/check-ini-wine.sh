#!/usr/bin/env bash
# Runs the same INI writes through the native build and the Windows build
# (under Wine) and compares the files and the values read back. Windows writes
# CRLF line ends and the POSIX writer LF on new files, so CRs are dropped
# before comparing; everything else must match byte for byte.
# Usage: tools/check-ini-wine.sh NATIVE_WRITER WINDOWS_WRITER.exe [WINE64]
# WINDOWS_WRITER is a 64-bit build, run by Wine's 64-bit loader WINE64 (default
# /usr/lib/wine/wine64) itself: Debian's `wine` and `winepath` commands start
# the 32-bit loader, which some machines cannot run.
# Exits 77 (skipped) when the loader or the Windows writer is missing.
set -uo pipefail
native=${1:?native writer}
windows=${2:?windows writer}
wine64=${3:-/usr/lib/wine/wine64}
if ! command -v "$wine64" >/dev/null || [ ! -f "$windows" ]; then
  echo "skipped: needs $wine64 and $windows"
  exit 77
fi
export WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/native" "$work/windows"

"$native" "$work/native" >"$work/native.out" || { echo "native writer failed"; exit 1; }
"$wine64" "$windows" "$("$wine64" winepath -w "$work/windows")" >"$work/windows.out" ||
  { echo "windows writer failed"; exit 1; }

status=0
for name in native.out plugin.ini general.ini; do
  if [ "$name" = native.out ]; then a=$work/native.out; b=$work/windows.out
  else a=$work/native/$name; b=$work/windows/$name; fi
  if ! diff -u <(tr -d '\r' <"$b") <(tr -d '\r' <"$a") >"$work/diff"; then
    echo "== $name differs (- Windows, + native)"; cat "$work/diff"; status=1
  fi
done
[ $status -eq 0 ] && echo "INI cross-check: native and Windows results are identical"
exit $status
