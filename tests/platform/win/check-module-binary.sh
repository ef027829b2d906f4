#!/usr/bin/env bash
# check-module-binary.sh OBJDUMP MODULE: the Windows module exports exactly
# the VST3 entry points and imports only DLLs that every Windows has (the
# C++ runtime, libgcc and winpthread are linked in).
set -euo pipefail
objdump=$1
module=$2
headers=$("$objdump" -p "$module")
status=0

exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
if [[ $exports != "ExitDll GetPluginFactory InitDll " ]]; then
  echo "exports are '$exports', expected 'ExitDll GetPluginFactory InitDll'"
  status=1
fi

# System DLLs present on every Windows since 7.
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll ole32.dll oleaut32.dll shell32.dll comdlg32.dll comctl32.dll msvcrt.dll wininet.dll shlwapi.dll msimg32.dll "
while read -r dll; do
  lower=${dll,,}
  if [[ $allowed != *" $lower "* ]]; then
    echo "imports $dll, which a user's Windows may not have"
    status=1
  fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")

if ! grep -q 'DLL$' <<<"$(sed -n '/^Characteristics/,/^$/p' <<<"$headers")"; then
  echo "$module is not a DLL"
  status=1
fi
if ! grep -qE '^Magic\s+020b' <<<"$headers"; then
  echo "$module is not a 64-bit (PE32+) image"
  status=1
fi
if ! "$objdump" -h "$module" | grep -q '\.rsrc'; then
  echo "$module has no resources"
  status=1
fi
if ((status == 0)); then
  echo "exports: $exports"
  echo "imports: $(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr '\n' ' ')"
fi
exit $status
