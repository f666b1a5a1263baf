#!/usr/bin/env bash
# Pictures of every window of Tabsend in the five UI languages, on a virtual X display, into
# docs/screenshots/ (or the folder given). Needs a build (scripts/dev.sh build).
#   scripts/screenshots.sh [OUTPUT_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$here/docs/screenshots}")"
shots="$here/build/tools/screenshots/window-shots"
[ -x "$shots" ] || cmake --build "$here/build" --target window-shots
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
touch "$work/LanTable.ini"   # the View Setting window's start-up check
cd "$work"
export XDG_RUNTIME_DIR="$work/xdg"; mkdir -m 700 "$XDG_RUNTIME_DIR"
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb "$shots" "$out"
