#!/usr/bin/env bash
# Builds the engine fuzzer in a fresh build folder and runs it.
#   fuzz/run.sh [SECONDS]     (default 25)
# Set QUILLET_FUZZ_BUILD to build in a given folder instead of a new
# temporary one. Exits non-zero when the fuzzer finds a crash, a sanitizer
# report or a broken invariant; the input that did it is left in the build
# folder as crash-* (or leak-*, timeout-*).
set -euo pipefail

seconds=${1:-25}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${QUILLET_FUZZ_BUILD:-$(mktemp -d /tmp/quillet-fuzz.XXXXXX)}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_FUZZ=ON -DQUILLET_WERROR=ON \
  -DQUILLET_BUILD_TESTS=OFF -DQUILLET_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_engine -j2

mkdir -p "$build/corpus"
echo "fuzzing for ${seconds}s in $build"
# Every input allocates and frees a few images of up to 256K. AddressSanitizer
# holds freed memory back (256 MB by default) to catch a later use of it; the
# fresh pages this takes cost more than the engine's own work. 16 MB still
# holds the frees of the last few dozen inputs.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16}"
"$build/fuzz/fuzz_engine" -max_total_time="$seconds" -timeout=20 -len_control=0 \
  -dict="$root/fuzz/engine.dict" -artifact_prefix="$build/" "$build/corpus"
