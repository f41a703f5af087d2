#!/usr/bin/env bash
# Builds Quillet for 64-bit Windows and tests it, on Debian as root:
# installs what is missing, builds Qt for Windows once into a cache outside
# the repository, cross-builds Quillet with warnings as errors, packs the
# portable zip and the installer, and runs every test program under Wine.
#
# Outputs: build/windows/dist/quillet-<version>-win64.zip and
#          build/windows/dist/quillet-<version>-win64-setup.exe
# The Qt cache: $QUILLET_QT_MINGW, by default /var/tmp/quillet-qt-<version>-mingw.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
quillet_install_missing "${QUILLET_BUILD_PACKAGES[@]}" ninja-build dpkg-dev \
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
  wine wine64 nsis unzip xvfb xauth
jobs="$(nproc)"
triple=x86_64-w64-mingw32
build="$root/build/windows"
mkdir -p "$build"

# The Qt for Windows is made from the same source version as the host's Qt,
# whose tools (moc, rcc, uic) the cross builds run.
qt_package_version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
qt_version="${qt_package_version#*:}"
qt_version="${qt_version%%[+-]*}"
qt="${QUILLET_QT_MINGW:-/var/tmp/quillet-qt-${qt_version}-mingw}"
# Written last, so that a cache whose build was cut short is never taken
# for a finished one; it names what the cache was built from and how.
qt_marker="$qt/quillet-qt-complete"
qt_features=(
  -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=ON
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF
  -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_icu=OFF
)
qt_stamp="qt6-base $qt_package_version for $triple: ${qt_features[*]}"

enable_source_packages() {
  if apt-get source --print-uris -qq "qt6-base=$qt_package_version" >/dev/null 2>&1; then
    return 0
  fi
  # Debian's source lines, next to its binary ones.
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    >/etc/apt/sources.list.d/quillet-deb-src.sources
  apt-get update -qq
}

build_qt() {
  local work="$qt.work"
  local log="$build/qt-build.log"
  echo "== Building Qt $qt_version for Windows into $qt (once; log: $log)"
  rm -rf "$qt" "$work"
  mkdir -p "$work"
  enable_source_packages
  (cd "$work" && apt-get source -qq "qt6-base=$qt_package_version") >"$log" 2>&1
  local src
  src="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)"
  if ! {
    cmake -S "$src" -B "$work/build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$qt" \
      -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
      "${qt_features[@]}" &&
      cmake --build "$work/build" -j"$jobs" &&
      cmake --install "$work/build" --strip
  } >>"$log" 2>&1; then
    tail -n 40 "$log"
    echo "Building Qt for Windows failed; the whole log is $log"
    exit 1
  fi
  echo "$qt_stamp" >"$qt_marker"
  rm -rf "$work"
}

if [ "$(cat "$qt_marker" 2>/dev/null)" != "$qt_stamp" ]; then
  started=$SECONDS
  build_qt
  echo "Qt for Windows built in $(((SECONDS - started) / 60)) min"
else
  echo "== Qt for Windows: $qt"
fi

echo "== Cross-build Quillet for Windows, with warnings as errors"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DQUILLET_QT_PREFIX="$qt" \
  -DQUILLET_WERROR=ON -DQUILLET_BUILD_BENCH=OFF -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null
cmake --build "$build" -j"$jobs"

echo "== Portable zip and installer"
rm -rf "$build/dist"
(cd "$build" && cpack --config CPackConfig.cmake >/dev/null)
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")"
zip_file="$build/dist/quillet-$version-win64.zip"
setup_file="$build/dist/quillet-$version-win64-setup.exe"
ls -l "$zip_file" "$setup_file"

# Wine, in a prefix of its own that is thrown away afterwards. Windows
# programs see no QT_* variables; Wine passes WINEQT_* on as QT_*.
wine_dir="$(mktemp -d /tmp/quillet-wine.XXXXXX)"
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$wine_dir"
}
trap cleanup EXIT
export WINEPREFIX="$wine_dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEQT_QPA_PLATFORM=offscreen WINEQT_ASSUME_STDERR_HAS_CONSOLE=1
windows_path() { echo "Z:${1//\//\\}"; }
# A screen of its own for the windows Quillet shows when it is started as a
# user starts it; the tests draw offscreen.
for display in $(seq 90 120); do [ -e "/tmp/.X$display-lock" ] || break; done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
wineboot --init >/dev/null 2>&1
wineserver -w
drive_c="$WINEPREFIX/drive_c"

echo "== Every test program under Wine"
runtime_dir="$(dirname "$("$triple-g++-posix" -print-file-name=libstdc++-6.dll)")"
pthread_dir="$(dirname "$("$triple-g++-posix" -print-file-name=libwinpthread-1.dll)")"
export WINEPATH="$(windows_path "$qt/bin");$(windows_path "$runtime_dir");$(windows_path "$pthread_dir")"
export WINEQT_PLUGIN_PATH="$(windows_path "$qt/plugins")"
# One Wine server for all the tests, kept until they end: by default it
# exits a moment after its last program, and a test program started just
# then connects to a server on its way out and dies at once, without a word.
# Wine's own background programs are started first, apart from the tests:
# started by a test they would hold its output open and the test would never
# be seen to end.
wineserver -p
wine cmd.exe /c exit </dev/null >/dev/null 2>&1
ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 300
wineserver -k >/dev/null 2>&1 || true
wineserver -w
unset WINEPATH WINEQT_PLUGIN_PATH

echo "== The portable zip starts Quillet"
unzip -q "$zip_file" -d "$drive_c"
started=0
env -u WINEQT_QPA_PLATFORM timeout 20 wine "C:\\quillet-$version-win64\\quillet.exe" || started=$?
wineserver -k >/dev/null 2>&1 || true
if [ "$started" -ne 124 ]; then
  echo "Quillet from the zip did not keep running (exit code $started)."
  exit 1
fi

echo "== The installer installs and uninstalls silently"
program_dir="$drive_c/Program Files/Quillet"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet'
settings_key='HKCU\Software\Quillet\Quillet\Folders'
wine reg add "$settings_key" /v Source /d 'C:\ECU\' /f >/dev/null
wine "$(windows_path "$setup_file")" /S
wineserver -w
test -f "$program_dir/quillet.exe"
test -f "$program_dir/platforms/qwindows.dll"
wine reg query "$uninstall_key" /v UninstallString >/dev/null
find "$drive_c" -path '*Start Menu*' -name 'Quillet.lnk' | grep -q .
wine "C:\\Program Files\\Quillet\\Uninstall.exe" /S
wineserver -w
test ! -e "$program_dir/quillet.exe"
if wine reg query "$uninstall_key" >/dev/null 2>&1; then
  echo "Uninstalling left the entry in the list of installed programs."
  exit 1
fi
wine reg query "$settings_key" /v Source | grep -q 'C:\\ECU\\'
echo "Installed, uninstalled; the user's settings were left in place."
echo "Packages: $build/dist"
