#!/usr/bin/env bash
# debian-package-test.sh BUILD: builds the Debian package from BUILD (the
# native release build) and checks it as apt would install it: lintian finds
# no errors, every file lands where hosts look (bundle in /usr/lib/vst3,
# presets in /usr/share/vst3/presets/PelmarAcoustics/KESTRO, documentation),
# Depends names the libraries the module links, and the unpacked module
# renders audio and loads every unpacked preset.
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  local what=$1
  shift
  if "$@" >"$work/check.log" 2>&1; then
    echo "ok: $what"
  else
    echo "FAILED: $what" >&2
    sed 's/^/  /' "$work/check.log" >&2
    failures=$((failures + 1))
  fi
}

deb=$work/kestro-vst3.deb
"$source_dir/scripts/debian-package.sh" "$deb" "$build"
check "lintian reports no errors" lintian --fail-on error "$deb"

# The listing's sixth column on is the path, spaces and all.
dpkg-deb -c "$deb" | sed -E 's/^([^ ]+ +){5}//; s|^\./|/|' >"$work/files"
for path in /usr/lib/vst3/KESTRO.vst3/Contents/x86_64-linux/KESTRO.so \
  /usr/lib/vst3/KESTRO.vst3/Contents/Resources/moduleinfo.json \
  /usr/share/doc/kestro-vst3/copyright /usr/share/doc/kestro-vst3/changelog.Debian.gz; do
  check "the package holds $path" grep -qxF "$path" "$work/files"
done
presets=$(grep -c '^/usr/share/vst3/presets/PelmarAcoustics/KESTRO/.*\.vstpreset$' "$work/files" || true)
check "the package holds the 12 factory presets (found $presets)" test "$presets" -eq 12
check "nothing outside /usr" bash -c "! grep -v '^/$' '$work/files' | grep -v '^/usr/'"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libpng16-16 libfreetype6 libxcb1; do
  check "Depends names $library" grep -q "$library" <<<"$depends"
done
check "Version is the module's" test "$(dpkg-deb -f "$deb" Version)" = \
  "$(sed -n 's/.*"Version": "\([0-9.]*\)".*/\1/p' "$build/KESTRO.vst3/Contents/Resources/moduleinfo.json" | head -1)-1"

# The files as dpkg would put them, used from there.
root=$work/root
dpkg-deb -x "$deb" "$root"
"$build/tools/kestro-demo-signal" "$work/in.wav" 1 >/dev/null
check "the unpacked module renders audio" \
  "$build/tools/kestro-render" --module "$root/usr/lib/vst3/KESTRO.vst3" "$work/in.wav" "$work/out.wav"
for preset in "$root"/usr/share/vst3/presets/PelmarAcoustics/KESTRO/*.vstpreset; do
  check "the unpacked module loads $(basename "$preset")" \
    "$build/tools/kestro-render" --module "$root/usr/lib/vst3/KESTRO.vst3" --preset "$preset" \
    "$work/in.wav" "$work/preset.wav"
done

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "the Debian package is complete"
