#!/usr/bin/env bash
# Builds the Debian package and tries it as a user would: installs it with apt-get, finds
# its files where the desktop, man and systemd look for them, runs the installed
# velora-cli against a local FTP server on port 21 in a private network (nothing leaves
# the machine), and removes the package again, checking that none of its files stay.
#   scripts/check-package.sh [BUILD-FOLDER]      (default: build)
# Needs root (apt-get, unshare -n) or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
source_dir="$PWD"

fail() { echo "check-package: $*" >&2; exit 1; }
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)

scripts/install-deps.sh --package
rm -f "$build"/velora_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/velora_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single velora_*.deb"
deb="$(realpath "${debs[0]}")"
echo "check-package: built $(basename "$deb")"

# dpkg-shlibdeps found the libraries the programs are linked with.
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libsqlite3-0 libjpeg62-turbo libxxhash0 libx11-6 libc6; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

installed=(
  /usr/bin/velora
  /usr/bin/velora-cli
  /usr/share/applications/velora.desktop
  /usr/share/icons/hicolor/scalable/apps/velora.svg
  /usr/share/icons/hicolor/48x48/apps/velora.png
  /usr/lib/systemd/user/velora.service
  /usr/share/man/man1/velora-cli.1.gz
)

DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --reinstall --no-install-recommends "$deb" >/dev/null
for f in "${installed[@]}"; do
  [ -f "$f" ] || fail "not installed: $f"
done

# The menu entry: its name, its menu, a program and an icon that exist.
entry=/usr/share/applications/velora.desktop
grep -qx 'Name=VELORA' "$entry" || fail "$entry: no Name=VELORA"
grep -qx 'Categories=Network;FileTransfer;' "$entry" || fail "$entry: not in Network;FileTransfer;"
exec_line="$(sed -n 's/^Exec=//p' "$entry")"
[ -x "/usr/bin/${exec_line%% *}" ] || fail "$entry: Exec=$exec_line is not an installed program"
file -b /usr/share/icons/hicolor/48x48/apps/velora.png | grep -q '^PNG image data, 48 x 48' || fail "the 48 px icon is not a 48 x 48 PNG"
grep -qx 'ExecStart=/usr/bin/velora-cli daemon' /usr/lib/systemd/user/velora.service ||
  fail "the unit does not start /usr/bin/velora-cli daemon"
# systemd's own reading of the unit, where systemd is installed (no user manager runs
# in a container, so the unit is checked rather than started).
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify /usr/lib/systemd/user/velora.service || fail "systemd-analyze finds fault with the unit"
fi

# The manual page names every command the overview shows.
help="$(/usr/bin/velora-cli --help)"
commands="$(sed -n '/^Commands:/,/^$/p' <<<"$help" | awk 'NF && $1 != "Commands:" { print $1 }')"
[ -n "$commands" ] || fail "velora-cli --help lists no commands"
page="$(zcat /usr/share/man/man1/velora-cli.1.gz)"
for c in $commands; do
  grep -Eq "^\.B[IR]? $c( |$)" <<<"$page" || fail "the manual page lacks the command $c"
done

# One run of the installed velora-cli against pyftpdlib on port 21, with a store, home
# and scratch folder of its own.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/ftp"
printf 'VELORA package check\n' >"$work/home/sample.txt"
"${as_root[@]}" env WORK="$work" SOURCE_DIR="$source_dir" unshare -n /bin/bash -euo pipefail -c '
  ip link set lo up
  /usr/bin/python3 -I "$SOURCE_DIR/tests/integration/support/pyftpd_server.py" "$WORK/ftp" 21 >"$WORK/port" &
  server=$!
  trap "kill $server 2>/dev/null || true" EXIT
  for _ in $(seq 300); do
    grep -q "^21$" "$WORK/port" 2>/dev/null && break
    kill -0 "$server" 2>/dev/null || { echo "the FTP server did not start" >&2; exit 1; }
    sleep 0.1
  done
  grep -q "^21$" "$WORK/port" || { echo "the FTP server did not come up on port 21" >&2; exit 1; }
  export HOME="$WORK/home" VELORA_REGISTRY="$WORK/home/registry.sqlite3" XDG_CACHE_HOME="$WORK/cache"
  cli=/usr/bin/velora-cli
  $cli config Login_Host 127.0.0.1 >/dev/null
  $cli config Login_User velora >/dev/null
  $cli config Login_Pwd geheim >/dev/null
  $cli config Login_Ping_Test 0 >/dev/null
  $cli config Get_Ext_IP 0 >/dev/null
  $cli rows add "$WORK/home/sample.txt" / sample.txt >/dev/null
  $cli run >"$WORK/run.log" 2>&1 || { cat "$WORK/run.log" >&2; echo "velora-cli run failed" >&2; exit 1; }
  cmp "$WORK/home/sample.txt" "$WORK/ftp/sample.txt" || { cat "$WORK/run.log" >&2; exit 1; }

  # The daemon as the unit starts it (its ExecStart line), ended as systemctl stop does.
  daemon_command="$(sed -n "s/^ExecStart=//p" /usr/lib/systemd/user/velora.service)"
  $daemon_command >"$WORK/daemon.log" 2>&1 &
  daemon=$!
  for _ in $(seq 300); do
    grep -q "Programm -> RUN" "$WORK/daemon.log" && break
    kill -0 "$daemon" 2>/dev/null || break
    sleep 0.1
  done
  kill -TERM "$daemon"
  code=0
  wait "$daemon" || code=$?
  if [ "$code" -ne 0 ] || ! grep -q "Programm -> END" "$WORK/daemon.log"; then
    cat "$WORK/daemon.log" >&2
    echo "the daemon did not end as Beenden does (exit code $code)" >&2
    exit 1
  fi
'
echo "check-package: the installed velora-cli uploaded a file to the local FTP server; its daemon started and stopped"

DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get remove -y -qq velora >/dev/null
for f in "${installed[@]}"; do
  [ ! -e "$f" ] || fail "left behind after removal: $f"
done
status="$(dpkg-query -W -f='${Status}' velora 2>/dev/null || true)"
[[ -z "$status" || "$status" == *not-installed* ]] || fail "dpkg still knows velora: $status"
echo "check-package: installed, used and removed"
