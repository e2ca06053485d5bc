#!/usr/bin/env bash
# Times the program's SFTP store (sftp_put_bench, the real FtpSession over SSH) against
# OpenSSH's own `sftp -b` on the same sshd in the same run, best of 3 each, both with
# key login and the connection's set-up included:
#   - one 512 MiB file
#   - 50 files of 1 KiB over one connection
# Usage: scripts/bench-sftp.sh [BUILD_DIR]   (default: build). Needs root for sshd.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")" && pwd)"
runs=3

if [ "$(id -u)" -ne 0 ]; then
  echo "bench-sftp: sshd needs root here; skipped"
  exit 0
fi
for tool in /usr/sbin/sshd /usr/bin/ssh-keygen /usr/bin/sftp /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "bench-sftp: $tool missing; skipped"; exit 0; }
done

cmake --build "$build" --target sftp_put_bench -j"$(nproc)" >/dev/null
bench="$(cd "$build" && pwd)/bench/sftp_put_bench"

work="$(mktemp -d /tmp/velora-bench-sftp.XXXXXX)"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

port="$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
mkdir -p "$work/srv" "$work/small" /run/sshd
ssh-keygen -q -t ed25519 -N "" -f "$work/host_ed25519"
ssh-keygen -q -t ed25519 -N "" -f "$work/client_ed25519"
cp "$work/client_ed25519.pub" "$work/authorized_keys"
echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$work/host_ed25519.pub")" > "$work/known_hosts"
host_key="$(ssh-keygen -l -E sha256 -f "$work/host_ed25519.pub" | cut -d' ' -f2)"
cat > "$work/sshd_config" <<CONF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_ed25519
AuthorizedKeysFile $work/authorized_keys
PidFile none
UsePAM no
StrictModes no
PermitRootLogin yes
PasswordAuthentication no
Subsystem sftp internal-sftp
CONF
/usr/sbin/sshd -D -e -f "$work/sshd_config" 2>"$work/sshd.log" &
server_pid=$!
for _ in $(seq 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done

echo "bench-sftp: sshd on 127.0.0.1:$port, files in $work"
head -c $((512 * 1024 * 1024)) /dev/urandom > "$work/big.bin"
for i in $(seq -w 1 50); do head -c 1024 /dev/urandom > "$work/small/f$i.bin"; done
small_files=("$work"/small/f*.bin)
{ echo "cd $work/srv"; echo "put $work/big.bin big_sftp.bin"; } > "$work/big.batch"
{ echo "cd $work/srv"; for f in "${small_files[@]}"; do echo "put $f"; done; } > "$work/small.batch"
sftp_cmd=(sftp -q -b - -i "$work/client_ed25519" -o UserKnownHostsFile="$work/known_hosts"
          -o StrictHostKeyChecking=yes -o BatchMode=yes -P "$port" "$(id -un)@127.0.0.1")

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# best_of INPUT CMD...: the shortest wall time of $runs runs, in ms
best_of() {
  local input="$1" best="" t0 t1 d
  shift
  for _ in $(seq $runs); do
    t0=$(now_ms); "$@" <"$input" >/dev/null; t1=$(now_ms); d=$((t1 - t0))
    if [ -z "$best" ] || [ "$d" -lt "$best" ]; then best=$d; fi
  done
  echo "$best"
}

ours=("$bench" 127.0.0.1 "$port" "$(id -un)" "$work/client_ed25519" "$host_key" "$work/srv")
ours_big=$(best_of /dev/null "${ours[@]}" "$work/big.bin")
cmp -s "$work/big.bin" "$work/srv/big.bin" || { echo "bench-sftp: our upload differs!"; exit 1; }
sftp_big=$(best_of "$work/big.batch" "${sftp_cmd[@]}")
cmp -s "$work/big.bin" "$work/srv/big_sftp.bin" || { echo "bench-sftp: sftp's upload differs!"; exit 1; }
ours_small=$(best_of /dev/null "${ours[@]}" "${small_files[@]}")
sftp_small=$(best_of "$work/small.batch" "${sftp_cmd[@]}")
ours_temp=$(SFTP_BENCH_TEMP_RENAME=1 best_of /dev/null "${ours[@]}" "${small_files[@]}")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
mib_s() { awk -v ms="$1" 'BEGIN { if (ms > 0) printf "%.0f", 512 * 1000 / ms; else print "n/a" }'; }
echo "512 MiB store:     ours ${ours_big} ms ($(mib_s "$ours_big") MiB/s), sftp ${sftp_big} ms ($(mib_s "$sftp_big") MiB/s), throughput ours/sftp $(ratio "$sftp_big" "$ours_big") (target >= 0.9)"
echo "50 x 1 KiB stores: ours ${ours_small} ms, sftp ${sftp_small} ms, time ours/sftp $(ratio "$ours_small" "$sftp_small") (target <= 1); with NAME.part and rename ${ours_temp} ms"
