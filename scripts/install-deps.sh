#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12, only when
# missing, and makes 32-bit Windows programs run where the kernel starts no
# 32-bit programs. Exits 3 when everything else is ready but 32-bit programs
# still cannot start, after saying why and what to do.
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

# --- 32-bit programs -------------------------------------------------------
# Some kernels are built or booted with 32-bit emulation off: every i386
# program, Wine's 32-bit loader included, fails with "Exec format error".
# QEMU's user-mode emulator, registered with binfmt_misc, runs them there.
# Only version 10 or later will do (Debian 12's 7.2 takes about a minute per
# Wine start and crashes in dialog code); it comes from bookworm-backports.
loader32=/usr/lib/wine/wine
qemu=/usr/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
backports=/etc/apt/sources.list.d/vaxu-bookworm-backports.sources

win32_starts() { "$loader32" --version >/dev/null 2>&1; }

qemu_version() { "$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9.]*\).*/\1/p'; }
qemu_major() { qemu_version | cut -d. -f1; }

# The stanza of the machine's own sources that serves bookworm, as the
# backports suite's, so no host is named here.
write_backports_source() {
  local stanza
  stanza=$(awk 'BEGIN { RS = "" } /(^|\n)Suites:([^\n]* )?bookworm( |\n|$)/ { print; exit }' \
             /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v '^#' || true)
  if [ -z "$stanza" ]; then
    # A one-line sources.list instead: "deb [options] URI bookworm main ..."
    stanza=$(awk '$1 == "deb" { i = 2; if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
                                if ($(i + 1) == "bookworm") { print "URIs: " $i; exit } }' \
               /etc/apt/sources.list 2>/dev/null || true)
  fi
  [ -n "$stanza" ] || return 1
  {
    echo "Types: deb"
    printf '%s\n' "$stanza" | grep -E '^(URIs|Signed-By):'
    echo "Suites: bookworm-backports"
    echo "Components: main"
  } > "$backports"
}

has_backports() { grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; }

install_qemu() {
  export DEBIAN_FRONTEND=noninteractive
  if ! has_backports; then
    write_backports_source || { why="no Debian bookworm entry in /etc/apt/sources.list.d/*.sources or /etc/apt/sources.list to take the backports suite's address from"; return 1; }
  fi
  apt-get update -qq >/dev/null 2>&1 || { why="apt-get update failed with the bookworm-backports suite added"; return 1; }
  apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null 2>&1 ||
    { why="the bookworm-backports suite could not be reached, or has no qemu-user"; return 1; }
  [ "$(qemu_major)" -ge 10 ] 2>/dev/null || { why="bookworm-backports gave QEMU $(qemu_version), not 10 or later"; return 1; }
}

# The i386 ELF header and mask as QEMU's own registration has them; flag F
# opens the emulator once, at registration, so it works in any mount space.
register_i386() {
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
    { why="binfmt_misc cannot be mounted at $binfmt (a kernel without it, or a container that may not mount it)"; return 1; }
  [ -e "$binfmt/qemu-i386" ] && return 0
  printf ':qemu-i386:M::%s:%s:%s:F' "$magic" "$mask" "$qemu" > "$binfmt/register" 2>/dev/null ||
    { why="the kernel refused the registration in $binfmt/register"; return 1; }
}

enable_win32() {
  [ "$(id -u)" -eq 0 ] || { why="making them run needs root (QEMU from bookworm-backports, registered through binfmt_misc)"; return 1; }
  [ "$(qemu_major)" -ge 10 ] 2>/dev/null || install_qemu || return 1
  register_i386 || return 1
  win32_starts || { why="they still fail with QEMU $(qemu_version) registered for i386 programs in $binfmt"; return 1; }
}

if ! win32_starts; then
  why=
  if enable_win32; then
    echo "32-bit programs did not start on this kernel (no 32-bit emulation): QEMU $(qemu_version) (qemu-user, from bookworm-backports) now runs them, registered in $binfmt/qemu-i386 until the next boot (README: \"Machines that run no 32-bit programs\")."
  else
    echo "32-bit programs cannot start here: $why. The 32-bit build, the program users get, cannot run. To fix it, run this script as root on a kernel with binfmt_misc and apt access to Debian's bookworm-backports, or on a kernel with 32-bit emulation on." >&2
    exit 3
  fi
fi
