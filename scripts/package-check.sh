#!/usr/bin/env bash
# Checks the Debian package made in a Release build folder: validates its
# menu entry and software-centre data, runs lintian on it, looks at what it
# holds, builds it a second time in another folder to see that the two are
# the same, byte for byte, installs it, starts the installed program, and
# removes it again. The machine is left as it was, also when a check fails;
# a user's settings are never touched.
#   bash scripts/package-check.sh BUILD_FOLDER
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "$1" && pwd)"

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
desktop="$(basename "$(ls "$root"/data/*.desktop)")"
id="${desktop%.desktop}"
debs=("$build"/quillet_"$version"_*.deb)
deb="${debs[0]}"
[ -f "$deb" ] || { echo "No package quillet_${version}_*.deb in $build"; exit 1; }

fail() { echo "Package check failed: $*"; exit 1; }
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

desktop-file-validate "$root/data/$desktop"

# The software-centre data, pedantically: errors, warnings and remarks fail
# the check, hints are shown. Debian 12's AppStream predates the <developer>
# tag and remarks on it; the data carries <developer_name> for it as well.
appstream="$(appstreamcli validate --pedantic --no-net --explain "$build/data/$id.metainfo.xml" 2>&1)" ||
  { echo "$appstream"; fail "the software-centre data does not validate"; }
echo "$appstream"
if grep -E '^[EWI]: ' <<<"$appstream" | grep -vE ': unknown-tag developer$'; then
  fail "appstreamcli has remarks on the software-centre data"
fi

# A distribution's own check of the package: no errors, and none of the
# hardening tags (stack protector, checked functions, read-only relocations
# bound at start, position-independent executables).
lint="$(lintian --info "$deb" 2>&1 | grep -v '^running with root privileges' || true)"
[ -z "$lint" ] || echo "$lint"
if grep -E '^E: |hardening-' <<<"$lint" >/dev/null; then
  fail "lintian reports errors or hardening tags on $(basename "$deb")"
fi

contents="$(dpkg-deb --contents "$deb")"
for path in \
  ./usr/bin/quillet \
  "./usr/share/applications/$id.desktop" \
  "./usr/share/icons/hicolor/scalable/apps/$id.svg" \
  "./usr/share/icons/hicolor/48x48/apps/$id.png" \
  "./usr/share/icons/hicolor/256x256/apps/$id.png" \
  "./usr/share/metainfo/$id.metainfo.xml" \
  ./usr/share/man/man1/quillet.1.gz \
  ./usr/share/doc/quillet/changelog.gz \
  ./usr/share/doc/quillet/copyright; do
  grep -q " $path\$" <<<"$contents" || fail "$path is not in $(basename "$deb")"
done
cli=false
if grep -q ' ./usr/bin/quillet-cli$' <<<"$contents"; then
  cli=true
  for path in \
    ./usr/share/man/man1/quillet-cli.1.gz \
    ./usr/share/bash-completion/completions/quillet-cli \
    ./usr/share/zsh/vendor-completions/_quillet-cli \
    ./usr/share/fish/vendor_completions.d/quillet-cli.fish; do
    grep -q " $path\$" <<<"$contents" || fail "quillet-cli comes without $path"
  done
fi
if dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -qE '(inst|rm)$'; then
  fail "the package has maintainer scripts"
fi

# Reproducible: the same sources built again in a folder of another name,
# with the first build's settings, give the same package byte for byte. The
# package's settings leave out the tests and benchmarks, so the second
# build makes little more than what the package holds.
twin="$build-again"
mapfile -t settings < <(grep -E '^(CMAKE_BUILD_TYPE|QUILLET_[A-Z0-9_]+):[A-Z]+=' "$build/CMakeCache.txt" | sed 's/^/-D/')
started=$SECONDS
cmake -S "$root" -B "$twin" "${settings[@]}" >/dev/null
cmake --build "$twin" -j"$(nproc)" >"$twin/build.log" 2>&1 || { cat "$twin/build.log"; fail "the second build failed"; }
(cd "$twin" && cpack -G DEB >cpack.log 2>&1) || { cat "$twin/cpack.log"; fail "the second package failed"; }
again="$twin/$(basename "$deb")"
if ! cmp -s "$deb" "$again"; then
  md5sums() { dpkg-deb --ctrl-tarfile "$1" | tar -xO ./md5sums; }
  diff <(md5sums "$deb") <(md5sums "$again") || true
  fail "two builds of the same sources give different packages: $deb and $again"
fi
echo "Built twice, in $(basename "$build") and $(basename "$twin"), the package is the same byte for byte (second build: $((SECONDS - started)) s)."

if dpkg-query -W -f='${Status}' quillet 2>/dev/null | grep -q "install ok installed"; then
  echo "Quillet is installed on this machine already; the install check would replace it and is left out."
  exit 0
fi

# The settings of whoever runs the check: they must come out as they went in.
settings="${XDG_CONFIG_HOME:-$HOME/.config}/Quillet/Quillet.conf"
fingerprint() { if [ -e "$settings" ]; then sha256sum <"$settings"; else echo absent; fi; }
settings_before="$(fingerprint)"

scratch="$(mktemp -d)"
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null
  if dpkg-query -W -f='${Status}' quillet 2>/dev/null | grep -q "install ok installed"; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq quillet >/dev/null
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >"$scratch/apt" 2>&1 || {
  cat "$scratch/apt"
  fail "the package does not install"
}
[ -x /usr/bin/quillet ] || fail "/usr/bin/quillet is missing after the install"

# The menu entry's icon is installed under its name, and its command is the
# installed program.
entry="/usr/share/applications/$desktop"
icon="$(sed -n 's/^Icon=//p' "$entry")"
[ -f "/usr/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "the menu entry's icon $icon is not installed"
menu_command="$(sed -n 's/^Exec=//p' "$entry")"
[ "$(command -v "$menu_command")" = /usr/bin/quillet ] || fail "the menu entry runs $menu_command"

# The menu's command starts the program, which stays up; it gets settings
# of its own so that nothing it might save reaches a real user's.
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$scratch" "$menu_command" >"$scratch/out" 2>&1 &
program=$!
sleep 2
kill -0 "$program" 2>/dev/null || {
  cat "$scratch/out"
  fail "$menu_command did not stay up"
}
kill "$program"
wait "$program" 2>/dev/null || true
program=""

if $cli; then
  printed="$(XDG_CONFIG_HOME="$scratch" /usr/bin/quillet-cli --version)"
  grep -qF "$version" <<<"$printed" || fail "quillet-cli --version printed: $printed"
fi

DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq quillet >/dev/null
[ ! -e /usr/bin/quillet ] || fail "/usr/bin/quillet is still there after the removal"
[ "$(fingerprint)" = "$settings_before" ] || fail "installing or removing changed $settings"
echo "Package $(basename "$deb") installs, starts and removes cleanly."
