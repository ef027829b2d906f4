#!/usr/bin/env bash
# windows-installer.sh [--bundle DIR] [--presets DIR] [--version X.Y.Z] OUT.exe:
# builds the Windows setup (packaging/windows/KESTRO.nsi) with makensis from
# the cross-built bundle (build/windows/KESTRO.vst3), the factory presets the
# native build writes for Windows (build/release/presets-win64: the class id
# as the Windows module has it) and LICENSE. The files to install and to
# uninstall are listed here, from what the bundle holds now, so that the
# uninstaller removes exactly what the setup put down.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bundle=$root/build/windows/KESTRO.vst3
presets=$root/build/release/presets-win64
version=$(sed -n 's/^project(KESTRO VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
out=

fail() {
  echo "windows-installer: $*" >&2
  exit 1
}
while [[ $# -gt 0 ]]; do
  case $1 in
    --bundle) bundle=${2:?}; shift 2 ;;
    --presets) presets=${2:?}; shift 2 ;;
    --version) version=${2:?}; shift 2 ;;
    -*) fail "unknown option $1" ;;
    *) [[ -z $out ]] || fail "one output file, please"; out=$1; shift ;;
  esac
done
[[ -n $out ]] || fail "usage: windows-installer.sh [--bundle DIR] [--presets DIR] [--version X.Y.Z] OUT.exe"
command -v makensis >/dev/null || fail "makensis (NSIS) is not installed"
[[ -f $bundle/Contents/x86_64-win/KESTRO.vst3 ]] ||
  fail "no Windows module in $bundle: build it first (cmake --build --preset windows --target KESTRO)"
compgen -G "$presets/*.vstpreset" >/dev/null ||
  fail "no factory presets in $presets: build the release preset first"
[[ -f $root/LICENSE ]] || fail "no LICENSE in $root"
# The file version resource wants four numbers; the last is ours.
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "the version must be X.Y.Z, not '$version'"

bundle=$(cd "$bundle" && pwd)
presets=$(cd "$presets" && pwd)
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The licence page shows the text as it is: Windows line ends.
sed 's/\r*$/\r/' "$root/LICENSE" >"$work/LICENSE.txt"

size_kb=$(python3 - "$bundle" "$presets" "$work" <<'PY'
import os, sys

bundle, presets, work = sys.argv[1:4]
bad = set('<>:"|?*\\')

def windows_name(part, path):
    if any(c in bad or ord(c) < 32 for c in part) or part.endswith(('.', ' ')):
        sys.exit(f"windows-installer: {path} cannot be named so on Windows")
    return part

def nsis(text):
    # Only $ is special in a quoted NSIS string.
    return text.replace('$', '$$')

def tree(src, keep):
    """Directories (parents first) and the files in each, relative to src."""
    dirs = {(): []}
    # A link in the build tree stands for what it points to.
    for top, subdirs, files in os.walk(src, followlinks=True):
        subdirs.sort()
        rel = tuple(windows_name(p, top) for p in os.path.relpath(top, src).split(os.sep) if p != '.')
        dirs.setdefault(rel, [])
        # Windows names ignore case: two that differ only so would clash.
        seen = {}
        for name in sorted(subdirs + files):
            if seen.setdefault(name.lower(), name) != name:
                sys.exit(f"windows-installer: {top} holds both {seen[name.lower()]} and {name}")
        for name in sorted(files):
            path = os.path.join(top, name)
            if keep(name):
                dirs[rel].append((windows_name(name, path), path))
    if keep is not all_files:
        # Only the folders a preset lives in (and their parents).
        used = {rel[:i] for rel, files in dirs.items() if files for i in range(len(rel) + 1)}
        dirs = {rel: files for rel, files in dirs.items() if rel in used | {()}}
    return dirs

def all_files(name):
    return True

# makensis reads the sources by names of its own: a $ or ${ in a real name
# would be taken for a variable or define there.
sources = os.path.join(work, 'files')
os.mkdir(sources)
install, uninstall, size = [], [], 0
for dest, src, keep in (('${BUNDLE_DEST}', bundle, all_files),
                        ('${PRESET_DEST}', presets, lambda name: name.endswith('.vstpreset'))):
    dirs = tree(src, keep)
    removes = []
    for rel in sorted(dirs):
        target = dest + ''.join('\\' + nsis(p) for p in rel)
        install.append(f'SetOutPath "{target}"')
        for name, path in dirs[rel]:
            source = os.path.join(sources, str(len(install)))
            os.symlink(path, source)
            install.append(f'File "/oname={nsis(name)}" "{source}"')
            uninstall.append(f'Delete /REBOOTOK "{target}\\{nsis(name)}"')
            size += os.path.getsize(path)
        removes.append(f'RMDir "{target}"')
    # Children sort after their parent: reversed, each goes before it.
    uninstall += reversed(removes)

with open(os.path.join(work, 'install.nsh'), 'w', encoding='utf-8') as f:
    f.write('\n'.join(install) + '\n')
with open(os.path.join(work, 'uninstall.nsh'), 'w', encoding='utf-8') as f:
    f.write('\n'.join(uninstall) + '\n')
print((size + 1023) // 1024)
PY
)

# No older setup left looking new if this one fails.
rm -f "$out"
makensis -V2 -WX -INPUTCHARSET UTF8 \
  -DVERSION="$version" -DBUNDLE_DIR="$bundle" -DLICENSE_FILE="$work/LICENSE.txt" \
  -DINSTALL_LIST="$work/install.nsh" -DUNINSTALL_LIST="$work/uninstall.nsh" \
  -DSIZE_KB="$size_kb" -DOUT_FILE="$out" \
  "$root/packaging/windows/KESTRO.nsi"
[[ -s $out ]] || fail "makensis wrote no $out"
echo "Windows setup: $out ($(($(stat -c %s "$out") / 1024)) KiB, KESTRO $version)"
