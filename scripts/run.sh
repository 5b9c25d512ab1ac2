#!/usr/bin/env bash
# Installs what is missing, builds and starts the program. Without a display it starts the
# program on a virtual display, saves a screenshot of the window and stops it again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/vellicard
fi
shot="$PWD/screenshot.png"
display=":$(( (RANDOM % 400) + 100 ))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$app" 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done 2>/dev/null || sleep 2
DISPLAY="$display" build/bin/vellicard &
app=$!
sleep 4
if ! kill -0 "$app" 2>/dev/null; then
  wait "$app"; echo "The program ended early (status $?)." >&2; exit 1
fi
DISPLAY="$display" import -window root "$shot"
echo "No display here: the program ran on a virtual display; screenshot saved to $shot"
