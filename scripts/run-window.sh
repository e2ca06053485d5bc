#!/usr/bin/env bash
# Starts the window program; without a display (a server, a container) it runs on a
# virtual X server so the program still starts and can be looked at with a screenshot.
set -euo pipefail
program="$1"; shift || true
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$@"
fi
echo "No display found: starting on a virtual X server (xvfb-run)." >&2
exec xvfb-run -a -s "-screen 0 1280x800x24" "$program" "$@"
