#!/usr/bin/env bash
# windows-editor-shot.sh OUT.png [--param KEY=VALUE]...: builds the Windows
# editor host, plays the demo loop through the Windows module under Wine,
# opens its editor in a window on a private Xvfb display and saves a
# screenshot of the editor (ImageMagick's import).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
shift
cmake --build --preset windows -j "$(nproc)" --target KESTRO kestro-editor-host >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shoot() {
  local ready=$work/ready quit=$work/quit
  build/windows/wine-run.sh build/windows/tools/kestro-editor-host.exe \
    --module build/windows/KESTRO.vst3 "$@" --ready "$ready" --quit "$quit" --seconds 300 &
  local host=$!
  for _ in $(seq 1500); do
    [[ -s $ready ]] && break
    kill -0 "$host" 2>/dev/null || break
    sleep 0.2
  done
  local status=1
  if [[ -s $ready ]]; then
    import -window root -crop "$(head -n1 "$ready")" +repage "$out" && status=0
  else
    echo "windows-editor-shot: the editor host never showed its window" >&2
  fi
  touch "$quit"
  wait "$host" || true
  return $status
}
export -f shoot
export out work
scripts/with-xvfb.sh bash -c 'shoot "$@"' _ "$@"
echo "Windows editor screenshot: $out"
