# Sourced by the scripts that run the real program in a Wine virtual desktop on a private X
# server. The caller sets `out` (its output folder), `prefix` (its Wine prefix) and
# setup_failed=0, and runs a scenario runner that writes "passed failed" to $out/result.

setup_fail() {
  echo "FAIL  setup: $1"
  setup_failed=$((setup_failed + 1))
  exit 1
}

# Stale state of an earlier run: its wineserver (if it survived), prefix, pictures and result.
clear_earlier_run() {
  if [ -d "$prefix" ]; then WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf "$prefix"
  mkdir -p "$out"
  rm -f "$out"/*.png "$out/result"
}

# Prints "N passed, N failed" from the runner's result and the set-up failures; nothing run, or
# a runner that ended badly (status $1) without counting it, is a failure too. Exits with the
# verdict, so the caller's EXIT trap ends the script with it.
exit_with_verdict() {
  local status=$1 passed=0 failed=0
  if [ -f "$out/result" ]; then read -r passed failed <"$out/result"; fi
  failed=$((failed + setup_failed))
  if [ "$failed" -eq 0 ] && { [ "$passed" -eq 0 ] || [ "$status" -ne 0 ]; }; then failed=$((failed + 1)); fi
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ] && exit 0
  exit 1
}

# A display of our own; :99 belongs to someone else's session. Another run may take the same
# free number at the same moment, so a server that dies at once moves us to the next one.
start_xvfb_once() {
  local n=$1 deadline
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
  xvfb_pid=$!
  deadline=$((SECONDS + 20))
  until [ -e "/tmp/.X11-unix/X$n" ] && DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; do
    if [ $SECONDS -ge $deadline ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
      kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null
      xvfb_pid=
      return 1
    fi
    sleep 0.1
  done
}

# Starts the X server on the first free display from $1 and exports DISPLAY.
start_display() {
  local n=$1 attempt
  for attempt in 1 2 3 4 5; do
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || [ "$n" = 99 ]; do n=$((n + 1)); done
    start_xvfb_once "$n" && break
    n=$((n + 1))
  done
  [ -n "$xvfb_pid" ] || setup_fail "Xvfb did not start (see $out/xvfb.log)"
  export DISPLAY=":$n"
}

# A fresh prefix at $1 whose programs all join one 1024x768 virtual desktop with a taskbar and tray.
boot_desktop_prefix() {
  local prefix=$1
  export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
  # No Mono or Gecko installers, no menu entries on the host.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  timeout 120 wineboot -i >"$out/wineboot.log" 2>&1 || setup_fail "wineboot -i failed (see $out/wineboot.log)"
  timeout 60 wineserver -w || setup_fail "wineserver did not settle after wineboot"
  # The name "shell" gives the desktop a taskbar with a tray. The values must be in place before
  # the desktop exists, hence the wineserver restart.
  {
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d shell /f &&
      wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /t REG_SZ /d 1024x768 /f
  } >"$out/reg.log" 2>&1 || setup_fail "registry settings (see $out/reg.log)"
  wineserver -k >/dev/null 2>&1
  timeout 30 wineserver -w
}
