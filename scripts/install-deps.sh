#!/usr/bin/env bash
# Installs the Debian packages that are missing, through sudo when not root:
#   (no option)  what the programs need to build and run (the window without a display
#                runs on a virtual X server)
#   --test       that, and what the tests need (GoogleTest, the FTP server they start)
#   --bench      that, and the benchmarks' reference tools
#   --package    that, and what make package needs (dpkg-shlibdeps, file for CPack)
#   --fuzz       that, and clang with libFuzzer and the sanitizers' run-time (make fuzz)
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libgl-dev
  libsqlite3-dev libjpeg-dev libx11-dev libxinerama-dev libxxhash-dev nlohmann-json3-dev
  libssl-dev libssh-dev
  xvfb xdg-utils
)

case "${1:-}" in
  "") ;;
  # The screen-shot and tray tests: xsetroot paints Xvfb's root window, trayer is a
  # real tray host.
  # vsftpd with TLS and OpenSSH's sshd are the real FTPS and SFTP servers; openssl makes
  # their certificates, ssh-keygen their keys.
  --test) packages+=(libgtest-dev libgmock-dev python3 python3-pyftpdlib tinyproxy x11-xserver-utils trayer
                     vsftpd openssl openssh-server openssh-client) ;;
  # The benchmarks compare against reference tools on a local server (curl on vsftpd,
  # OpenSSH's sftp on sshd).
  --bench) packages+=(vsftpd curl time openssh-server openssh-client) ;;
  # CPack finds the programs with file and their libraries' packages with dpkg-shlibdeps;
  # the package check brings up loopback in its private network with ip.
  --package) packages+=(dpkg-dev file iproute2) ;;
  --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
  *) echo "usage: $0 [--test|--bench|--package|--fuzz]" >&2; exit 2 ;;
esac

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
