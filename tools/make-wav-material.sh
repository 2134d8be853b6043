#!/usr/bin/env bash
# Regenerates the WAV material that ships with REDI: the files the factory
# WAV programs play and the spoken phrase of the render tool's demo.
# Needs espeak-ng and sox. Output is committed; rerun only to change it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=resources/wav
demo=resources/demo
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 22.05 kHz mono 16-bit keeps the files small; the player resamples.
to_wav() { sox "$1" -r 22050 -c 1 -b 16 "$2" "${@:3}"; }

espeak-ng -v de -s 140 -p 45 -w "$tmp/gm.wav" "Guten Morgen!"
to_wav "$tmp/gm.wav" "$out/Guten.Morgen.wav" norm -1

sox -n -r 22050 -c 1 -b 16 "$out/Sine.Sweep.wav" synth 3 sine 100-8000 fade 0.01 3 0.05 gain -13

# A short percussive burst: noise with a fast exponential decay, four hits.
sox -n -r 22050 -c 1 -b 16 "$tmp/hit.wav" synth 0.25 whitenoise fade q 0.002 0.25 0.24 gain -6
sox "$tmp/hit.wav" "$tmp/hit.wav" "$tmp/hit.wav" "$tmp/hit.wav" "$out/Perc.Noise.wav"

espeak-ng -v en-us -s 130 -p 40 -w "$tmp/demo.wav" \
  "Welcome to REDI. I am the vocoder from Welmora. Play a chord, and I will sing it."
to_wav "$tmp/demo.wav" "$demo/demo-voice.wav" norm -1

ls -l "$out" "$demo"
