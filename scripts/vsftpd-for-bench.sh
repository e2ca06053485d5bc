# Sourced by the FTP benchmarks: a throw-away vsftpd on 127.0.0.1 that takes anonymous
# uploads into $work/root/upload. TLS is offered, not forced, so plain stores stay plain;
# a TLS client must resume the control connection's session on its data connections.
# Needs root (vsftpd) and sets: work, port, url, fingerprint (the certificate's, as
# openssl prints it), server_pid; the EXIT trap stops the server and removes $work.
# Usage: . scripts/vsftpd-for-bench.sh NAME   (NAME: part of the temporary folder's name)

work="$(mktemp -d "/tmp/velora-$1.XXXXXX")"
server_pid=""
stop_vsftpd() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap stop_vsftpd EXIT

port="$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"

# The root itself stays read-only as vsftpd wants.
mkdir -p "$work/root/upload" "$work/empty"
chmod 755 "$work/root"
chown ftp "$work/root/upload"
/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
  -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
fingerprint="$(/usr/bin/openssl x509 -noout -fingerprint -sha256 -in "$work/cert.pem")"
cat > "$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
no_anon_password=YES
anon_root=$work/root
anon_upload_enable=YES
anon_other_write_enable=YES
anon_umask=022
write_enable=YES
local_enable=NO
pasv_enable=YES
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
secure_chroot_dir=$work/empty
xferlog_enable=NO
ssl_enable=YES
allow_anon_ssl=YES
require_ssl_reuse=YES
rsa_cert_file=$work/cert.pem
rsa_private_key_file=$work/key.pem
CONF
/usr/sbin/vsftpd "$work/vsftpd.conf" &
server_pid=$!
for _ in $(seq 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done
url="ftp://127.0.0.1:$port/upload"
