#!/usr/bin/env bash
# Installs what is needed, builds the plug-ins and the tools (no tests, no
# benchmarks: scripts/test.sh builds those), installs the plug-ins into
# ~/.vst3, ~/.lv2 and ~/.clap and runs the VST 3 one through tolmar-render
# on a short synthesised melody: writes demo.wav and demo.png in the
# repository root.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build-demo -DTOLMAR_BUILD_TESTS=OFF -DTOLMAR_BUILD_BENCH=OFF
cmake --install build-demo >/dev/null
build-demo/bin/tolmar-render --plugin "$HOME/.vst3/Tolmar Charge Chain Delay.vst3" \
  --demo demo.wav --plot demo.png "$@"
