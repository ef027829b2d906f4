#!/usr/bin/env bash
# debian-package.sh OUT.deb [BUILD]: packages the native build (build/release
# by default) as a Debian binary package: the bundle in /usr/lib/vst3, the
# factory presets in /usr/share/vst3/presets/PelmarAcoustics/KESTRO, the
# copyright and changelog in /usr/share/doc/kestro-vst3, Depends computed by
# dpkg-shlibdeps from the module itself.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
build=${2:-build/release}
fail() {
  echo "debian-package: $*" >&2
  exit 1
}
bundle=$build/KESTRO.vst3
module=$bundle/Contents/x86_64-linux/KESTRO.so
presets=$build/presets
[[ -f $module ]] || fail "no module at $module; build it first (cmake --build --preset release)"
[[ -f $bundle/Contents/Resources/moduleinfo.json ]] || fail "the bundle in $bundle has no moduleinfo.json"
compgen -G "$presets/*.vstpreset" >/dev/null || fail "no factory presets in $presets"

# The package's version is the changelog's; the module must be that version.
version=$(sed -n '1s/^kestro-vst3 (\([^)-]*\)-[0-9]*).*/\1/p' packaging/debian/changelog)
grep -q "\"Version\": \"$version\"" "$bundle/Contents/Resources/moduleinfo.json" ||
  fail "packaging/debian/changelog says $version, the module says otherwise"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
install -d "$root/usr/lib/vst3" "$root/usr/share/vst3/presets/PelmarAcoustics/KESTRO" \
  "$root/usr/share/doc/kestro-vst3" "$root/usr/share/lintian/overrides" "$root/DEBIAN"
cp -r "$bundle" "$root/usr/lib/vst3/"
strip --strip-unneeded --remove-section=.comment --remove-section=.note \
  "$root/usr/lib/vst3/KESTRO.vst3/Contents/x86_64-linux/KESTRO.so"
cp "$presets"/*.vstpreset "$root/usr/share/vst3/presets/PelmarAcoustics/KESTRO/"
cp packaging/debian/copyright "$root/usr/share/doc/kestro-vst3/copyright"
gzip -9n <packaging/debian/changelog >"$root/usr/share/doc/kestro-vst3/changelog.Debian.gz"
# Not uploaded to Debian: there is no bug for the first upload to close.
cp packaging/debian/lintian-overrides "$root/usr/share/lintian/overrides/kestro-vst3"
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +

# dpkg-shlibdeps reads the package names from a source tree's control file.
mkdir -p "$work/src/debian"
printf 'Source: kestro\n\nPackage: kestro-vst3\nArchitecture: amd64\n' >"$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O "$root/usr/lib/vst3/KESTRO.vst3/Contents/x86_64-linux/KESTRO.so" \
  2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[[ -n $depends ]] || fail "dpkg-shlibdeps found no dependencies for the module"
size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  packaging/debian/control.in >"$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

mkdir -p "$(dirname "$out")"
dpkg-deb --build --root-owner-group -Zxz "$root" "$out" >/dev/null
echo "Debian package: $out (kestro-vst3 $version-1; Depends: $depends)"
