#!/usr/bin/env bash
# Installs what it needs, builds every tree (native, sanitizers, Windows 64 and
# 32 bit) and runs every test suite; Windows tests run under Wine. Ends with
# one summary line "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh || { echo "0 passed, 1 failed"; exit 1; }

export WINEDEBUG=-all
jobs=$(nproc)
failed_steps=0
total_passed=0
total_failed=0

build_tree() {  # name, [--target=T: build only T and what it needs], extra cmake arguments...
  local name=$1 target=(); shift
  if [[ ${1:-} == --target=* ]]; then target=(--target "${1#--target=}"); shift; fi
  echo "== build $name"
  if ! cmake -S . -B "build/$name" -G Ninja "$@" >"build/$name.configure.log" 2>&1; then
    cat "build/$name.configure.log"; echo "configure of $name failed"; return 1
  fi
  if ! cmake --build "build/$name" -j "$jobs" "${target[@]}" >"build/$name.build.log" 2>&1; then
    tail -n 60 "build/$name.build.log"; echo "build of $name failed"; return 1
  fi
}

# Runs a tree's ctest suites (or those matching a pattern) and adds their
# test-case counts to the totals.
run_tests() {  # name, [ctest name pattern]
  local name=$1 log="build/$1.tests.log" passed failed rc select=()
  [ -n "${2:-}" ] && select=(-R "$2")
  echo "== test $name"
  ctest --test-dir "build/$name" -V --timeout 900 "${select[@]}" >"$log" 2>&1
  rc=$?
  passed=$(grep -ao '\[  PASSED  \] [0-9]*' "$log" | awk '{s+=$NF} END {print s+0}')
  failed=$(grep -ao '\[  FAILED  \] [0-9]* test' "$log" | awk '{s+=$(NF-1)} END {print s+0}')
  if [ "$rc" -ne 0 ]; then
    grep -a -E '\[  FAILED  \]|Failure|ERROR|runtime error|Sanitizer|Exception|\*\*\*' "$log" | head -n 80
    [ "$failed" -eq 0 ] && failed=1
  fi
  echo "   $name: $passed passed, $failed failed"
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
}

mkdir -p build
build_tree native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREDI_BENCHMARKS=ON || failed_steps=$((failed_steps + 1))
build_tree asan -DCMAKE_BUILD_TYPE=Debug -DREDI_SANITIZE=ON || failed_steps=$((failed_steps + 1))
build_tree win64 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ||
  failed_steps=$((failed_steps + 1))
build_tree win32 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake ||
  failed_steps=$((failed_steps + 1))
# ThreadSanitizer only for the suite that drives the plug-in from two threads.
build_tree tsan --target=redi_vst_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREDI_TSAN=ON ||
  failed_steps=$((failed_steps + 1))

for tree in native asan win64 win32; do
  [ -f "build/$tree/CTestTestfile.cmake" ] && run_tests "$tree"
done
[ -f build/tsan/CTestTestfile.cmake ] && TSAN_OPTIONS=halt_on_error=1 run_tests tsan redi_vst_tests

# Fuzzing as a regression check: builds the libFuzzer targets (clang, tree
# build/fuzz), replays each committed seed corpus and runs each target for a
# few seconds. Each target counts as one case.
run_fuzz_stage() {
  local target log
  echo "== fuzz"
  if ! tools/fuzz.sh --build; then
    echo "   FAILED: fuzz build"
    total_failed=$((total_failed + 1))
    return
  fi
  for target in $(tools/fuzz.sh --list); do
    log=build/fuzz.$target.log
    if tools/fuzz.sh "$target" 0 >"$log" 2>&1 && tools/fuzz.sh "$target" 4 >>"$log" 2>&1; then
      total_passed=$((total_passed + 1))
    else
      grep -a -E 'ERROR|runtime error|fuzz check|SUMMARY|Test unit written' "$log" | head -n 20
      echo "   FAILED: fuzz $target"
      total_failed=$((total_failed + 1))
    fi
  done
}
run_fuzz_stage

# The deliverables: the Linux plug-in exports only its two entries; the
# Windows plug-ins import only system libraries, so they load on a plain
# Windows machine without MinGW's runtime beside them.
check_step() {  # description, command...
  local what=$1; shift
  if "$@"; then
    total_passed=$((total_passed + 1))
  else
    echo "   FAILED: $what"
    total_failed=$((total_failed + 1))
  fi
}
exports_only_entries() {
  [ "$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ')" = "VSTPluginMain main " ]
}
imports_only_system_dlls() {  # objdump, dll
  local names
  names=$("$1" -p "$2" | awk '/DLL Name:/ {print tolower($3)}') || return 1
  [ -n "$names" ] || return 1
  ! grep -qvE '^(kernel32|user32|gdi32|shell32|comctl32|comdlg32|advapi32|ole32|wininet|msvcrt|ws2_32|msimg32)\.dll$' <<<"$names"
}
echo "== check formatting"
check_step "clang-format" bash -c 'git ls-files "*.cpp" "*.h" | xargs -r clang-format --dry-run --Werror'
echo "== check deliverables"
check_step "REDI64.so exports" exports_only_entries build/native/REDI64.so
check_step "REDI64.dll imports" imports_only_system_dlls x86_64-w64-mingw32-objdump build/win64/REDI64.dll
check_step "REDI.dll imports" imports_only_system_dlls i686-w64-mingw32-objdump build/win32/REDI.dll

total_failed=$((total_failed + failed_steps))
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
