#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12, only when missing.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for pkg in cmake g++ make mingw-w64 wine64 wine xvfb xauth imagemagick fonts-horai-umefont fonts-wine \
           python3 locales googletest libgtest-dev clang libclang-rt-14-dev; do
  have "$pkg" || need+=("$pkg")
done

if [ "${#need[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${need[*]} (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# The program users get is the 32-bit build: it runs under the 32-bit Wine
# (WoW64 in a 64-bit prefix), from Debian's i386 architecture.
if ! have wine32:i386; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing package: wine32:i386 (run as root to install it)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
fi

# Wine takes its ANSI code page (932) from the Unix locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
  sed -i 's/^# *ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
