#!/usr/bin/env bash
# windows-installer-test.sh SETUP.exe WINDOWS_BUILD [PRESET_DIR]: installs
# the Windows setup silently in a fresh Wine prefix of its own and checks
# what lands where, the Apps & Features entry, that a host loads the
# installed module (kestro-render-raw.exe) and that the uninstaller leaves
# the prefix as it was. Then the upgrade: an older setup (built here from a
# bundle with a file this version dropped) is replaced by this one, and the
# uninstall keeps what the user put beside and inside our folders.
#
# PRESET_DIR defaults to the presets the native release build writes for
# Windows (build/release/presets-win64). KESTRO_WINE names the wine64
# loader; KESTRO_KEEP_WORK=1 keeps the prefix for a look.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
if [[ $# -lt 2 || $# -gt 3 ]]; then
  echo "usage: windows-installer-test.sh SETUP.exe WINDOWS_BUILD [PRESET_DIR]" >&2
  exit 2
fi
setup=$(realpath "$1")
build=$(realpath "$2")
presets=$(realpath "${3:-$root/build/release/presets-win64}")
wine=${KESTRO_WINE:-/usr/lib/wine/wine64}
wineserver=$(dirname "$wine")/wineserver
version=$(sed -n 's/^project(KESTRO VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
old_version=6.0.0
[[ $old_version != "$version" ]] || old_version=0.0.1

for input in "$setup" "$build/KESTRO.vst3/Contents/x86_64-win/KESTRO.vst3" "$build/tools/kestro-render-raw.exe" \
  "$wine" "$wineserver"; do
  if [[ ! -e $input ]]; then
    echo "windows-installer-test: $input is missing (build the windows preset and the setup first)" >&2
    exit 2
  fi
done
# The bundle itself, not a link to it: the older setup is staged from a copy.
bundle_src=$(realpath "$build/KESTRO.vst3")
compgen -G "$presets/*.vstpreset" >/dev/null || {
  echo "windows-installer-test: no presets in $presets (build the release preset first)" >&2
  exit 2
}

# The prefix lives in the build tree: Wine keeps file attributes in extended
# attributes, which a tmpfs /tmp may not have.
work=$(mktemp -d "$build/installer-test.XXXXXX")
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  timeout 30 "$wineserver" -k >/dev/null 2>&1 || true
  if [[ ${KESTRO_KEEP_WORK:-} == 1 ]]; then
    echo "kept $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

failures=0
ok() { echo "ok    $*"; }
bad() {
  echo "FAIL  $*"
  failures=$((failures + 1))
}
die() {
  echo "FAIL  $*"
  echo "windows-installer-test: stopped"
  exit 1
}
expect() { # expect WHAT ACTUAL WANTED
  if [[ $2 == "$3" ]]; then ok "$1: $2"; else bad "$1 is '$2', not '$3'"; fi
}

# A hang must not hold CI; nothing here waits for input.
run() { timeout --kill-after=10 120 "$wine" "$@" </dev/null; }
# Waits until no program runs in the prefix: a silent NSIS uninstaller
# starts a copy of itself from the temp folder and returns at once.
settle() { timeout --kill-after=10 120 "$wineserver" -w || die "the Wine programs did not finish"; }
unix_path() { realpath -m "$(run winepath -u "$1" | tr -d '\r')"; }

# Every path in drive C but the temp folders (the uninstaller's copy stays
# there until a reboot).
snapshot() {
  (cd "$WINEPREFIX/drive_c" && find . -path './users/*/Temp' -prune -o -print | LC_ALL=C sort)
}
# snapshot_is BEFORE AFTER ALLOWED...: AFTER holds what BEFORE did plus the
# ALLOWED paths (relative to drive C, with their folders), nothing more.
snapshot_is() {
  local before=$1 after=$2 what=$3 status=0
  shift 3
  local allowed=$work/allowed added=$work/added missing=$work/missing
  for path in "$@"; do
    while [[ $path != . ]]; do
      echo "$path"
      path=$(dirname "$path")
    done
  done | LC_ALL=C sort -u | LC_ALL=C comm -23 - "$before" >"$allowed"
  LC_ALL=C comm -13 "$before" "$after" | LC_ALL=C comm -23 - "$allowed" >"$added"
  LC_ALL=C comm -23 "$before" "$after" >"$missing"
  LC_ALL=C comm -23 "$allowed" "$after" >>"$missing"
  if [[ -s $added ]]; then
    bad "$what: left behind in drive C:"
    sed 's/^/        /' "$added"
    status=1
  fi
  if [[ -s $missing ]]; then
    bad "$what: gone from drive C:"
    sed 's/^/        /' "$missing"
    status=1
  fi
  [[ $status == 1 ]] || ok "$what: drive C holds nothing else"
}
# tree_is SOURCE DEST [EXTRA...]: DEST has SOURCE's files, the same bytes,
# and besides them only the EXTRA names (relative to DEST).
tree_is() {
  local source=$1 dest=$2 what=$3
  shift 3
  if [[ ! -d $dest ]]; then
    bad "$what: $dest is missing"
    return
  fi
  local want have
  want=$( (cd "$source" && find . -type f; [[ $# == 0 ]] || printf './%s\n' "$@") | LC_ALL=C sort)
  have=$(cd "$dest" && find . -type f | LC_ALL=C sort)
  if [[ $want != "$have" ]]; then
    bad "$what: the files differ from $source (< wanted, > installed):"
    diff <(echo "$want") <(echo "$have") | grep '^[<>]' | sed 's/^/        /'
    return
  fi
  local file same=true
  while IFS= read -r -d '' file; do
    cmp -s "$source/$file" "$dest/$file" || { bad "$what: $file differs from $source/$file"; same=false; }
  done < <(cd "$source" && find . -type f -print0)
  ! $same || ok "$what: $(echo "$have" | wc -l) files as built"
}

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KESTRO'
reg_values() { run reg query "$key" 2>/dev/null | tr -d '\r'; }
reg_value() { awk -F'    ' -v name="$1" '$2 == name { print $4 }' <<<"$values"; }
# Apps & Features entries named KESTRO, in both registry views.
entries() {
  local count=0 view
  for view in 'HKLM\Software' 'HKLM\Software\WOW6432Node'; do
    count=$((count + $(run reg query "$view\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null |
      tr -d '\r' | grep -cE '^ +DisplayName +REG_SZ +KESTRO$' || true)))
  done
  echo "$count"
}

# check_entry VERSION FILES...: the Apps & Features entry, against the
# installed files.
check_entry() {
  local want_version=$1
  shift
  values=$(reg_values) || {
    bad "no $key"
    return
  }
  expect DisplayName "$(reg_value DisplayName)" KESTRO
  expect DisplayVersion "$(reg_value DisplayVersion)" "$want_version"
  expect Publisher "$(reg_value Publisher)" PelmarAcoustics
  local location
  location=$(reg_value InstallLocation)
  expect "InstallLocation ($location)" "$(unix_path "$location")" "$bundle_dest"
  local uninstall quiet uninstaller
  uninstall=$(reg_value UninstallString)
  quiet=$(reg_value QuietUninstallString)
  uninstaller=${uninstall#\"}
  uninstaller=${uninstaller%\"}
  if [[ $uninstall != "\"$uninstaller\"" ]]; then
    bad "UninstallString is not one quoted path: $uninstall"
  elif [[ ! -f $(unix_path "$uninstaller") ]]; then
    bad "UninstallString names no file: $uninstall"
  else
    ok "UninstallString: $uninstall"
  fi
  expect QuietUninstallString "$quiet" "$uninstall /S"
  # Kilobytes, at least what the files take (the uninstaller adds a little).
  local size kb bytes
  size=$(reg_value EstimatedSize)
  [[ $size =~ ^0x[0-9a-f]+$ ]] && kb=$((size)) || kb=0
  bytes=$( (($# > 0)) && cat "$@" | wc -c || echo 0)
  if ((kb * 1024 >= bytes && kb * 1024 < bytes + 1024 * 1024)); then
    ok "EstimatedSize: $kb KiB for $bytes bytes"
  else
    bad "EstimatedSize is '$size' KiB for $bytes bytes of files"
  fi
}

echo "=== the setup's build refuses what it cannot install"
bad_bundle=$work/bad/KESTRO.vst3
mkdir -p "$bad_bundle/Contents/x86_64-win"
touch "$bad_bundle/Contents/x86_64-win/KESTRO.vst3" "$bad_bundle/Contents/what?.txt"
refused() { # refused WHAT ARGS...: the build fails and writes no setup
  local what=$1
  shift
  if "$root/scripts/windows-installer.sh" "$@" "$work/bad/setup-test.exe" >"$work/bad/log" 2>&1 ||
    [[ -e $work/bad/setup-test.exe ]]; then
    bad "the setup was built from $what"
  else
    ok "refused $what: $(tail -n1 "$work/bad/log")"
  fi
}
refused "a file Windows cannot name" --bundle "$bad_bundle"
refused "no presets" --presets "$work/bad"
refused "no module" --bundle "$work/bad"

# silently PROGRAM WHAT: runs a setup or uninstaller with /S and waits for
# Wine to settle; the exit status must be 0.
silently() {
  local status=0
  run "$1" /S || status=$?
  settle
  [[ $status == 0 ]] || bad "$2 exited with $status"
  return "$status"
}

echo "=== a fresh Wine prefix in $WINEPREFIX"
timeout 300 "$wine" wineboot -i </dev/null >/dev/null 2>&1 || die "could not make the Wine prefix"
settle
folders=$(run cmd /c 'echo %CommonProgramFiles%& echo %ProgramData%& echo %ProgramFiles%' | tr -d '\r')
common_files=$(sed -n 1p <<<"$folders")
program_data=$(sed -n 2p <<<"$folders")
program_files=$(sed -n 3p <<<"$folders")
[[ -n $common_files && -n $program_data && -n $program_files ]] || die "Wine named no system folders: $folders"
bundle_win="$common_files\\VST3\\KESTRO.vst3"
vst3_root=$(unix_path "$common_files\\VST3")
bundle_dest=$vst3_root/KESTRO.vst3
preset_root=$(unix_path "$program_data\\VST3 Presets")
preset_dest=$preset_root/PelmarAcoustics/KESTRO
uninstaller_dest=$(unix_path "$program_files\\PelmarAcoustics\\KESTRO\\Uninstall KESTRO.exe")
drive_c=$(realpath "$WINEPREFIX/drive_c")
rel() { echo ".${1#"$drive_c"}"; }
snapshot >"$work/fresh.txt"

# The factory presets as the setup ships them.
mkdir "$work/presets"
cp "$presets"/*.vstpreset "$work/presets/"
preset_files=("$work"/presets/*.vstpreset)
bundle_files=()
while IFS= read -r -d '' file; do bundle_files+=("$file"); done < <(find "$bundle_src" -type f -print0)

echo "=== install $(basename "$setup") /S"
silently "$setup" "the setup" || die "the setup failed"
tree_is "$bundle_src" "$bundle_dest" "bundle in %CommonProgramFiles%\\VST3"
tree_is "$work/presets" "$preset_dest" "presets in %ProgramData%\\VST3 Presets\\PelmarAcoustics\\KESTRO"
# A host offers a preset only for the class it names.
if [[ -f $bundle_dest/Contents/Resources/moduleinfo.json ]]; then
  if message=$(python3 - "$bundle_dest/Contents/Resources/moduleinfo.json" "$preset_dest" <<'PY'
import json, os, sys
info, presets = sys.argv[1:3]
cids = {c["CID"] for c in json.load(open(info))["Classes"] if c["Category"] == "Audio Module Class"}
wrong = []
for name in sorted(os.listdir(presets)):
    head = open(os.path.join(presets, name), 'rb').read(40)
    if head[:4] != b'VST3' or head[8:40].decode('ascii', 'replace') not in cids:
        wrong.append(f"{name} ({head[8:40].decode('ascii', 'replace')})")
if wrong:
    sys.exit(f"not for the installed module's class {', '.join(sorted(cids))}: {', '.join(wrong)}")
print(', '.join(sorted(cids)))
PY
  ); then ok "the presets name the installed module's class $message"; else bad "presets $message"; fi
fi
if [[ -f $uninstaller_dest ]]; then ok "uninstaller: $(rel "$uninstaller_dest")"; else bad "no $uninstaller_dest"; fi
snapshot >"$work/installed.txt"
installed=()
while IFS= read -r path; do installed+=("$path"); done < <(
  cd "$drive_c" && find "$(rel "$bundle_dest")" "$(rel "$preset_dest")" "$(rel "$uninstaller_dest")")
snapshot_is "$work/fresh.txt" "$work/installed.txt" "after the install" "${installed[@]}"
check_entry "$version" "${bundle_files[@]}" "${preset_files[@]}"
if run reg query 'HKLM\Software\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\KESTRO' >/dev/null 2>&1; then
  bad "the entry is in the 32-bit registry view too"
else
  ok "no entry in the 32-bit registry view"
fi
if [[ -f $bundle_src/desktop.ini ]]; then
  marks=$(run cmd /c attrib "$bundle_win\\desktop.ini" | tr -d '\r' | cut -c1-12)
  if [[ $marks == *H* && $marks == *S* ]]; then ok "desktop.ini is hidden and system ($marks)"; else
    bad "desktop.ini's attributes are '$marks', not hidden and system"
  fi
fi

echo "=== a host loads the installed module"
python3 - "$work/in.f32" <<'PY'
import array, math, sys
# Half a second of a loud 220 Hz tone, stereo, 44.1 kHz.
samples = array.array('f')
for i in range(22050):
    s = 0.7 * math.sin(2 * math.pi * 220 * i / 44100)
    samples.extend((s, -s))
open(sys.argv[1], 'wb').write(samples.tobytes())
PY
status=0
run "$build/tools/kestro-render-raw.exe" --module "$bundle_win" --param Threshold=-30 --param Ratio=4 \
  "$(run winepath -w "$work/in.f32" | tr -d '\r')" "$(run winepath -w "$work/out.f32" | tr -d '\r')" || status=$?
if [[ $status != 0 ]]; then
  bad "kestro-render-raw.exe exited with $status on the installed module"
elif message=$(python3 - "$work/in.f32" "$work/out.f32" <<'PY'
import array, math, sys
a, b = array.array('f'), array.array('f')
a.frombytes(open(sys.argv[1], 'rb').read())
b.frombytes(open(sys.argv[2], 'rb').read())
if len(a) != len(b):
    sys.exit(f"{len(b)} samples out for {len(a)} in")
if not all(math.isfinite(x) for x in b):
    sys.exit("the output is not finite")
peak = max(abs(x) for x in b)
change = max(abs(x - y) for x, y in zip(a, b))
if peak < 1e-3 or change < 1e-3:
    sys.exit(f"the output is silent or untouched (peak {peak:.4f}, largest change {change:.4f})")
print(f"{len(b) // 2} frames, peak {peak:.3f}, compressed by up to {change:.3f}")
PY
); then
  ok "rendered through the installed module: $message"
else
  bad "kestro-render-raw.exe's output: $message"
fi

# As Apps & Features does: the quiet command from the entry.
uninstall() {
  values=$(reg_values) || die "no entry to uninstall with"
  local quiet program
  quiet=$(reg_value QuietUninstallString)
  program=${quiet%\" /S}
  program=${program#\"}
  silently "$program" "the uninstaller" || true
}

echo "=== uninstall"
uninstall
snapshot >"$work/uninstalled.txt"
snapshot_is "$work/fresh.txt" "$work/uninstalled.txt" "after the uninstall"
if reg_values >/dev/null; then bad "$key is still there"; else ok "the entry is gone"; fi

echo "=== upgrade from $old_version, beside the user's files"
# The older version shipped a file this one dropped, a preset whose name
# NSIS would read as a variable, and a bundle icon (desktop.ini).
mkdir -p "$work/old/presets"
cp -rL "$bundle_src" "$work/old/KESTRO.vst3"
mkdir -p "$work/old/KESTRO.vst3/Contents/Resources"
echo '{"retired": true}' >"$work/old/KESTRO.vst3/Contents/Resources/retired.json"
[[ -f $work/old/KESTRO.vst3/desktop.ini ]] || printf '[.ShellClassInfo]\r\nIconResource=PlugIn.ico,0\r\n' \
  >"$work/old/KESTRO.vst3/desktop.ini"
cp "${preset_files[0]}" "$work/old/presets/"
cp "${preset_files[0]}" "$work/old/presets/Retired \$Bus.vstpreset"
"$root/scripts/windows-installer.sh" --bundle "$work/old/KESTRO.vst3" --presets "$work/old/presets" \
  --version "$old_version" "$work/KESTRO-$old_version-win64-setup.exe" >/dev/null || die "could not build the older setup"
silently "$work/KESTRO-$old_version-win64-setup.exe" "the $old_version setup" || die "the $old_version setup failed"
tree_is "$work/old/KESTRO.vst3" "$bundle_dest" "$old_version bundle"
tree_is "$work/old/presets" "$preset_dest" "$old_version presets"
values=$(reg_values) || die "the $old_version setup wrote no entry"
expect "$old_version DisplayVersion" "$(reg_value DisplayVersion)" "$old_version"

# What the user keeps: another plug-in, a preset of their own in our
# folder, another vendor's presets and a note inside our bundle.
foreign=(
  "$vst3_root/Other.vst3/Contents/x86_64-win/Other.vst3"
  "$preset_dest/My Own Bus.vstpreset"
  "$preset_root/Other Vendor/Other/Init.vstpreset"
  "$bundle_dest/Contents/Resources/my notes.txt"
)
for file in "${foreign[@]}"; do
  mkdir -p "$(dirname "$file")"
  echo "the user's $(basename "$file")" >"$file"
done
foreign_rel=()
for file in "${foreign[@]}"; do foreign_rel+=("$(rel "$file")"); done

silently "$setup" "the upgrade" || die "the upgrade failed"
tree_is "$bundle_src" "$bundle_dest" "upgraded bundle (retired.json gone)" "Contents/Resources/my notes.txt"
tree_is "$work/presets" "$preset_dest" "upgraded presets (the retired one gone)" "My Own Bus.vstpreset"
snapshot >"$work/upgraded.txt"
snapshot_is "$work/fresh.txt" "$work/upgraded.txt" "after the upgrade" "${installed[@]}" "${foreign_rel[@]}"
check_entry "$version" "${bundle_files[@]}" "${preset_files[@]}"
expect "Apps & Features entries named KESTRO" "$(entries)" 1

echo "=== uninstall beside the user's files"
uninstall
snapshot >"$work/uninstalled-again.txt"
snapshot_is "$work/fresh.txt" "$work/uninstalled-again.txt" "after the uninstall" "${foreign_rel[@]}"
for file in "${foreign[@]}"; do
  [[ $(cat "$file" 2>/dev/null) == "the user's $(basename "$file")" ]] || bad "the user's $(rel "$file") was touched"
done
if reg_values >/dev/null; then bad "$key is still there"; else ok "the entry is gone"; fi
expect "Apps & Features entries named KESTRO" "$(entries)" 0

echo
if [[ $failures == 0 ]]; then
  echo "windows-installer-test: all passed"
else
  echo "windows-installer-test: $failures failed"
  exit 1
fi
