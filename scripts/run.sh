#!/usr/bin/env bash
# Installs what is missing, builds TarvixTool.exe and starts it: under Wine on Linux, in a
# virtual desktop so that its tray icon has a taskbar to live in.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake --preset windows -DTARVIX_TESTS=OFF -DTARVIX_BENCH=OFF
cmake --build --preset windows --target TarvixTool
exe="$PWD/build/windows/TarvixTool.exe"
case "$(uname -s)" in
  MINGW*|MSYS*|CYGWIN*) exec "$exe" ;;
esac
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tarvix}" WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}"
if [ -z "${DISPLAY:-}" ]; then
  . scripts/xvfb.sh
  start_xvfb 77
  echo "No display was set: running on the virtual screen $DISPLAY (headless)."
fi
echo "Starting Tarvix Tool; hold M4 or M5 anywhere in the Wine desktop. Quit from its tray menu."
wine explorer /desktop=Tarvix,1280x800 "$exe"
