#!/usr/bin/env bash
# Installs, from Debian's archive, every package the build, the tools and the
# tests need. Idempotent: when everything is present it does nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  juce-modules-source-data
  libpng-dev zlib1g-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libsndfile1-dev
  libxcb1-dev libxcb-keysyms1-dev libxcb-shm0-dev libxcb-xtest0-dev xvfb
  python3 python3-cairo
  # Windows cross build and its tests under Wine (libpng for Windows is built
  # from Debian's source package, which needs the deb-src entries below).
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev googletest
  wine64 xvfb xauth zip dpkg-dev imagemagick
  # Installers and packages: NSIS for the Windows setup program, lintian to
  # check the Debian package.
  nsis lintian
  # The LV2 build: headers, lilv for the tests, the validator, and hosts.
  lv2-dev liblilv-dev lilv-utils sordi libsuil-dev jalv
)

# Source entries for Debian's own archives (the ones the binary packages come
# from), so that "apt-get source" works. Third-party entries are left alone:
# they may have no sources.
add_source_entries() {
  local file=/etc/apt/sources.list.d/debian.sources
  # deb822: every stanza "Types: deb" becomes "Types: deb deb-src".
  if [[ -f $file ]] && grep -E '^Types:' "$file" | grep -qvE '\bdeb-src\b'; then
    $SUDO sed -i -E '/^Types:/{/\bdeb-src\b/!s/$/ deb-src/}' "$file"
  fi
  file=/etc/apt/sources.list
  if [[ -f $file ]]; then
    local line
    while IFS= read -r line; do
      if ! grep -qxF "deb-src ${line#deb }" "$file"; then
        echo "deb-src ${line#deb }" | $SUDO tee -a "$file" >/dev/null
      fi
    done < <(grep -E '^deb .*debian' "$file")
  fi
}

if [[ $(id -u) -ne 0 ]]; then
  SUDO=sudo
else
  SUDO=
fi
add_source_entries
# Without a source index (entries just added) apt-get source finds nothing.
need_update=false
if ! compgen -G '/var/lib/apt/lists/*_Sources*' >/dev/null; then
  need_update=true
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  if $need_update; then
    $SUDO apt-get update -qq
  fi
  exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
