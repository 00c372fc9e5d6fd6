# Sourced: starts a virtual display for the GUI tests and the demo, and stops it on exit.
xvfb_start() {
  local n
  for n in $(seq 90 130); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    TARVO_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    kill "$TARVO_XVFB_PID" 2>/dev/null
  done
  echo "cannot start Xvfb" >&2
  return 1
}

xvfb_stop() {
  [ -n "${TARVO_XVFB_PID:-}" ] && kill "$TARVO_XVFB_PID" 2>/dev/null
  TARVO_XVFB_PID=
}
