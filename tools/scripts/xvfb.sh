# Sourced: start_xvfb starts a virtual display and exports DISPLAY; stop_xvfb ends it.
start_xvfb() {
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    QLR_XVFB_PID=$!
    sleep 1
    if kill -0 "$QLR_XVFB_PID" 2>/dev/null; then
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}
stop_xvfb() {
  [ -n "${QLR_XVFB_PID:-}" ] && kill "$QLR_XVFB_PID" 2>/dev/null
  return 0
}
