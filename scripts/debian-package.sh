#!/usr/bin/env bash
# debian-package.sh [--lv2] OUT.deb [BUILD]: packages the native build
# (build/release by default) as a Debian binary package, Depends computed by
# dpkg-shlibdeps from the module itself.
#   kestro-vst3: the bundle in /usr/lib/vst3, the factory presets in
#     /usr/share/vst3/presets/PelmarAcoustics/KESTRO;
#   kestro-lv2 (--lv2): the bundle (plug-in, editor, presets) in /usr/lib/lv2.
# Each with the copyright and changelog in /usr/share/doc/<package>.
set -euo pipefail
cd "$(dirname "$0")/.."
format=vst3
if [[ ${1:-} == --lv2 ]]; then
  format=lv2
  shift
fi
out=$1
build=${2:-build/release}
fail() {
  echo "debian-package: $*" >&2
  exit 1
}
package=kestro-$format
if [[ $format == vst3 ]]; then
  meta=packaging/debian
  bundle=$build/KESTRO.vst3
  module_path=usr/lib/vst3/KESTRO.vst3/Contents/x86_64-linux/KESTRO.so
  presets=$build/presets
  [[ -f $bundle/Contents/x86_64-linux/KESTRO.so ]] || fail "no module in $bundle; build it first (cmake --build --preset release)"
  [[ -f $bundle/Contents/Resources/moduleinfo.json ]] || fail "the bundle in $bundle has no moduleinfo.json"
  compgen -G "$presets/*.vstpreset" >/dev/null || fail "no factory presets in $presets"
else
  meta=packaging/debian/lv2
  bundle=$build/LV2/KESTRO.lv2
  module_path=usr/lib/lv2/KESTRO.lv2/KESTRO.so
  ui_path=usr/lib/lv2/KESTRO.lv2/KESTRO_ui.so
  for file in KESTRO.so KESTRO_ui.so manifest.ttl KESTRO.ttl presets.ttl; do
    [[ -f $bundle/$file ]] || fail "no $file in $bundle; build it first (cmake --build --preset release)"
  done
fi

# The package's version is the changelog's; the module must be that version.
version=$(sed -n "1s/^$package (\([^)-]*\)-[0-9]*).*/\1/p" "$meta/changelog")
[[ -n $version ]] || fail "$meta/changelog does not start with $package's version"
grep -q "project(KESTRO VERSION $version " CMakeLists.txt ||
  fail "$meta/changelog says $version, the build says otherwise"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
doc=$root/usr/share/doc/$package
install -d "$doc" "$root/usr/share/lintian/overrides" "$root/DEBIAN"
if [[ $format == vst3 ]]; then
  install -d "$root/usr/lib/vst3" "$root/usr/share/vst3/presets/PelmarAcoustics/KESTRO"
  cp -r "$bundle" "$root/usr/lib/vst3/"
  cp "$presets"/*.vstpreset "$root/usr/share/vst3/presets/PelmarAcoustics/KESTRO/"
else
  install -d "$root/usr/lib/lv2"
  cp -r "$bundle" "$root/usr/lib/lv2/"
fi
for binary in "$root/$module_path" ${ui_path:+"$root/$ui_path"}; do
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$binary"
done
cp packaging/debian/copyright "$doc/copyright"
gzip -9n <"$meta/changelog" >"$doc/changelog.Debian.gz"
# Not uploaded to Debian: there is no bug for the first upload to close.
cp "$meta/lintian-overrides" "$root/usr/share/lintian/overrides/$package"
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +

# dpkg-shlibdeps reads the package names from a source tree's control file.
mkdir -p "$work/src/debian"
printf 'Source: kestro\n\nPackage: %s\nArchitecture: amd64\n' "$package" >"$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O "$root/$module_path" ${ui_path:+"$root/$ui_path"} \
  2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[[ -n $depends ]] || fail "dpkg-shlibdeps found no dependencies for the module"
size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  "$meta/control.in" >"$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

mkdir -p "$(dirname "$out")"
dpkg-deb --build --root-owner-group -Zxz "$root" "$out" >/dev/null
echo "Debian package: $out ($package $version-1; Depends: $depends)"
