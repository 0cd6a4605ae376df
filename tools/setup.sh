#!/usr/bin/env bash
# Prepares a fresh Debian 12 machine (as root) to build and test LumoraPlugin:
# the i686 and x86_64 MinGW cross compilers, clang and lld for what is built for
# Microsoft's ABI, Wine with both halves, Xvfb, GoogleTest
# sources, openssl and the CA bundle, the SQLite source package, a CJK font for Wine windows,
# and wixl with msitools for the installer packages.
# Safe to run again: every step checks before it changes anything.
set -u

say() { printf '[setup] %s\n' "$*"; }
die() { printf '[setup] ERROR: %s\n' "$*" >&2; exit 1; }

if [ "$(id -u)" != 0 ]; then
  SUDO=sudo
  command -v sudo >/dev/null || die "run this as root (or install sudo)"
else
  SUDO=
fi

PKGS="gcc libc6-dev clang lld g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-i686 \
      binutils-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth \
      googletest openssl ca-certificates sqlite3 tcl cmake make dpkg-dev fonts-wqy-microhei fonts-wine imagemagick locales \
      wixl msitools"

need_install() {
  for p in $PKGS; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || return 0
  done
  return 1
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  say "adding the i386 architecture (Wine needs its 32-bit half)"
  $SUDO dpkg --add-architecture i386 || die "could not add the i386 architecture"
  NEED_UPDATE=1
fi

SRC_LIST=/etc/apt/sources.list.d/lumora-deb-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  say "adding a deb-src entry (SQLite is built from Debian's source package)"
  uri=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
  [ -n "$uri" ] || uri=http://deb.debian.org/debian
  $SUDO tee "$SRC_LIST" >/dev/null <<SRC || die "could not write $SRC_LIST"
Types: deb-src
URIs: $uri
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  NEED_UPDATE=1
fi

if need_install || [ -n "${NEED_UPDATE:-}" ]; then
  say "updating the package lists"
  $SUDO apt-get update -qq >/tmp/lumora-apt-update.log 2>&1 \
    || die "apt-get update failed (see /tmp/lumora-apt-update.log)"
fi

if need_install; then
  say "installing: $PKGS"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $PKGS \
    >/tmp/lumora-apt-install.log 2>&1 \
    || { tail -n 15 /tmp/lumora-apt-install.log >&2; die "package installation failed (full log: /tmp/lumora-apt-install.log)"; }
else
  say "all packages already installed"
fi

# The Chinese test runs set LC_ALL=zh_CN.UTF-8; without that Unix locale Wine
# falls back to ASCII file names and cannot make any non-ASCII path at all.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  say "generating the zh_CN.UTF-8 locale"
  $SUDO localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 || die "could not generate the zh_CN.UTF-8 locale"
fi

command -v i686-w64-mingw32-g++-posix >/dev/null || die "i686-w64-mingw32-g++-posix is missing after installation"
command -v x86_64-w64-mingw32-g++-posix >/dev/null || die "x86_64-w64-mingw32-g++-posix is missing after installation"
command -v wine >/dev/null || die "wine is missing after installation"
# Some kernels run no 32-bit programs at all, and wine32 with them: the tests
# then run on a 64-bit build under wine64 (tools/test.sh says so).
. "$(dirname "$0")/wine-env.sh"
if ! lumora_runs_32bit; then
  say "this machine runs no 32-bit programs: tests will use the 64-bit build under wine64"
  # The smoke run of the shipped 32-bit binaries (tools/smoke32.sh) emulates
  # the 32-bit half of Wine there.
  if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed'; then
    say "installing qemu-user-static for the 32-bit smoke run"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends qemu-user-static \
      >>/tmp/lumora-apt-install.log 2>&1 || die "could not install qemu-user-static (log: /tmp/lumora-apt-install.log)"
  fi
fi
[ -d /usr/src/googletest ] || die "/usr/src/googletest is missing after installation"
say "ready"
