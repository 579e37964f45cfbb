#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the test layers:
#   1. native: the portable logic (GoogleTest under ctest), plus the libFuzzer targets for a short time;
#   2. windows: the Win32 pieces, cross-built and run under Wine on real files;
#   3. end to end: the real TarvixTool.exe in a Wine virtual desktop, driven with xdotool;
#   4. installer: the installer and the portable zip are built, then installed, used and
#      uninstalled silently in a fresh Wine prefix.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
passed=0
failed=0
failures=()
layer() {
  local name=$1; shift
  echo
  echo "===== $name ====="
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
}

native() {
  cmake --preset native && cmake --build --preset native -j "$jobs" && ctest --preset native -j "$jobs"
}
fuzz() {
  cmake --preset fuzz && cmake --build --preset fuzz -j "$jobs" && ctest --preset fuzz -j "$jobs"
}
windows() {
  cmake --preset windows && cmake --build --preset windows -j "$jobs" || return 1
  # A fresh prefix for every run, so nothing of an earlier run (config, log) is found.
  export WINEPREFIX="$PWD/build/windows/wineprefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  ctest --preset windows
  local rc=$?
  wineserver -k 2>/dev/null || true
  return $rc
}
end_to_end() {
  tests/e2e/run_e2e.sh build/windows/TarvixTool.exe
}
installer() {
  cmake --build --preset windows --target installer || return 1
  tests/e2e/install_e2e.sh build/windows/TarvixTool-1.9-setup.exe
}

. scripts/xvfb.sh
start_xvfb 91 || exit 1

layer "native tests" native
layer "fuzzing" fuzz
layer "windows tests under wine" windows
if [ -x tests/e2e/run_e2e.sh ] && [ -f build/windows/TarvixTool.exe ]; then
  layer "end-to-end tests" end_to_end
else
  failed=$((failed + 1))
  failures+=("end-to-end tests (not run: no program was built)")
fi
if [ -x tests/e2e/install_e2e.sh ] && [ -f build/windows/TarvixTool.exe ]; then
  layer "installer tests under wine" installer
else
  failed=$((failed + 1))
  failures+=("installer tests (not run: no program was built)")
fi

echo
[ ${#failures[@]} -eq 0 ] || printf 'FAILED layer: %s\n' "${failures[@]}"
echo "layers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
