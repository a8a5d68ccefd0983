#!/usr/bin/env bash
# Runs every benchmark of the release build and its closing summary of the
# targets. Build first: cmake --preset release && cmake --build --preset release
# Extra arguments go to the benchmark program (e.g. --benchmark_filter=pass/join).
set -euo pipefail
cd "$(dirname "$0")/.."
exec build/release/bench/cleanup_bench "$@"
