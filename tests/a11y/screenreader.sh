#!/usr/bin/env bash
# Runs screenreader.py on build/bin/vellicard in an X server and a session bus of its own, which
# starts the accessibility bus and its registry when first asked (scripts/deps.sh installs all).
set -euo pipefail
export HOME=$(mktemp -d)
exec {xfd}< <(exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb=$!
trap 'kill $xvfb; rm -rf "$HOME"' EXIT
read -r -t 30 display <&$xfd || { echo "FAIL: Xvfb did not start"; exit 1; }
DISPLAY=:$display dbus-run-session -- /usr/bin/python3 "$(dirname "$0")/screenreader.py" "${VC_BIN_DIR:?}/vellicard"
