#!/usr/bin/env bash
# Times "Sortieren" on tables of 1 000 to 10 000 rows against std::stable_sort.
# Usage: scripts/bench-sort.sh [BUILD_DIR] [MAX_SECONDS]   (defaults: build, 5)
# Exit status 2 when sorting 10 000 rows takes longer than MAX_SECONDS.
set -euo pipefail
build="${1:-build}"
cmake --build "$build" --target sort_bench -j"$(nproc)" >/dev/null
exec "$build/bench/sort_bench" "${2:-5}"
