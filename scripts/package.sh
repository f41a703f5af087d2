#!/usr/bin/env bash
# Installs what is missing, builds Quillet in the Release build folder and
# makes the Debian package there (build/release/quillet_<version>_<arch>.deb).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
quillet_install_missing "${QUILLET_BUILD_PACKAGES[@]}" "${QUILLET_PACKAGE_PACKAGES[@]}"

# The same folder and options as the run command's, so each reuses the
# other's build.
build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DQUILLET_BUILD_TESTS=OFF -DQUILLET_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
if ! cpack -G DEB >cpack.log 2>&1; then
  cat cpack.log
  exit 1
fi
ls "$build"/quillet_*.deb
