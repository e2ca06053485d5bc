#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, only those
# that are missing (with --bench also the benchmarks' reference tools). Through sudo
# when not root.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libgl-dev
  libsqlite3-dev libjpeg-dev libx11-dev libxinerama-dev libxxhash-dev
  libgtest-dev libgmock-dev
  python3 python3-pyftpdlib
  tinyproxy
  xvfb xauth
  # The screen-shot and tray tests: xsetroot paints Xvfb's root window, trayer is a
  # real tray host.
  x11-xserver-utils trayer
)

# The benchmarks compare against reference tools on a local server.
if [ "${1:-}" = "--bench" ]; then
  packages+=(vsftpd curl time)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
