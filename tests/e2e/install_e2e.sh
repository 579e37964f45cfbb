#!/usr/bin/env bash
# Installation test of the real installer under Wine: a private Xvfb, a fresh prefix with a
# virtual desktop (taskbar and tray included), then install_e2e.py installs silently, runs
# the installed program (one copy only, the start-with-Windows entry of its tray menu) and
# uninstalls silently.
#
#   tests/e2e/install_e2e.sh [path/to/TarvixTool-1.9-setup.exe]
#       (default build/windows/TarvixTool-1.9-setup.exe; TarvixTool.exe must lie beside it)
#
# Builds nothing. Leaves failure screenshots in <setup folder>/install-e2e/. Ends with one
# line "N passed, N failed" and a non-zero status when anything failed.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
setup=${1:-$root/build/windows/TarvixTool-1.9-setup.exe}
if [ ! -f "$setup" ] || [ ! -f "$(dirname "$setup")/TarvixTool.exe" ]; then
  echo "no installer at $setup, or no TarvixTool.exe beside it (build the installer target)" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
setup=$(cd "$(dirname "$setup")" && pwd)/$(basename "$setup")
out=$(dirname "$setup")/install-e2e
prefix=$out/prefix

setup_failed=0
. "$root/tests/e2e/wine_desktop.sh"
xvfb_pid=
runner_pid=

cleanup() {
  # Only what this run started: the runner and the X server (by pid) and the wineserver of
  # this run's prefix, which takes the installed program with it.
  if [ -n "$runner_pid" ]; then
    kill "$runner_pid" 2>/dev/null || true
    wait "$runner_pid" 2>/dev/null || true
  fi
  [ -d "$prefix" ] && { WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; }
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
finish() {
  local status=$?
  trap - EXIT INT TERM
  cleanup
  exit_with_verdict "$status"
}
trap finish EXIT
trap 'echo "FAIL  the run was interrupted"; exit 130' INT TERM

clear_earlier_run
start_display "${INSTALL_E2E_DISPLAY:-62}"
echo "display $DISPLAY, prefix $prefix"
boot_desktop_prefix "$prefix"

timeout 200 /usr/bin/python3 "$root/tests/e2e/install_e2e.py" "$setup" "$(dirname "$setup")/TarvixTool.exe" "$out" &
runner_pid=$!
wait "$runner_pid"
rc=$?
runner_pid=
if [ ! -f "$out/result" ]; then
  setup_failed=$((setup_failed + 1))
  echo "FAIL  the installation runner ended without a result (status $rc)"
fi
exit $rc
