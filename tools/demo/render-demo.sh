#!/usr/bin/env bash
# Renders the demo: a synthesised riff, the pedal's sound on it and a picture comparing them.
# usage: tools/demo/render-demo.sh DIST_DIR
#   DIST_DIR holds torvo-render, torvo-make-riff, torvo-compare-plot and Torvo-Mell.so;
#   the results go to DIST_DIR/demo/.
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: $0 DIST_DIR" >&2
  exit 2
fi
dist=$(cd "$1" && pwd)
for tool in torvo-render torvo-make-riff torvo-compare-plot; do
  if [[ ! -x "$dist/$tool" ]]; then
    echo "$0: $dist/$tool is missing" >&2
    exit 1
  fi
done
plugin="$dist/Torvo-Mell.so"
if [[ ! -f "$plugin" ]]; then
  echo "$0: $plugin is missing" >&2
  exit 1
fi

out="$dist/demo"
mkdir -p "$out"
"$dist/torvo-make-riff" "$out/dry.wav"
"$dist/torvo-render" "$plugin" "$out/dry.wav" "$out/fuzz.wav" --program 0
"$dist/torvo-render" "$plugin" "$out/dry.wav" "$out/fuzz-attack1-cab-off.wav" --param 1=1 --param 3=0
"$dist/torvo-compare-plot" "$out/compare.png" "$out/dry.wav" "$out/fuzz.wav" "$out/fuzz-attack1-cab-off.wav"
echo "demo written to $out: dry.wav fuzz.wav fuzz-attack1-cab-off.wav compare.png"
