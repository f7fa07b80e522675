#!/usr/bin/env bash
# Installs what is needed, builds, installs the bundle into ~/.vst3 and runs
# it through tolmar-render on a short synthesised melody: writes demo.wav
# and demo.png in the repository root.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
cmake --install build >/dev/null
build/bin/tolmar-render --plugin "$HOME/.vst3/Tolmar Charge Chain Delay.vst3" \
  --demo demo.wav --plot demo.png "$@"
