#!/usr/bin/env bash
# Configures and builds into a build directory: build.sh [DIR] [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
source scripts/compiler-cache.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${compiler_cache_args[@]}" "$@" >/dev/null
ninja -C "$dir" -j "$(nproc)"
