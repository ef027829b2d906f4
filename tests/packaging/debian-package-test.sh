#!/usr/bin/env bash
# debian-package-test.sh BUILD: builds the Debian packages from BUILD (the
# native release build) and checks them as apt would install them: lintian
# finds no errors, every file lands where hosts look (VST3 bundle in
# /usr/lib/vst3, presets in /usr/share/vst3/presets/PelmarAcoustics/KESTRO;
# LV2 bundle with its presets in /usr/lib/lv2; documentation), Depends names
# the libraries the modules link, the unpacked VST3 module renders audio and
# loads every unpacked preset, and lilv finds and runs the unpacked LV2
# plug-in.
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

# The LV2 package: the bundle with its presets in /usr/lib/lv2, found and
# instantiated from there as hosts find it.
lv2deb=$work/kestro-lv2.deb
"$source_dir/scripts/debian-package.sh" --lv2 "$lv2deb" "$build"
check "lintian reports no errors for kestro-lv2" lintian --fail-on error "$lv2deb"
dpkg-deb -c "$lv2deb" | sed -E 's/^([^ ]+ +){5}//; s|^\./|/|' >"$work/lv2files"
for path in /usr/lib/lv2/KESTRO.lv2/KESTRO.so /usr/lib/lv2/KESTRO.lv2/KESTRO_ui.so /usr/lib/lv2/KESTRO.lv2/manifest.ttl \
  /usr/lib/lv2/KESTRO.lv2/KESTRO.ttl /usr/lib/lv2/KESTRO.lv2/presets.ttl \
  /usr/share/doc/kestro-lv2/copyright /usr/share/doc/kestro-lv2/changelog.Debian.gz; do
  check "kestro-lv2 holds $path" grep -qxF "$path" "$work/lv2files"
done
check "kestro-lv2 has nothing outside /usr" bash -c "! grep -v '^/$' '$work/lv2files' | grep -v '^/usr/'"
check "kestro-lv2's Depends names libc6" grep -q libc6 <<<"$(dpkg-deb -f "$lv2deb" Depends)"
lv2root=$work/lv2root
dpkg-deb -x "$lv2deb" "$lv2root"
uri=https://pelmaracoustics.example/plugins/kestro
check "lilv finds the unpacked plug-in with its 19 ports and 12 presets" bash -c "
  info=\$(LV2_PATH='$lv2root/usr/lib/lv2' lv2info '$uri')
  [[ \$(grep -c '^\sPort [0-9]*:' <<<\"\$info\") -eq 19 ]] &&
  [[ \$(sed -n '/Presets:/,/Port 0:/p' <<<\"\$info\" | grep -c '^\s  *[A-Z0-9]') -eq 12 ]]"
# lv2apply maps a file's channels onto all audio inputs: main and sidechain.
python3 - "$work/in4.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(4); w.setsampwidth(2); w.setframerate(48000)
    w.writeframes(b"".join(struct.pack("<4h", *([int(12000 * math.sin(i * 0.05))] * 4)) for i in range(48000)))
PY
check "the unpacked module runs in lv2apply and compresses" bash -c "
  LV2_PATH='$lv2root/usr/lib/lv2' lv2apply -c threshold -30 -c ratio 5 -i '$work/in4.wav' -o '$work/lv2out.wav' '$uri' &&
  python3 -c \"import wave, sys, struct
w = wave.open('$work/lv2out.wav'); n = w.getnframes(); c = w.getnchannels(); d = w.readframes(n)
peak = max(abs(v) for v in struct.unpack('<%dh' % (n * c), d)) if w.getsampwidth() == 2 else 1
sys.exit(0 if c == 2 and n == 48000 and 0 < peak < 12000 * 0.9 else 1)\""

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "the Debian package is complete"
