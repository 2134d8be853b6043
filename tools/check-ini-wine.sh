#!/usr/bin/env bash
# Runs the same INI writes through the native build and the Windows build
# (under Wine) and compares the files and the values read back. Windows writes
# CRLF line ends and the POSIX writer LF on new files, so CRs are dropped
# before comparing; everything else must match byte for byte.
# Usage: tools/check-ini-wine.sh NATIVE_WRITER WINDOWS_WRITER.exe
# Exits 77 (skipped) when Wine or the Windows writer is missing.
set -uo pipefail
native=${1:?native writer}
windows=${2:?windows writer}
if ! command -v wine >/dev/null || ! command -v winepath >/dev/null || [ ! -f "$windows" ]; then
  echo "skipped: needs wine and $windows"
  exit 77
fi
export WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/native" "$work/windows"

"$native" "$work/native" >"$work/native.out" || { echo "native writer failed"; exit 1; }
wine "$windows" "$(winepath -w "$work/windows")" >"$work/windows.out" ||
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
