#!/usr/bin/env bash
# Takes main-window.png, the screenshot named in the software-centre data,
# from the real program on a virtual display, with example folders filled
# in from settings of its own. The window is shown at one and a half times
# its size, as on a high-resolution screen, in the frame a window manager
# gives it.
#   bash data/screenshots/take.sh [QUILLET_EXECUTABLE]
# Needs: xvfb, openbox, imagemagick (import) and x11-utils (xwininfo).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
program="${1:-$here/../../build/release/quillet}"
scratch="$(mktemp -d)"
display=":$((50 + RANDOM % 40))"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

mkdir -p "$scratch/Quillet"
cat >"$scratch/Quillet/Quillet.conf" <<'CONF'
[Folders]
Source=/home/me/roms/in/
Target=/home/me/roms/out/
SourceExt=.BIN
TargetExt=.BIN
CONF

Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
pids+=($!)
sleep 1
DISPLAY="$display" openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
DISPLAY="$display" XDG_CONFIG_HOME="$scratch" QT_SCALE_FACTOR=1.5 "$program" >/dev/null 2>&1 &
pids+=($!)
sleep 3
window="$(DISPLAY="$display" xwininfo -root -tree | awk '/"Quillet - v/ && !w { w = $1 } END { print w }')"
[ -n "$window" ] || { echo "The main window did not appear"; exit 1; }
DISPLAY="$display" import -frame -strip -window "$window" "$here/main-window.png"
echo "$here/main-window.png"
