#!/usr/bin/env bash
# Soak of velora-cli daemon (bench/daemon_soak.py): interval 10 s, 30 runs against
# pyftpdlib on 127.0.0.1:21 in a private network namespace (only loopback exists there),
# resident memory and open descriptors after each run, CPU time between runs. About six
# minutes. Needs root for the namespace and port 21.
# Usage: scripts/bench-daemon-soak.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="${1:-build}"
runs="${2:-30}"
here="$(cd "$(dirname "$0")" && pwd)"

if [ "$(id -u)" -ne 0 ]; then
  echo "bench-daemon-soak: needs root for its network namespace and port 21; skipped"
  exit 0
fi
/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null || { echo "bench-daemon-soak: pyftpdlib missing; skipped"; exit 0; }

cmake --build "$build" --target velora-cli -j"$(nproc)" >/dev/null
cli="$(cd "$build" && pwd)/velora-cli"
exec unshare -n /usr/bin/python3 "$here/../bench/daemon_soak.py" "$cli" "$runs"
