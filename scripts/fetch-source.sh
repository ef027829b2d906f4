#!/usr/bin/env bash
# fetch-source.sh PACKAGE DEST: unpacks Debian's source package PACKAGE into
# DEST (once) and prints the unpacked folder. Tries the newest version the
# source index lists first and falls back to older ones, because a mirror
# may list a source it does not serve (security updates).
set -euo pipefail
package=$1
dest=$2
mkdir -p "$dest"
cd "$dest"

existing=$(find . -mindepth 1 -maxdepth 1 -type d -name "${package}-*" -print -quit)
if [[ -n $existing && -f $existing/.kestro-complete ]]; then
  echo "$PWD/${existing#./}"
  exit 0
fi
rm -rf ./"${package}"-* ./"${package}"_*

versions=$(apt-cache showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -Vr | uniq)
if [[ -z $versions ]]; then
  echo "fetch-source.sh: no source of $package in the apt lists; run scripts/install-deps.sh" >&2
  exit 1
fi
for version in $versions; do
  if timeout 600 apt-get source -qq "${package}=${version}" >&2; then
    dir=$(find . -mindepth 1 -maxdepth 1 -type d -name "${package}-*" -print -quit)
    touch "$dir/.kestro-complete"
    echo "$PWD/${dir#./}"
    exit 0
  fi
  rm -rf ./"${package}"-* ./"${package}"_*
  echo "fetch-source.sh: ${package} ${version} not available, trying an older version" >&2
done
echo "fetch-source.sh: could not fetch the source of $package" >&2
exit 1
