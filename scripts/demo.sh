#!/usr/bin/env bash
# The main job: set up, build, render a demo sound through the plug-in at its default settings,
# install the VST3 and LV2 bundles where Linux hosts look for them, and say where everything went.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELLUMAR_BUILD_DIR:-$root/build}"

"$root/scripts/setup.sh"
"$root/scripts/build.sh" Vellumar_VST3 Vellumar_LV2 Vellumar_Standalone vellumar-render vellumar-demo-sound

out="$root/out"
mkdir -p "$out"
"$build/tools/vellumar-demo-sound" "$out/demo-dry.wav"
"$build/host/vellumar-render" "$out/demo-dry.wav" "$out/demo-vellumar.wav"

artefacts="$build/Vellumar_artefacts/Release"
mkdir -p "$HOME/.vst3" "$HOME/.lv2"
rm -rf "$HOME/.vst3/Vellumar.vst3" "$HOME/.lv2/Vellumar.lv2"
cp -r "$artefacts/VST3/Vellumar.vst3" "$HOME/.vst3/"
cp -r "$artefacts/LV2/Vellumar.lv2" "$HOME/.lv2/"

echo
echo "Dry demo sound:        $out/demo-dry.wav"
echo "Through Vellumar:      $out/demo-vellumar.wav"
echo "VST3 bundle installed: $HOME/.vst3/Vellumar.vst3"
echo "LV2 bundle installed:  $HOME/.lv2/Vellumar.lv2"
echo "Standalone program:    $artefacts/Standalone/Vellumar"
echo "Offline renderer:      $build/host/vellumar-render (--help for its options)"
