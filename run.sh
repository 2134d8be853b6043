#!/usr/bin/env bash
# Vocodes a voice through the REDI plug-in: installs what it needs, builds the
# plug-in and the command-line host, and renders. Without arguments it renders
# the built-in demo (a spoken phrase over a chord progression) to
# redi-demo.wav; any arguments go to redi-render (try --help).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

"$here/tools/install-run-deps.sh"
cmake -S "$here" -B "$here/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build/native" --target redi_plugin redi-render -j "$(nproc)" >/dev/null
exec "$here/build/native/redi-render" --plugin "$here/build/native/REDI64.so" "$@"
