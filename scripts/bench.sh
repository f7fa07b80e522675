#!/usr/bin/env bash
# Installs what is needed, builds, and runs the ProcessBlock benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
build/bench/tolmar_bench "$@"
