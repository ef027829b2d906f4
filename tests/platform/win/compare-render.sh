#!/usr/bin/env bash
# compare-render.sh WINE_RUN WINDOWS_BUILD LINUX_BUILD WORK: renders the
# built-in demo through the Windows module (under Wine) and through the
# Linux module with the same host program, settings and block size, in both
# sample precisions (each written in its own precision), and requires the
# outputs to be identical.
set -euo pipefail
wine_run=$1
windows=$2
linux=$3
work=$4

for tool in tools/kestro-demo-signal tools/kestro-render-raw KESTRO.vst3/Contents/x86_64-linux/KESTRO.so; do
  if [[ ! -e $linux/$tool ]]; then
    echo "the Linux build in $linux has no $tool: build the release preset first"
    exit 1
  fi
done
mkdir -p "$work"
"$linux/tools/kestro-demo-signal" "$work/demo.f32" >/dev/null

# The demo's settings (scripts/demo.sh), and a second set with the
# oversampled colour stage at 16x and a slow release.
settings=(
  "--param Threshold=-20 --param Ratio=2 --param Attack=2 --param Release=3 --param Output=6 --param Mix=100"
  "--param Threshold=-30 --param Ratio=5 --param Attack=0 --param Release=5 --param Oversample=1 --param Mix=70"
  "--rate 48000 --param Threshold=-12.5 --param Ratio=4 --param Attack=4 --param Release=1 --param Sidechain=0.7 --param Output=-3.3"
)
status=0
for precision in 32 64; do
  for i in "${!settings[@]}"; do
    name="p${precision}-s${i}"
    # shellcheck disable=SC2086
    "$linux/tools/kestro-render-raw" --module "$linux/KESTRO.vst3" --precision "$precision" ${settings[$i]} \
      "$work/demo.f32" "$work/$name-linux.raw"
    # shellcheck disable=SC2086
    "$wine_run" "$windows/tools/kestro-render-raw.exe" --module "$windows/KESTRO.vst3" --precision "$precision" \
      ${settings[$i]} "$work/demo.f32" "$work/$name-windows.raw"
    if cmp -s "$work/$name-linux.raw" "$work/$name-windows.raw"; then
      echo "$name: identical ($(stat -c %s "$work/$name-linux.raw") bytes)"
    else
      status=1
      python3 - "$work/$name-linux.raw" "$work/$name-windows.raw" "$name" "$precision" <<'PY'
import array, sys
kind = 'd' if sys.argv[4] == '64' else 'f'
a, b = array.array(kind), array.array(kind)
a.frombytes(open(sys.argv[1], 'rb').read())
b.frombytes(open(sys.argv[2], 'rb').read())
if len(a) != len(b):
    print(f"{sys.argv[3]}: lengths differ: {len(a)} and {len(b)} samples")
    sys.exit()
diff = [i for i in range(len(a)) if a[i] != b[i]]
worst = max(abs(a[i] - b[i]) for i in diff)
print(f"{sys.argv[3]}: {len(diff)} of {len(a)} samples differ, first at frame {diff[0] // 2}, largest difference {worst:.3g}")
PY
    fi
  done
done
exit $status
