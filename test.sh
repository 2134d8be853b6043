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
# ThreadSanitizer only for the suites that drive the plug-in from several threads.
build_tree tsan --target=redi_vst_tests,redi_editor_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREDI_TSAN=ON ||
  failed_steps=$((failed_steps + 1))

for tree in native asan win64 win32; do
  [ -f "build/$tree/CTestTestfile.cmake" ] && run_tests "$tree"
done
[ -f build/tsan/CTestTestfile.cmake ] && TSAN_OPTIONS=halt_on_error=1 run_tests tsan 'redi_vst_tests|redi_editor_tests'

# The editor's window in the Windows plug-ins, opened by a test host under Wine
# on a virtual X display; captured images stay in build/artifacts/. Its own
# Wine prefix: a Wine session started elsewhere without a display would leave
# this one unable to create windows.
editor_window_tests() {  # tree, Wine loader
  local tree=$1 wine=$2 log="build/$1.editor-window.log" rc passed failed
  local exe="build/$tree/tests/redi_editor_win_tests.exe"
  echo "== editor window $tree"
  if [ ! -f "$exe" ]; then
    echo "   $exe missing"; total_failed=$((total_failed + 1)); return
  fi
  mkdir -p build/artifacts build/wine-editor
  WINEPREFIX="$PWD/build/wine-editor" timeout 900 xvfb-run -a "$wine" "$exe" >"$log" 2>&1
  rc=$?
  passed=$(grep -ao '\[  PASSED  \] [0-9]*' "$log" | awk '{s+=$NF} END {print s+0}')
  failed=$(grep -ao '\[  FAILED  \] [0-9]* test' "$log" | awk '{s+=$(NF-1)} END {print s+0}')
  if [ "$rc" -ne 0 ]; then
    grep -a -E '\[  FAILED  \]|Failure|err:' "$log" | head -n 40
    [ "$failed" -eq 0 ] && failed=1
  fi
  echo "   editor window $tree: $passed passed, $failed failed"
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
}
editor_window_tests win64 /usr/lib/wine/wine64
if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  editor_window_tests win32 /usr/lib/wine/wine
fi

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
