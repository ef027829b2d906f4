# Sourced by scripts that need an X display (the editor window's tests):
# starts a private Xvfb on a free display, exports DISPLAY for it, and stops
# it when the sourcing shell exits. Any display already set is left alone
# only by not sourcing this.
# Callers that set an EXIT trap of their own call this from it.
kestro_stop_xvfb() {
  if [[ -n ${KESTRO_XVFB_PID:-} ]]; then
    kill "$KESTRO_XVFB_PID" 2>/dev/null || true
    wait "$KESTRO_XVFB_PID" 2>/dev/null || true
    KESTRO_XVFB_PID=
  fi
}

kestro_start_xvfb() {
  local numberfile number
  numberfile=$(mktemp)
  # -displayfd: the server picks a free display and writes its number once
  # it accepts connections. -noreset: the tests connect and disconnect
  # all the time, and a server resetting after its last client refuses them.
  Xvfb -displayfd 3 -screen 0 2400x1024x24 -nolisten tcp -noreset 3>"$numberfile" >/dev/null 2>&1 &
  KESTRO_XVFB_PID=$!
  trap kestro_stop_xvfb EXIT
  for _ in $(seq 150); do
    [[ -s $numberfile ]] && break
    kill -0 "$KESTRO_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  number=$(head -n 1 "$numberfile" | tr -dc '0-9')
  rm -f "$numberfile"
  if [[ -z $number ]]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":${number}"
  # The window tests fail instead of skipping when they cannot reach it.
  export KESTRO_REQUIRE_DISPLAY=1
}
