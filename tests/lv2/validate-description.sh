#!/usr/bin/env bash
# Validates the bundle's Turtle files against the LV2 specifications'
# schemas installed with lv2-dev: sord_validate must find no error.
set -euo pipefail
bundle=$1
specs=()
for spec in /usr/lib/lv2/*.lv2; do
  # The specifications only: bundles with a binary are plug-ins.
  if grep -qs "lv2:binary" "$spec/manifest.ttl"; then continue; fi
  specs+=("$spec"/*.ttl)
done
report=$(sord_validate "${specs[@]}" "$bundle"/*.ttl 2>&1) || true
echo "$report"
grep -q "^Found 0 errors" <<<"$report"
