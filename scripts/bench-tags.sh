#!/usr/bin/env bash
# Times tag replacement against the tag rows applied one after another on the same page.
# Usage: scripts/bench-tags.sh [BUILD_DIR] [MiB]   (default: build, 32)
# Exit status 1 when the results differ, 2 when the doubling rows were not refused.
set -euo pipefail
build="${1:-build}"
cmake --build "$build" --target tag_replace_bench -j"$(nproc)" >/dev/null
exec "$build/bench/tag_replace_bench" "${2:-32}"
