#!/usr/bin/env bash
# Manual check of the Linux VST 3 bundle in a real host, Ardour 7 (Debian's
# `ardour` package; install it yourself, the test command does not): its
# scanner lists the bundle, and a headless session plays it three times:
# voice and chord, chord only, voice only. Only the first may sound.
# Usage: tools/ardour-check/run.sh [work folder, default /tmp/redi-ardour-check]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${1:-/tmp/redi-ardour-check}
bundle=$root/build/native/REDI.vst3
for tool in /usr/lib/ardour7/ardour-vst3-scanner ardour7-lua sox python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install ardour sox)" >&2; exit 1; }
done
[ -d "$bundle" ] || { echo "no $bundle: build the native tree first" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work/vst3" "$work/cache" "$work/config/ardour7/scripts"
cp -r "$bundle" "$work/vst3/"
# Ardour uses a cache entry only when it is newer than the module.
find "$work/vst3" -exec touch -d "1 minute ago" {} +
export XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config VST3_PATH=$work/vst3

echo "== ardour-vst3-scanner"
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -f "$work/vst3/REDI.vst3"
cat "$work"/cache/ardour7/vst/*.v3i

# The source's voice: the demo phrase's first 3 s at 16 kHz, as hex words
# (Ardour's Lua DSP memory is small; the source widens it to 48 kHz).
sox "$root/resources/demo/demo-voice.wav" -r 16000 -b 16 -e signed-integer -t raw "$work/voice.raw" trim 0 3
python3 - "$work/voice.raw" "$here/source.lua.in" "$work/config/ardour7/scripts/redi_check_source.lua" <<'PY'
import sys
words = open(sys.argv[1], "rb").read().hex()
open(sys.argv[3], "w").write(open(sys.argv[2]).read().replace("@WORDS@", words))
PY
cp "$here/capture.lua" "$work/config/ardour7/scripts/redi_check_capture.lua"

for case in "1 1" "0 1" "1 0"; do
  set -- $case
  echo "== session: VOICE=$1 CHORD=$2"
  VOICE=$1 CHORD=$2 SESSION_DIR=$work/session OUT=$work/out-$1$2.f32 \
    timeout 300 ardour7-lua "$here/session.lua" 2>&1 | grep -E "^(plugin|voice|chain|REDI|Error)"
done
sox -t f32 -r 48000 -c 2 "$work/out-11.f32" "$work/redi-in-ardour.wav"
echo "voice and chord through REDI in Ardour: $work/redi-in-ardour.wav"
