#!/usr/bin/env bash
# The main job: build KESTRO and run it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target kestro-info
build/release/tools/kestro-info
