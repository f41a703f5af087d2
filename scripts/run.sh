#!/usr/bin/env bash
# Installs what is missing, builds Quillet and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
quillet_install_missing "${QUILLET_BUILD_PACKAGES[@]}"

build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DQUILLET_BUILD_TESTS=OFF -DQUILLET_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target quillet quillet-cli make_samples -j"$(nproc)"
exec "$build/quillet"
