#!/usr/bin/env bash
# Installs what it needs, builds every tree (native, sanitizers, Windows 64 and
# 32 bit) and runs every test suite; Windows tests run under Wine. Ends with
# one summary line "N passed, N failed, N skipped" (test cases and checks).
set -uo pipefail
cd "$(dirname "$0")" || exit 1

# ---- The summary. Every stage adds its results through count_result, so a
# new stage only has to call it; nothing else touches the totals.
total_passed=0
total_failed=0
total_skipped=0
count_result() {  # passed failed skipped
  total_passed=$((total_passed + $1))
  total_failed=$((total_failed + $2))
  total_skipped=$((total_skipped + $3))
}
print_summary() {
  echo "$total_passed passed, $total_failed failed, $total_skipped skipped"
}

tools/install-deps.sh || { count_result 0 1 0; print_summary; exit 1; }

export WINEDEBUG=-all
jobs=$(nproc)

# ---- Can this machine run 32-bit programs? Asked once, here.
# Wine's 32-bit loader is itself a 32-bit Linux program: when it starts, the
# 32-bit Windows suites can run. Kernels without 32-bit support (some
# containers and virtual machines, WSL 1) refuse it with "Exec format error".
# REDI_ASSUME_NO_32BIT=1 takes the "cannot" path on a machine that can; it
# exists to try this script, not to save time.
no_32bit_reason=""
probe_32bit() {
  local out
  if [ -n "${REDI_ASSUME_NO_32BIT:-}" ]; then
    no_32bit_reason="REDI_ASSUME_NO_32BIT is set"
  elif ! out=$(/usr/lib/wine/wine --version 2>&1); then
    # Keep the system's own words, without bash's "test.sh: line N:" prefix.
    no_32bit_reason=$(tail -n 1 <<<"$out" | sed -E 's/^.*line [0-9]+: //')
  fi
}

build_tree() {  # name, [--target=T[,T...]: build only these and what they need], extra cmake arguments...
  local name=$1 target=() targets=(); shift
  if [[ ${1:-} == --target=* ]]; then
    IFS=, read -ra targets <<<"${1#--target=}"
    target=(--target "${targets[@]}"); shift
  fi
  echo "== build $name"
  if ! cmake -S . -B "build/$name" -G Ninja "$@" >"build/$name.configure.log" 2>&1; then
    cat "build/$name.configure.log"; echo "configure of $name failed"; return 1
  fi
  if ! cmake --build "build/$name" -j "$jobs" "${target[@]}" >"build/$name.build.log" 2>&1; then
    tail -n 60 "build/$name.build.log"; echo "build of $name failed"; return 1
  fi
}

# ---- Test suites. Each ctest test runs on its own, with its own log, so a
# suite that never finishes is known by name and its cases are not lost.

tree_tests() {  # tree, [ctest name pattern]: the tree's test names, one a line
  local select=()
  [ -n "${2:-}" ] && select=(-R "$2")
  ctest --test-dir "build/$1" -N "${select[@]}" | sed -n 's/^ *Test *#[0-9]*: //p'
}

# The command ctest runs for a test, emulator included, one word a line.
# (Our build paths hold no spaces.)
test_command() {  # tree, test name
  ctest --test-dir "build/$1" -N -V -R "^$2\$" 2>/dev/null |
    sed -n 's/^[0-9]*: Test command: //p' | tr -d '"' | tr -s ' ' '\n' | sed '/^$/d'
}

# GoogleTest suites are the redi_<folder>_tests of tests/CMakeLists.txt; any
# other ctest test is a single check.
is_gtest_suite() { [[ $1 == *_tests ]]; }

# The cases a GoogleTest program holds, from its own list (disabled ones do
# not run, so they do not count). Fails when the program cannot list them.
listed_cases() {  # command...
  local list
  list=$(timeout 300 "$@" --gtest_list_tests 2>/dev/null) || return 1
  awk '/^[^ ]/ {off = /^DISABLED_/} /^  / && !off && !/^  DISABLED_/ {n++} END {print n+0}' <<<"$list"
}

# The cases a suite holds, taken from the same suite built in another tree
# when this tree's program cannot tell (it does not start, or its machine
# cannot run it). The 64-bit Windows build is the 32-bit one's closest twin
# (same sources, same platform code) and runs on every x86-64 machine.
twin_cases() {  # tree, test name
  local twins twin cmd
  case $1 in win*) twins="win64 native" ;; *) twins="native win64" ;; esac
  for twin in $twins; do
    [ "$twin" = "$1" ] || [ ! -f "build/$twin/CTestTestfile.cmake" ] && continue
    mapfile -t cmd < <(test_command "$twin" "$2")
    [ ${#cmd[@]} -gt 0 ] && listed_cases "${cmd[@]}" && return 0
  done
  return 1
}

# How ctest ended a test: Passed, Failed, Skipped, Timeout, Not Run,
# Subprocess aborted, SegFault...
ctest_outcome() {  # test name, log
  grep -a -E "^ *[0-9]+/[0-9]+ Test +#[0-9]+: $1 " "$2" | tail -n 1 |
    sed -E 's/^[^.]*\.+ *//; s/ +[0-9.]+ sec$//; s/\*\*\*|Exception:/ /g; s/ +/ /g; s/^ | $//g'
}

# The last lines the test itself printed (ctest -V prefixes them "N: ").
show_test_output() {  # log
  grep -a -E '^[0-9]+: ' "$1" | tail -n 12
}

gtest_count() {  # log, result word (PASSED, FAILED, SKIPPED): cases gtest reports
  grep -aoE "\[  $2 *\] [0-9]+ test" "$1" | awk '{s+=$(NF-1)} END {print s+0}'
}

# A GoogleTest suite counts its cases as GoogleTest reports them. One that did
# not finish cleanly (did not start, crashed, timed out, or failed with every
# case passed, as on a leak found at exit) counts all the cases it holds as
# failed: its own report is missing or cannot be trusted.
count_gtest_suite() {  # tree, test name, log, outcome
  local tree=$1 name=$2 log=$3 outcome=$4 passed failed skipped held cmd how=""
  passed=$(gtest_count "$log" PASSED)
  failed=$(gtest_count "$log" FAILED)
  skipped=$(gtest_count "$log" SKIPPED)
  if grep -aq '\[==========\] [0-9]* tests\? from .* ran\.' "$log" &&
    { [ "$outcome" = Passed ] || [ "$failed" -gt 0 ]; }; then
    [ "$failed" -gt 0 ] && grep -a -E '\[  FAILED  \]|Failure' "$log" | head -n 60
    count_result "$passed" "$failed" "$skipped"
    return
  fi
  # Started: gtest said how many cases it runs. Otherwise ask the program,
  # then its twin; one case when nothing can tell.
  held=$(grep -ao '\[==========\] Running [0-9]* test' "$log" | head -n 1 | awk '{print $3}')
  if [ -z "$held" ]; then
    mapfile -t cmd < <(test_command "$tree" "$name")
    if [ ${#cmd[@]} -gt 0 ] && held=$(listed_cases "${cmd[@]}"); then
      :
    elif held=$(twin_cases "$tree" "$name"); then
      how=", listed by its twin in another tree"
    else
      held=1 how=", which could not be listed: counted as one"
    fi
  fi
  show_test_output "$log"
  echo "   FAILED: $tree $name did not finish ($outcome): its $held cases count as failed$how"
  count_result 0 "$held" 0
}

count_single_check() {  # tree, test name, log, outcome
  case $4 in
    Passed) count_result 1 0 0 ;;
    Skipped)
      echo "   $1 $2 skipped ($(grep -a -m 1 'skipped' "$3" | sed 's/^[0-9]*: //'))"
      count_result 0 0 1 ;;
    *)
      show_test_output "$3"
      echo "   FAILED: $1 $2 ($4)"
      count_result 0 1 0 ;;
  esac
}

run_test() {  # tree, test name
  local log="build/$1.tests/$2.log" outcome
  ctest --test-dir "build/$1" -V --timeout 900 -R "^$2\$" >"$log" 2>&1
  outcome=$(ctest_outcome "$2" "$log")
  if is_gtest_suite "$2"; then
    count_gtest_suite "$1" "$2" "$log" "${outcome:-no result}"
  else
    count_single_check "$1" "$2" "$log" "${outcome:-no result}"
  fi
}

# Runs a tree's tests (or those matching a pattern) and prints the tree's share.
run_tests() {  # tree, [ctest name pattern]
  local tree=$1 name p=$total_passed f=$total_failed s=$total_skipped
  echo "== test $tree"
  rm -rf "build/$tree.tests" && mkdir -p "build/$tree.tests"
  for name in $(tree_tests "$tree" "${2:-}"); do run_test "$tree" "$name"; done
  echo "   $tree: $((total_passed - p)) passed, $((total_failed - f)) failed," \
    "$((total_skipped - s)) skipped"
}

# Reports a tree's tests as skipped, in one line, without running any of its
# programs. N skipped counts the cases its suites hold (from their twins; a
# suite no twin can list, and each single check, counts as one), so the
# summary shows how much did not run.
skip_tests() {  # tree, reason
  local name n held=0 suites=0 unlisted=0 note=""
  for name in $(tree_tests "$1"); do
    n=1
    if is_gtest_suite "$name" && ! n=$(twin_cases "$1" "$name"); then
      n=1 unlisted=$((unlisted + 1))
    fi
    held=$((held + n)) suites=$((suites + 1))
  done
  [ "$unlisted" -gt 0 ] && note=" ($unlisted of them counted as one case: no twin lists them)"
  echo "== test $1: skipped $held cases in $suites suites$note: $2"
  count_result 0 0 "$held"
}

mkdir -p build
probe_32bit
build_tree native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREDI_BENCHMARKS=ON || count_result 0 1 0
build_tree asan -DCMAKE_BUILD_TYPE=Debug -DREDI_SANITIZE=ON || count_result 0 1 0
build_tree win64 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ||
  count_result 0 1 0
# Built even where it cannot run: its deliverable is checked below. There its
# wavetables cannot be computed by a 32-bit program at build time; the plug-in
# computes them when it loads instead.
win32_tables_at_build=ON
[ -n "$no_32bit_reason" ] && win32_tables_at_build=OFF
build_tree win32 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
  -DREDI_WAVETABLES_AT_BUILD=$win32_tables_at_build || count_result 0 1 0
# ThreadSanitizer only for the suites that drive the plug-in from several threads.
build_tree tsan --target=redi_vst_tests,redi_editor_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREDI_TSAN=ON ||
  count_result 0 1 0

for tree in native asan win64 win32; do
  [ -f "build/$tree/CTestTestfile.cmake" ] || continue
  if [ "$tree" = win32 ] && [ -n "$no_32bit_reason" ]; then
    skip_tests win32 "this machine cannot run 32-bit programs ($no_32bit_reason)"
  else
    run_tests "$tree"
  fi
done
[ -f build/tsan/CTestTestfile.cmake ] && TSAN_OPTIONS=halt_on_error=1 run_tests tsan 'redi_vst_tests|redi_editor_tests'

# The editor's own window in the Windows plug-ins, opened by a test host under
# Wine on a virtual X display: compared with the headless render of the same
# build, driven by mouse and keyboard, opened and closed many times. Captured
# images stay in build/artifacts/. Not a ctest test: it needs the display.
editor_window_tests() {  # tree, Wine loader
  local tree=$1 wine=$2 log="build/$1.tests/editor-window.log" outcome=Passed
  local exe="build/$tree/tests/redi_editor_win_tests.exe"
  echo "== editor window $tree"
  mkdir -p build/artifacts build/wine-editor "build/$tree.tests"
  # A prefix of its own: a Wine session started earlier without a display
  # cannot create windows.
  # Room for the editor at 200 % (1600 x 720).
  WINEPREFIX="$PWD/build/wine-editor" timeout 900 xvfb-run -a -s "-screen 0 1920x1200x24" \
    "$wine" "$exe" >"$log" 2>&1 ||
    outcome="exit status $?"
  count_gtest_suite "$tree" redi_editor_win_tests "$log" "$outcome"
}
editor_window_tests win64 /usr/lib/wine/wine64
if [ -z "$no_32bit_reason" ]; then
  editor_window_tests win32 /usr/lib/wine/wine
else
  held=$(WINEPREFIX="$PWD/build/wine-editor" listed_cases /usr/lib/wine/wine64 \
    build/win64/tests/redi_editor_win_tests.exe) || held=1
  echo "== editor window win32: skipped $held cases: this machine cannot run 32-bit programs ($no_32bit_reason)"
  count_result 0 0 "$held"
fi

# Fuzzing as a regression check: builds the libFuzzer targets (clang, tree
# build/fuzz), replays each committed seed corpus and runs each target for a
# few seconds. Each target counts as one case.
run_fuzz_stage() {
  local target log
  echo "== fuzz"
  if ! tools/fuzz.sh --build; then
    echo "   FAILED: fuzz build"
    count_result 0 1 0
    return
  fi
  for target in $(tools/fuzz.sh --list); do
    log=build/fuzz.$target.log
    if tools/fuzz.sh "$target" 0 >"$log" 2>&1 && tools/fuzz.sh "$target" 4 >>"$log" 2>&1; then
      count_result 1 0 0
    else
      grep -a -E 'ERROR|runtime error|fuzz check|SUMMARY|Test unit written' "$log" | head -n 20
      echo "   FAILED: fuzz $target"
      count_result 0 1 0
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
    count_result 1 0 0
  else
    echo "   FAILED: $what"
    count_result 0 1 0
  fi
}
exports_only_entries() {  # library, its entries sorted and each followed by a space
  [ "$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ')" = "$2" ]
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
check_step "REDI64.so exports" exports_only_entries build/native/REDI64.so "VSTPluginMain main "
check_step "REDI64.dll imports" imports_only_system_dlls x86_64-w64-mingw32-objdump build/win64/REDI64.dll
check_step "REDI.dll imports" imports_only_system_dlls i686-w64-mingw32-objdump build/win32/REDI.dll
check_step "REDI.vst3 (Linux) exports" exports_only_entries \
  build/native/REDI.vst3/Contents/x86_64-linux/REDI.so "GetPluginFactory ModuleEntry ModuleExit "
check_step "REDI.vst3 (64-bit Windows) imports" imports_only_system_dlls x86_64-w64-mingw32-objdump \
  build/win64/REDI.vst3/Contents/x86_64-win/REDI.vst3
check_step "REDI.vst3 (32-bit Windows) imports" imports_only_system_dlls i686-w64-mingw32-objdump \
  build/win32/REDI.vst3/Contents/x86-win/REDI.vst3

print_summary
[ "$total_failed" -eq 0 ]
