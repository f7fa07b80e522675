#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into build-fuzz and
# runs each for SECONDS (default 60), starting from its committed corpus.
# Fails on the first finding and says where its input was saved.
#
# Usage: fuzz.sh [SECONDS] [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
[[ $seconds =~ ^[0-9]+$ && $seconds -gt 0 ]] || { echo "fuzz.sh: SECONDS must be a whole number above 0" >&2; exit 2; }

# The fuzzer needs clang and its runtime libraries; the normal build does not.
scripts/install-deps.sh clang libclang-rt-14-dev

build=build-fuzz
source scripts/compiler-cache.sh
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLMAR_FUZZ=ON \
  -DTOLMAR_BUILD_TESTS=OFF -DTOLMAR_BUILD_BENCH=OFF "${compiler_cache_args[@]}" "$@" >/dev/null
ninja -C "$build" -j "$(nproc)" tolmar_fuzzers

mapfile -t targets < "$build/tests/fuzz/fuzzers.txt"
((${#targets[@]})) || { echo "fuzz.sh: no fuzz targets configured" >&2; exit 1; }
for name in "${targets[@]}"; do
  # New inputs go to a scratch folder; the committed corpus is only read.
  work="$build/fuzz-runs/$name"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/findings"
  echo "== fuzzing $name for $seconds s"
  if ! "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/findings/" \
      "$work/corpus" "tests/fuzz/corpus/$name" >"$work/log" 2>&1; then
    tail -n 60 "$work/log" >&2
    echo "fuzz.sh: $name found a failing input: $(ls "$work"/findings/* 2>/dev/null | tr '\n' ' ')" >&2
    echo "fuzz.sh: mend it, then copy the input into tests/fuzz/corpus/$name/ as regression-<what>" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$work/log" || true
done
echo "== fuzzing: no findings"
