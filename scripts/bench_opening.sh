#!/usr/bin/env bash
# Opening latency of the wheel under Wine (press to wheel on the screen), median and worst of N
# openings, with the Explorer detection's share from the log. Reports, never asserts.
#
#   scripts/bench_opening.sh [path/to/TarvixTool.exe] [openings]   (defaults build/windows/TarvixTool.exe, 20)
#
# Uses a private Xvfb (display from BENCH_DISPLAY, else the first free one from 60) and a fresh
# prefix with a virtual desktop next to the program, as the end-to-end run does.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:-$root/build/windows/TarvixTool.exe}
openings=${2:-20}
[ -f "$exe" ] || { echo "no program at $exe" >&2; exit 1; }
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
out=$(dirname "$exe")/bench-opening
prefix=$out/prefix

n=${BENCH_DISPLAY:-60}
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
xvfb_pid=
cleanup() {
  [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
mkdir -p "$out"
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$n"
for _ in $(seq 200); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -d "$prefix" ]; then wineserver -k >/dev/null 2>&1; fi
rm -rf "$prefix"
timeout 120 wineboot -i >"$out/wineboot.log" 2>&1 || { echo "wineboot failed" >&2; exit 1; }
timeout 60 wineserver -w
{
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d shell /f &&
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /t REG_SZ /d 1024x768 /f
} >"$out/reg.log" 2>&1 || { echo "registry settings failed" >&2; exit 1; }
wineserver -k >/dev/null 2>&1
timeout 30 wineserver -w

user=$(ls "$prefix/drive_c/users" | grep -v -x -e Public | head -1)
log=$prefix/drive_c/users/$user/Temp/TarvixTool.log
wine "$exe" >/dev/null 2>&1 &
for _ in $(seq 300); do grep -q "SaveWheelConfig\|LoadWheelConfig" "$log" 2>/dev/null && break; sleep 0.1; done
sleep 3  # the taskbar and tray settle
/usr/bin/python3 "$root/bench/opening_latency.py" "$log" "$openings"
