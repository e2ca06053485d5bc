#!/usr/bin/env bash
# Builds the libFuzzer targets in their own folder and runs each for a fixed time from
# the seed corpus in fuzz/corpus/<target>/ (new inputs go to BUILD/corpus/<target>/,
# the repository's seeds stay as they are).
#   scripts/run-fuzz.sh [BUILD-FOLDER]     (default: build-fuzz)
#   FUZZ_SECONDS=600 scripts/run-fuzz.sh   (default: 60 s per target)
# A crash leaves its input in BUILD/artifacts/<target>/ and ends the script with exit
# code 1; such an input belongs in the ordinary tests once its fault is mended.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-fuzz}"
seconds="${FUZZ_SECONDS:-60}"
targets=(ftp_reply pasv_reply sftp_reply tag_file http_answer registry_value)

scripts/install-deps.sh --fuzz
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=/usr/bin/clang-14 CXX=/usr/bin/clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELORA_FUZZ=ON >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target fuzzers

failed=()
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/artifacts/$t"
  log="$build/fuzz-$t.log"
  echo "fuzz: $t for $seconds s"
  if "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" \
       "$build/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    echo "fuzz: $t: $runs executions, no finding"
  else
    echo "fuzz: $t: FINDING, see $log and $build/artifacts/$t/" >&2
    grep -E "^(==[0-9]+==ERROR|SUMMARY|.*runtime error)" "$log" | head -5 >&2 || true
    failed+=("$t")
  fi
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzz: findings in ${failed[*]}" >&2; exit 1; }
