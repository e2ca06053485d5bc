#!/usr/bin/env bash
# Times the program's FTP store (ftp_put_bench, the real FtpSession) against curl on
# the same vsftpd server in the same run, best of 3 each:
#   - one 512 MiB file
#   - 200 files of 1 KiB over one connection (the program's 100 ms pause per file
#     belongs to the upload pass and is not part of this)
#   - one 512 MiB file over explicit FTPS (ours with the certificate pinned, curl
#     --ssl-reqd -k), the server requiring TLS session reuse on the data connection
# and the peak memory of the large store (maximum resident set size).
# Usage: scripts/bench-ftp.sh [BUILD_DIR]   (default: build). Needs root for vsftpd.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")" && pwd)"
runs=3

if [ "$(id -u)" -ne 0 ]; then
  echo "bench-ftp: vsftpd needs root here; skipped"
  exit 0
fi
for tool in /usr/sbin/vsftpd curl /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "bench-ftp: $tool missing; skipped"; exit 0; }
done

cmake --build "$build" --target ftp_put_bench -j"$(nproc)" >/dev/null
bench="$(cd "$build" && pwd)/bench/ftp_put_bench"

. "$here/vsftpd-for-bench.sh" bench-ftp
mkdir -p "$work/small"

echo "bench-ftp: vsftpd on 127.0.0.1:$port, files in $work"
head -c $((512 * 1024 * 1024)) /dev/urandom > "$work/big.bin"
for i in $(seq -w 1 200); do head -c 1024 /dev/urandom > "$work/small/f$i.bin"; done
small_files=("$work"/small/f*.bin)
small_glob="{$(IFS=,; echo "${small_files[*]}")}"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# best_of CMD...: the shortest wall time of $runs runs, in ms
best_of() {
  local best="" t0 t1 d
  for _ in $(seq $runs); do
    t0=$(now_ms); "$@" >/dev/null; t1=$(now_ms); d=$((t1 - t0))
    if [ -z "$best" ] || [ "$d" -lt "$best" ]; then best=$d; fi
  done
  echo "$best"
}

ours_big=$(best_of "$bench" 127.0.0.1 "$port" anonymous "" /upload 1 "$work/big.bin")
cmp -s "$work/big.bin" "$work/root/upload/big.bin" || { echo "bench-ftp: our upload differs!"; exit 1; }
curl_big=$(best_of curl -sS --disable-epsv -T "$work/big.bin" "$url/big_curl.bin")
ours_small=$(best_of "$bench" 127.0.0.1 "$port" anonymous "" /upload 1 "${small_files[@]}")
curl_small=$(best_of curl -sS --disable-epsv -T "$small_glob" "$url/")

ours_tls=$(best_of env FTP_BENCH_TLS=1 FTP_BENCH_FINGERPRINT="$fingerprint" "$bench" 127.0.0.1 "$port" anonymous "" /upload 1 "$work/big.bin")
cmp -s "$work/big.bin" "$work/root/upload/big.bin" || { echo "bench-ftp: our FTPS upload differs!"; exit 1; }
curl_tls=$(best_of curl -sS --disable-epsv --ssl-reqd -k -T "$work/big.bin" "$url/big_curl.bin")

rss_of() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ {gsub(/ /,"",$2); print $2}'; }
ours_rss=$(rss_of "$bench" 127.0.0.1 "$port" anonymous "" /upload 1 "$work/big.bin")
curl_rss=$(rss_of curl -sS --disable-epsv -T "$work/big.bin" "$url/big_curl.bin")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
mib_s() { awk -v ms="$1" 'BEGIN { if (ms > 0) printf "%.0f", 512 * 1000 / ms; else print "n/a" }'; }
echo "512 MiB store:      ours ${ours_big} ms ($(mib_s "$ours_big") MiB/s), curl ${curl_big} ms ($(mib_s "$curl_big") MiB/s), ratio ours/curl $(ratio "$ours_big" "$curl_big")"
echo "200 x 1 KiB stores: ours ${ours_small} ms ($(ratio "$ours_small" 200) ms/file), curl ${curl_small} ms ($(ratio "$curl_small" 200) ms/file), ratio ours/curl $(ratio "$ours_small" "$curl_small")"
echo "512 MiB FTPS store: ours ${ours_tls} ms ($(mib_s "$ours_tls") MiB/s), curl ${curl_tls} ms ($(mib_s "$curl_tls") MiB/s), ratio ours/curl $(ratio "$ours_tls" "$curl_tls") (target: ours at least 0.8x curl's throughput, ratio at most 1.25)"
echo "peak memory (512 MiB store): ours ${ours_rss} KiB, curl ${curl_rss} KiB"

# The whole program: peak memory of `velora-cli run` sending the 512 MiB file, with its
# transfer copy. The CLI has no port setting (the program's port is 21), so it reaches
# this server the way a user reaches a server on another port: through the proxy
# fields, with no proxy login (vsftpd refuses "OPEN", which the program ignores).
cmake --build "$build" --target velora-cli -j"$(nproc)" >/dev/null
cli="$(cd "$build" && pwd)/velora-cli"
mkdir -p "$work/home"
/usr/bin/python3 - "$work" "$port" <<'PY'
import sqlite3, struct, sys
work, port = sys.argv[1], sys.argv[2]
db = sqlite3.connect(work + "/home/registry.sqlite3")
db.execute("CREATE TABLE reg_keys (path TEXT PRIMARY KEY COLLATE NOCASE)")
db.execute("CREATE TABLE reg_values (path TEXT COLLATE NOCASE, name TEXT COLLATE NOCASE,"
           " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY (path, name))")
key = "\\SOFTWARE\\Norvex\\Kesta\\FTP"
for p in ["\\SOFTWARE", "\\SOFTWARE\\Norvex", "\\SOFTWARE\\Norvex\\Kesta", key]:
    db.execute("INSERT INTO reg_keys VALUES (?)", (p,))
text = {"Log_Datei": work + "/home/VELORA.Log", "Transfer_Log_Datei": work + "/home/t.csv",
        "Login_Host": "127.0.0.1", "Login_User": "anonymous", "Login_Pwd": "",
        "Proxy_Host": "127.0.0.1", "Proxy_User": "", "Proxy_Pwd": "", "Proxy_Port": port,
        "Liste_8_1": "Ja", "Liste_1_1": "No", "Liste_2_1": work + "/big.bin",
        "Liste_7_1": "/upload", "Liste_3_1": "big_cli.bin", "Liste_9_1": ""}
for name, value in text.items():
    db.execute("INSERT INTO reg_values VALUES (?,?,1,?)", (key, name, value.encode()))
for name, value in {"Proxy_use": 1, "Proxy_Passiv": 1, "Liste_row_count": 2}.items():
    db.execute("INSERT INTO reg_values VALUES (?,?,4,?)", (key, name, struct.pack("<i", value)))
db.commit()
PY
cli_rss=$(HOME="$work/home" TEMP="$work/home" VELORA_REGISTRY="$work/home/registry.sqlite3" rss_of "$cli" run)
cmp -s "$work/big.bin" "$work/root/upload/big_cli.bin" || { echo "bench-ftp: velora-cli run did not deliver the file"; exit 1; }
echo "peak memory of velora-cli run (512 MiB file): ${cli_rss} KiB (target under 32768 KiB)"
[ "$cli_rss" -lt 32768 ]
