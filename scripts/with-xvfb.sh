#!/usr/bin/env bash
# with-xvfb.sh COMMAND [ARGS...]: runs COMMAND with a private Xvfb display
# (the first free one, chosen by Xvfb itself), exported as DISPLAY and as
# KESTRO_WINE_DISPLAY for Wine programs run through the build's wine-run.sh.
# The server is stopped when COMMAND ends, whatever way it ends.
set -euo pipefail
# Wide and tall enough for the editor at twice its size.
screen=${KESTRO_XVFB_SCREEN:-2400x600x24}
fdfile=$(mktemp)
trap 'rm -f "$fdfile"' EXIT
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$fdfile"' EXIT
for _ in $(seq 100); do
  [[ -s $fdfile ]] && break
  if ! kill -0 "$xvfb" 2>/dev/null; then
    echo "with-xvfb: Xvfb did not start" >&2
    exit 1
  fi
  sleep 0.1
done
if [[ ! -s $fdfile ]]; then
  echo "with-xvfb: Xvfb chose no display" >&2
  exit 1
fi
display=:$(head -n1 "$fdfile")
export DISPLAY=$display KESTRO_WINE_DISPLAY=$display
status=0
"$@" || status=$?
exit $status
