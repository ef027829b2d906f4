#!/usr/bin/env bash
# hover.sh BUILD WORK: kestro-snapshot --hover draws the value read-out in its
# strip right of the title and changes nothing else; an ambiguous or unknown
# name is refused, says what works, and writes nothing.
set -euo pipefail
build=$1
work=$2
mkdir -p "$work"
rm -f "$work"/*.png
snapshot=$build/tools/kestro-snapshot
"$snapshot" --seconds 0 "$work/rest.png" >/dev/null
"$snapshot" --seconds 0 --hover Ratio "$work/hover.png" >/dev/null
python3 - "$work/rest.png" "$work/hover.png" <<'PY'
import subprocess, sys
def pixels(path):
    return subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
rest, hover = (pixels(p) for p in sys.argv[1:3])
width = 1020
inside = outside = 0
for i in range(0, len(rest), 3):
    if rest[i:i + 3] != hover[i:i + 3]:
        x, y = (i // 3) % width, (i // 3) // width
        if 160 <= x < 800 and 6 <= y < 26:
            inside += 1
        else:
            outside += 1
if outside or not inside:
    sys.exit(f"{inside} pixels changed in the read-out strip, {outside} outside it")
print(f"the read-out changes {inside} pixels, all in its strip")
PY
refuse() {
  local name=$1 says=$2
  if "$snapshot" --seconds 0 --hover "$name" "$work/refused.png" 2>"$work/refused.txt"; then
    echo "--hover $name was accepted" >&2
    exit 1
  fi
  [[ ! -e $work/refused.png ]] || { echo "a refused run wrote a picture" >&2; exit 1; }
  grep -qF -- "$says" "$work/refused.txt" || { echo "--hover $name: the refusal does not say '$says'" >&2; exit 1; }
}
refuse Sidechain "use the id, e.g. --hover 9"
refuse Nope "unknown parameter 'Nope'"
echo "ambiguous and unknown names are refused"
