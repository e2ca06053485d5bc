#!/usr/bin/env bash
# Starts the window program. Without a display (a server, a container) it runs on a
# virtual X screen big enough for the window's default place (708,236, 824x682) and
# says how to look at it.
set -euo pipefail
program="$1"; shift || true
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$@"
fi

size=1920x1080
numberFile="$(mktemp)"
# Xvfb picks a free display number and writes it to fd 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$numberFile" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$numberFile"' EXIT
for _ in $(seq 100); do
  [ -s "$numberFile" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "The virtual X server did not start." >&2; exit 1; }
  sleep 0.1
done
number="$(tr -dc '0-9' <"$numberFile")"
[ -n "$number" ] || { echo "The virtual X server did not start." >&2; exit 1; }

cat >&2 <<TEXT
No display found: the window runs on the virtual X screen :$number ($size).
To look at it, take a screenshot from another terminal:
  DISPLAY=:$number import -window root velora.png
(import is part of ImageMagick: apt-get install imagemagick). Ctrl+C ends the program.
TEXT
DISPLAY=":$number" "$program" "$@"
