#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every
# test: once in a plain build, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the engine fuzzer for a bounded time;
# last it builds the Debian package, checks it (lintian, the software-centre
# data, a second build that must give the same bytes) and installs, starts
# and removes it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
quillet_install_missing "${QUILLET_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev \
  "${QUILLET_PACKAGE_PACKAGES[@]}" desktop-file-utils appstream lintian
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

# The two test builds compile each library's files together (a unity
# build), which reads Qt's headers once per library rather than once per
# file and halves their time; the package's and the Windows builds compile
# every file on its own, which also tells of a file that lacks an include.
echo "== Build with warnings as errors, run the tests"
plain="$root/build/test"
cmake -S "$root" -B "$plain" -DCMAKE_BUILD_TYPE=Debug -DQUILLET_WERROR=ON \
  -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build "$plain" -j"$jobs"
ctest --test-dir "$plain" --output-on-failure -j"$jobs"

echo "== Engine fuzzer, 25 seconds"
mkdir -p "$root/build"
if ! QUILLET_FUZZ_BUILD="$root/build/fuzz" bash "$root/fuzz/run.sh" 25 >"$root/build/fuzz.log" 2>&1; then
  cat "$root/build/fuzz.log"
  echo "The fuzzer found a fault; its input is named above."
  exit 1
fi
tail -n 1 "$root/build/fuzz.log"

echo "== The same tests under AddressSanitizer and UndefinedBehaviorSanitizer"
asan="$root/build/sanitize"
cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DQUILLET_WERROR=ON \
  -DQUILLET_SANITIZE=ON -DQUILLET_BUILD_BENCH=OFF -DCMAKE_UNITY_BUILD=ON >/dev/null
cmake --build "$asan" -j"$jobs"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
  LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir "$asan" --output-on-failure -j"$jobs"

echo "== Debian package: build it, check it, install, start and remove it"
bash "$root/scripts/package.sh" >/dev/null
bash "$root/scripts/package-check.sh" "$root/build/release"
