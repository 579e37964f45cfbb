#!/usr/bin/env bash
# End-to-end tests of the real TarvixTool.exe: a private Xvfb, a fresh Wine prefix with a
# virtual desktop (taskbar and tray included), the program driven with xdotool and judged
# from screenshots, the log, the configuration file and the URLs handed to the browser.
#
#   tests/e2e/run_e2e.sh [path/to/TarvixTool.exe]      (default build/windows/TarvixTool.exe)
#
# Builds nothing. Leaves failure screenshots in <exe folder>/e2e/. Ends with one line
# "N passed, N failed" and a non-zero status when anything failed.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
exe=${1:-$root/build/windows/TarvixTool.exe}
if [ ! -f "$exe" ]; then
  echo "no program at $exe (build it with: cmake --preset windows && cmake --build --preset windows)" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
out=$(dirname "$exe")/e2e
prefix=$out/prefix

setup_failed=0
. "$root/tests/e2e/wine_desktop.sh"
xvfb_pid=
runner_pid=
fixtures_pid=
prefix_ready=0

cleanup() {
  # Only what this run started: the scenario runner, the picture maker and the X server (by
  # pid), the wineserver of this run's prefix (which takes the program and notepad with it).
  local pid
  for pid in "$runner_pid" "$fixtures_pid"; do
    [ -n "$pid" ] || continue
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ "$prefix_ready" = 1 ] || [ -d "$prefix" ]; then
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  fi
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
rm -f "$out/urls.txt" "$out"/notepad-*.txt
rm -rf "$out/media" "$out/split-reference"

start_display 42
echo "display $DISPLAY, prefix $prefix"

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installers, no menu entries on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# The media actions' input pictures are made while the prefix boots, then moved to C:\media.
/usr/bin/python3 "$root/tests/e2e/e2e_actions.py" --fixtures "$out/media" >"$out/fixtures.log" 2>&1 &
fixtures_pid=$!
timeout 120 wineboot -i >"$out/wineboot.log" 2>&1 || setup_fail "wineboot -i failed (see $out/wineboot.log)"
timeout 60 wineserver -w || setup_fail "wineserver did not settle after wineboot"
prefix_ready=1
wait "$fixtures_pid" || setup_fail "the input pictures could not be made (see $out/fixtures.log)"
fixtures_pid=
mv "$out/media" "$prefix/drive_c/media" || setup_fail "the input pictures could not be moved into the prefix"

# The browser stand-in: Wine's URL handler runs it (a Unix path) with the URL as argument.
recorder=$out/browser-recorder.sh
cat >"$recorder" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >>"$out/urls.txt"
EOF
chmod +x "$recorder"
# Wine splits the browser list at commas and runs each entry as a command line.
case $recorder in *[,\ ]*) setup_fail "the build path must not hold commas or blanks: $recorder" ;; esac
# Every program joins one virtual desktop; the name "shell" gives it a taskbar with a tray.
# The values must be in place before the desktop exists, hence the wineserver restart.
{
  wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /t REG_SZ /d "$recorder" /f &&
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d shell /f &&
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /t REG_SZ /d 1024x768 /f
} >"$out/reg.log" 2>&1 || setup_fail "registry settings (see $out/reg.log)"
wineserver -k >/dev/null 2>&1
timeout 30 wineserver -w

# In the background so that an interrupt reaches the trap at once rather than after the run.
timeout 600 /usr/bin/python3 "$root/tests/e2e/e2e.py" "$exe" "$out" "$out/urls.txt" &
runner_pid=$!
wait "$runner_pid"
rc=$?
runner_pid=
if [ ! -f "$out/result" ]; then
  setup_failed=$((setup_failed + 1))
  echo "FAIL  the scenario runner ended without a result (status $rc)"
fi
exit $rc
