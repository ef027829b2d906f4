#!/usr/bin/env bash
# window-matches-snapshot.sh BUILD WORK: plays the demo through the module
# with the demo's settings, shows the editor in its X11 window in
# kestro-editor, and requires the screenshot to equal, pixel for pixel, the
# editor that kestro-snapshot draws headless after the same audio. Also: a
# bad setting is refused before any window opens, and writes nothing.
set -euo pipefail
build=$1
work=$2
if [[ -z ${DISPLAY:-} ]]; then
  if [[ -n ${KESTRO_REQUIRE_DISPLAY:-} ]]; then
    echo "no X display" >&2
    exit 1
  fi
  echo "no X display: skipped"
  exit 77
fi
mkdir -p "$work"
rm -f "$work"/*.png
settings=(--param Threshold=-20 --param Ratio=2 --param Attack=2 --param Release=3 --param Output=6 --param Mix=100)
"$build/tools/kestro-demo-signal" "$work/demo.wav" 4 >/dev/null
"$build/tools/kestro-editor" "${settings[@]}" --input "$work/demo.wav" --seconds 0.3 --screenshot "$work/window.png"
"$build/tools/kestro-snapshot" "${settings[@]}" --input "$work/demo.wav" "$work/headless.png" >/dev/null
python3 - "$work/window.png" "$work/headless.png" <<'PY'
import subprocess, sys
def pixels(path):
    return subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
window, headless = (pixels(p) for p in sys.argv[1:3])
if len(window) != len(headless):
    sys.exit(f"sizes differ: {len(window)} and {len(headless)} bytes")
differing = sum(1 for i in range(0, len(window), 3) if window[i:i + 3] != headless[i:i + 3])
if differing:
    sys.exit(f"{differing} pixels of the window differ from the headless editor")
print("window and headless editor agree in every pixel")
PY

if "$build/tools/kestro-editor" --param Ratio=99 --seconds 0.3 --screenshot "$work/refused.png" 2>"$work/refused.txt"; then
  echo "an out-of-range setting was accepted" >&2
  exit 1
fi
grep -q "Ratio" "$work/refused.txt" || { echo "the refusal does not name the parameter" >&2; exit 1; }
[[ ! -e $work/refused.png ]] || { echo "a refused run wrote a screenshot" >&2; exit 1; }
echo "an out-of-range setting is refused"
