#!/usr/bin/env bash
# Fuzzes the plug-in through the project's host for N seconds (default 60).
#
#   fuzz/run_fuzz.sh [seconds] [extra libFuzzer flags...]
#
# Configures and builds the clang build (build/fuzz, or $CLEANUP_FUZZ_BUILD_DIR)
# when needed, then runs drawing_fuzzer on a copy of fuzz/corpus, so the seeds
# in the repository never change. Exits non-zero on any finding; the input
# that found it is kept in <build>/findings/.
set -euo pipefail

seconds="${1:-60}"
shift || true
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${CLEANUP_FUZZ_BUILD_DIR:-$root/build/fuzz}"

for tool in clang clang++ cmake; do
  command -v "$tool" >/dev/null || { echo "run_fuzz.sh: $tool not found" >&2; exit 2; }
done

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCLEANUP_SANITIZE=ON \
    -DCLEANUP_BUILD_FUZZERS=ON \
    -DCLEANUP_BUILD_TESTS=OFF \
    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link" \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >"$build.configure.log" 2>&1 \
    || { cat "$build.configure.log" >&2; exit 2; }
fi
# One target: it depends on the three plug-in libraries. Naming them too would
# fail in a tree whose build files the same make run has just regenerated.
cmake --build "$build" --target drawing_fuzzer -j2 >"$build.build.log" 2>&1 \
  || { tail -50 "$build.build.log" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$build/findings"
cp "$root"/fuzz/corpus/* "$work/corpus/"

# Leaks are findings too; -fork is not used so the first finding stops the run.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
"$build/fuzz/drawing_fuzzer" \
  -max_total_time="$seconds" \
  -max_len=4096 \
  -timeout=60 \
  -rss_limit_mb=4096 \
  -print_final_stats=1 \
  -artifact_prefix="$build/findings/" \
  "$@" "$work/corpus"
