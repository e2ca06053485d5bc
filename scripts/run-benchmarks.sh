#!/usr/bin/env bash
# Runs every benchmark against its reference in the same run and prints the ratios.
# Usage: scripts/run-benchmarks.sh BUILD_DIR
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")" && pwd)"
status=0
for bench in "$here"/bench-*.sh; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench" "$build" || status=1
done
exit $status
