#!/usr/bin/env bash
# Times the preparation pass against plain system calls on the same files.
# Usage: scripts/bench-preparation.sh [BUILD_DIR]   (default: build)
# Exit status 2 when the plain-row pass is more than twice the bare loop.
set -euo pipefail
build="${1:-build}"
cmake --build "$build" --target preparation_bench -j"$(nproc)" >/dev/null
exec "$build/bench/preparation_bench"
