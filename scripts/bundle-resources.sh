#!/usr/bin/env bash
# bundle-resources.sh TOOLS MODULE BUNDLE [--windows]: writes what VST3 hosts
# read from a bundle without loading it into BUNDLE/Contents/Resources: the
# editor's snapshots at 1x and 2x (kestro-snapshot, at the default state)
# and moduleinfo.json (kestro-moduleinfo, asking MODULE's factory). TOOLS is
# the native build's tools folder; --windows names everything as the
# Windows build of the same module (its class id reads the bytes as a GUID).
set -euo pipefail
tools=$1 module=$2 bundle=$3
shift 3
layout=("$@")
resources=$bundle/Contents/Resources
mkdir -p "$resources/Snapshots"
cid=$("$tools/kestro-moduleinfo" --module "$module" "${layout[@]}" --cid)
# Snapshots of a class id that is gone must not linger.
rm -f "$resources/Snapshots/"*_snapshot*.png
"$tools/kestro-snapshot" "$resources/Snapshots/${cid}_snapshot.png" >/dev/null
"$tools/kestro-snapshot" --scale 2 "$resources/Snapshots/${cid}_snapshot_2.0x.png" >/dev/null
"$tools/kestro-moduleinfo" --module "$module" "${layout[@]}" --out "$resources/moduleinfo.json"
