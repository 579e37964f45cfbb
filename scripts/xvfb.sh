# Sourced: start_xvfb starts a private X server on a free display and exports DISPLAY;
# it is stopped when the calling shell exits.
start_xvfb() {
  local n=${1:-90}
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 "${XVFB_SIZE:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
  local deadline=$((SECONDS + 20))
  until [ -e "/tmp/.X11-unix/X$n" ]; do
    if [ $SECONDS -ge $deadline ] || ! kill -0 $XVFB_PID 2>/dev/null; then
      echo "Xvfb did not start on :$n" >&2
      return 1
    fi
    sleep 0.1
  done
  export DISPLAY=":$n"
}
