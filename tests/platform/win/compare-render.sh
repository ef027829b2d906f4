#!/usr/bin/env bash
# compare-render.sh WINE_RUN WINDOWS_BUILD LINUX_BUILD WORK: renders the
# built-in demo through the Windows module (under Wine) and through the
# Linux module with the same host program, settings and block size, in both
# sample precisions (each written in its own precision).
#
# 32-bit output must be identical. 64-bit output may differ in the last bits:
# the gain computer takes log10 and pow of the level every sample, and
# mingw-w64's runtime rounds those differently from glibc for a few arguments
# in a thousand (1 ulp). What reaches the output stays within a few ulps of
# each sample (7 seen); more than 16 would mean a real difference.
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
  "--rate 48000 --param Threshold=-12.5 --param Ratio=4 --param Attack=4 --param Release=1 --param 5=0.7 --param Output=-3.3"
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
    elif ! python3 - "$work/$name-linux.raw" "$work/$name-windows.raw" "$name" "$precision" <<'PY'
import array, math, sys
linux, windows, name, precision = sys.argv[1:5]
kind = 'd' if precision == '64' else 'f'
a, b = array.array(kind), array.array(kind)
a.frombytes(open(linux, 'rb').read())
b.frombytes(open(windows, 'rb').read())
if len(a) != len(b):
    print(f"{name}: lengths differ: {len(a)} and {len(b)} samples")
    sys.exit(1)
diff = [i for i in range(len(a)) if a[i] != b[i]]
ulps = max(abs(a[i] - b[i]) / math.ulp(max(abs(a[i]), abs(b[i]))) for i in diff)
print(f"{name}: {len(diff)} of {len(a)} samples differ, first at frame {diff[0] // 2}, "
      f"by at most {ulps:.0f} ulp")
sys.exit(0 if kind == 'd' and ulps <= 16 else 1)
PY
    then
      status=1
    fi
  done
done
exit $status
