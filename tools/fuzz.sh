#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UBSan, tree
# build/fuzz) and runs one of them.
#
#   tools/fuzz.sh TARGET SECONDS   run a campaign of SECONDS, starting from the
#                                  committed seeds; 0 replays the seeds only
#   tools/fuzz.sh --build          build every target
#   tools/fuzz.sh --list           name the targets
#
# New inputs the fuzzer finds go to build/fuzz/corpus/TARGET, never into the
# repository; a crashing input is saved as build/fuzz/artifacts/TARGET-crash-*
# and can be replayed with build/fuzz/fuzz/fuzz_TARGET FILE.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(chunk program_file bank_file wav ini midi_file host_chaos vst3_state)
tree=build/fuzz

build() {
  if [ ! -f "$tree/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DREDI_FUZZ=ON >"$tree.configure.log" 2>&1 || { cat "$tree.configure.log"; return 1; }
  fi
  cmake --build "$tree" -j 2 --target "$@" >"$tree.build.log" 2>&1 || {
    tail -n 40 "$tree.build.log"
    return 1
  }
}

case "${1:-}" in
  --list) printf '%s\n' "${targets[@]}"; exit 0 ;;
  --build) mkdir -p build; build redi_fuzz_targets; exit ;;
esac
if [ $# -ne 2 ] || [[ ! " ${targets[*]} " == *" $1 "* ]] || [[ ! $2 =~ ^[0-9]+$ ]]; then
  echo "usage: tools/fuzz.sh TARGET SECONDS | --build | --list (targets: ${targets[*]})" >&2
  exit 2
fi
target=$1 seconds=$2
mkdir -p build
build "fuzz_$target"
seeds=tests/fuzz/corpus/$target
binary=$tree/fuzz/fuzz_$target
options=(-rss_limit_mb=2048 -timeout=60 -print_final_stats=1)
if [ "$seconds" -eq 0 ]; then
  # Each seed once; a failure aborts with the sanitizer's report.
  exec "$binary" "${options[@]}" "$seeds"/*
fi
work=$tree/corpus/$target
mkdir -p "$work" "$tree/artifacts"
exec "$binary" "${options[@]}" -max_total_time="$seconds" -artifact_prefix="$tree/artifacts/$target-" \
  "$work" "$seeds"
