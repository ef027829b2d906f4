#!/usr/bin/env bash
# The main job: build KESTRO, play the built-in drum-and-bass demo through it
# as a host would (kestro-render loads the VST3 bundle), and plot what the
# compressor did to the level.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target KESTRO kestro-info kestro-demo-signal kestro-render kestro-snapshot \
  kestro-editor kestro_presets kestro_bundle_resources kestro_lv2_bundle

tools=build/release/tools
# What a host sees of the plug-in, and a quick run of the compressor itself.
"$tools/kestro-info"
echo
out=out/demo
mkdir -p "$out"

# A bus setting with clearly audible but musical gain reduction: -20 dB
# threshold, ratio position 2 (3:1), attack position 2 (0.45 ms), release
# position 3 (250 ms), 6 dB make-up, fully wet.
makeup=6
settings=(--param Threshold=-20 --param Ratio=2 --param Attack=2 --param Release=3
  --param Output="$makeup" --param Mix=100)
"$tools/kestro-demo-signal" "$out/input.wav"
"$tools/kestro-render" "${settings[@]}" \
  --envelope "$out/levels.csv" \
  "$out/input.wav" "$out/output.wav"
# The editor as it looks at the end of the demo, meter deflected.
"$tools/kestro-snapshot" "${settings[@]}" --input "$out/input.wav" "$out/editor.png"
# The same at twice the density, as on a 200 % display, with the value
# read-out the pointer shows over the threshold knob.
"$tools/kestro-snapshot" "${settings[@]}" --input "$out/input.wav" --scale 2 --hover Threshold "$out/editor@2x.png"
# The same state in a real X11 window: the Linux test host plays the demo
# through the module, then embeds the editor as a Linux host does (on a
# private Xvfb when there is no display).
if [[ -z ${DISPLAY:-} ]]; then
  source scripts/start-xvfb.sh
  kestro_start_xvfb
fi
"$tools/kestro-editor" "${settings[@]}" --input "$out/input.wav" --seconds 0.5 --screenshot "$out/editor-x11.png"
# And as a host on a 200 % screen shows it: the view takes the host's factor.
"$tools/kestro-editor" "${settings[@]}" --input "$out/input.wav" --scale 2 --seconds 0.5 \
  --screenshot "$out/editor-x11@2x.png"
/usr/bin/python3 tools/plot-levels/plot_levels.py "$out/levels.csv" "$out/levels.png" \
  --makeup "$makeup" \
  --title "KESTRO on the built-in demo: input and output level" \
  --subtitle "Threshold -20 dB, ratio 3:1, attack 0.45 ms, release 250 ms, make-up +${makeup} dB, mix 100 %"

# The Debian packages of the Linux bundles and the factory presets.
scripts/debian-package.sh out/kestro-vst3_6.1.0-1_amd64.deb
scripts/debian-package.sh --lv2 out/kestro-lv2_6.1.0-1_amd64.deb

# The Windows bundle, cross-built, zipped as users install it.
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target KESTRO kestro_bundle_resources
rm -f out/KESTRO-win64.zip
(cd build/windows && zip -qr ../../out/KESTRO-win64.zip KESTRO.vst3)
# The Windows setup: bundle, factory presets and licence, with an uninstaller.
scripts/windows-installer.sh out/KESTRO-6.1.0-win64-setup.exe

# The same editor in a window under Wine, as a Windows host shows it after
# the demo (scripts/windows-editor-shot.sh).
scripts/windows-editor-shot.sh out/windows-editor.png "${settings[@]}"
scripts/windows-editor-shot.sh out/windows-editor@2x.png --scale 2 "${settings[@]}"

dir=$(cd "$out" && pwd)
echo
echo "Demo written to ${dir}:"
echo "  input.wav    the demo signal (11 s, stereo, 44.1 kHz)"
echo "  output.wav   the same through KESTRO"
echo "  levels.png   input and output level over time, with the gain reduction"
echo "  levels.csv   the levels behind the plot, per 10 ms"
echo "  editor.png   the editor at the end of the demo, with the gain-reduction meter deflected"
echo "  editor@2x.png  the same at twice the density, the pointer resting on the threshold knob"
echo "  editor-x11.png  the same state in the editor's X11 window inside the Linux test host"
echo "  editor-x11@2x.png  that window on a host that scales by 2"
echo "  ../windows-editor.png  the Windows editor in its window under Wine (out/windows-editor.png)"
echo "  ../windows-editor@2x.png  the same on a host that scales by 2"
echo
echo "Packages:"
echo "  Windows: $(pwd)/out/KESTRO-6.1.0-win64-setup.exe"
echo "  Debian:  $(pwd)/out/kestro-vst3_6.1.0-1_amd64.deb (VST3)"
echo "           $(pwd)/out/kestro-lv2_6.1.0-1_amd64.deb (LV2)"
echo
echo "VST3 bundles:"
echo "  Linux:   $(pwd)/build/release/KESTRO.vst3"
echo "  Windows: $(pwd)/out/KESTRO-win64.zip (KESTRO.vst3/ inside; built in $(pwd)/build/windows/KESTRO.vst3)"
echo
echo "LV2 bundle (Linux): $(pwd)/build/release/LV2/KESTRO.lv2"
