#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quillet need, when
# any is missing. Sourced by run.sh and test.sh.
quillet_install_missing() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

QUILLET_BUILD_PACKAGES=(cmake make g++ qt6-base-dev libgl-dev)
# Making the Debian package: dependencies read off the binaries.
QUILLET_PACKAGE_PACKAGES=(dpkg-dev file)
