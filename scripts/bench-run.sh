#!/usr/bin/env bash
# Times whole `velora-cli run --all` calls (start-up, preparation pass, connect, the
# upload pass with its transfer copy and log lines, disconnect) against curl sending
# the same files to the same vsftpd in the same run, taking turns, median of $runs:
#   - one 512 MiB file: throughput of the run as a share of curl's
#   - 50 files of 1 KiB in one run: the cost per file beyond the upload pass's designed
#     100 ms pause before each row, against curl's cost per file on one connection
# Usage: scripts/bench-run.sh [BUILD_DIR]   (default: build). Needs root for vsftpd.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")" && pwd)"
runs="${BENCH_RUNS:-5}"
small_count=50

if [ "$(id -u)" -ne 0 ]; then
  echo "bench-run: vsftpd needs root here; skipped"
  exit 0
fi
for tool in /usr/sbin/vsftpd curl /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "bench-run: $tool missing; skipped"; exit 0; }
done

# VELORA_CLI names another velora-cli to time (an older build, say) instead of BUILD_DIR's.
if [ -n "${VELORA_CLI:-}" ]; then
  cli="$(realpath "$VELORA_CLI")"
else
  cmake --build "$build" --target velora-cli -j"$(nproc)" >/dev/null
  cli="$(cd "$build" && pwd)/velora-cli"
fi

. "$here/vsftpd-for-bench.sh" bench-run
echo "bench-run: vsftpd on 127.0.0.1:$port, files in $work ($(df -T "$work" | awk 'NR==2 {print $2}'))"

mkdir -p "$work/small"
head -c $((512 * 1024 * 1024)) /dev/urandom > "$work/big.bin"
for i in $(seq -w 1 $small_count); do head -c 1024 /dev/urandom > "$work/small/f$i.bin"; done
# Older than the settle time, so no run waits for a file to settle.
touch -d '-1 minute' "$work/big.bin" "$work"/small/f*.bin
# Written out before the first run, so no run pays for the write-back of the test files.
sync
small_files=("$work"/small/f*.bin)
small_glob="{$(IFS=,; echo "${small_files[*]}")}"

# A settings store per case. The CLI has no port setting (the program's port is 21), so
# it reaches this server as a user reaches one on another port: through the proxy
# fields with no proxy login (vsftpd refuses "OPEN", which the program ignores).
configure() {
  local home="$1"
  shift
  mkdir -p "$home"
  local -a env=(HOME="$home" TEMP="$home" VELORA_REGISTRY="$home/registry.sqlite3")
  local setting
  for setting in "Log_Datei $home/VELORA.Log" "Transfer_Log_Datei $home/transfer.csv" "Login_Host 127.0.0.1" \
                 "Login_User anonymous" "Proxy_use 1" "Proxy_Host 127.0.0.1" "Proxy_Port $port"; do
    # shellcheck disable=SC2086
    env "${env[@]}" "$cli" config ${setting%% *} "${setting#* }" >/dev/null
  done
  env "${env[@]}" "$cli" config Proxy_User "" >/dev/null
  env "${env[@]}" "$cli" config Proxy_Pwd "" >/dev/null
  local f
  for f in "$@"; do
    env "${env[@]}" "$cli" rows add "$f" /upload "run_$(basename "$f")" >/dev/null
  done
}
configure "$work/home-big" "$work/big.bin"
configure "$work/home-small" "${small_files[@]}"

run_cli() { HOME="$1" TEMP="$1" VELORA_REGISTRY="$1/registry.sqlite3" "$cli" run --all >/dev/null; }

now_ns() { date +%s%N; }
# turns NAME_A NAME_B -- CMD_A... -- CMD_B...: $runs runs of each, taking turns, after
# one warm-up each; sets the arrays times_NAME_A and times_NAME_B (ms).
turns() {
  local a="$1" b="$2"
  shift 3
  local -a cmd_a=() cmd_b=()
  while [ "$1" != "--" ]; do cmd_a+=("$1"); shift; done
  shift
  cmd_b=("$@")
  "${cmd_a[@]}"; "${cmd_b[@]}"
  local -a ta=() tb=()
  local t0
  for _ in $(seq "$runs"); do
    t0=$(now_ns); "${cmd_a[@]}"; ta+=($(( ($(now_ns) - t0) / 1000000 )))
    t0=$(now_ns); "${cmd_b[@]}"; tb+=($(( ($(now_ns) - t0) / 1000000 )))
  done
  eval "times_$a=(${ta[*]})"
  eval "times_$b=(${tb[*]})"
}
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

turns ours_big curl_big -- run_cli "$work/home-big" -- curl -sS --disable-epsv -T "$work/big.bin" "$url/curl_big.bin"
cmp -s "$work/big.bin" "$work/root/upload/run_big.bin" || { echo "bench-run: velora-cli run did not deliver the file"; exit 1; }
turns ours_small curl_small -- run_cli "$work/home-small" -- curl -sS --disable-epsv -T "$small_glob" "$url/"
for f in "${small_files[@]}"; do
  cmp -s "$f" "$work/root/upload/run_$(basename "$f")" || { echo "bench-run: $(basename "$f") not delivered"; exit 1; }
done

ob=$(median "${times_ours_big[@]}"); cb=$(median "${times_curl_big[@]}")
os=$(median "${times_ours_small[@]}"); cs=$(median "${times_curl_small[@]}")
echo "512 MiB, whole run: ours ${ob} ms, curl ${cb} ms (median of $runs; ours ${times_ours_big[*]}; curl ${times_curl_big[*]})"
awk -v o="$ob" -v c="$cb" 'BEGIN { printf "  throughput ours/curl %.2f (target at least 0.75)\n", c / o }'
echo "$small_count x 1 KiB, whole run: ours ${os} ms, curl ${cs} ms (median of $runs; ours ${times_ours_small[*]}; curl ${times_curl_small[*]})"
awk -v o="$os" -v c="$cs" -v n="$small_count" 'BEGIN {
  ours = (o - n * 100) / n; theirs = c / n
  printf "  per file beyond the 100 ms pause: ours %.2f ms, curl %.2f ms (target: at most curl)\n", ours, theirs
}'
