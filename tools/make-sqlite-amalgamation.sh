#!/usr/bin/env bash
# Unpacks Debian's sqlite3 source package and generates sqlite3.c/sqlite3.h.
set -eu
work=${1:?work dir}
mkdir -p "$work" && cd "$work"
if ! ls -d sqlite3-*/ >/dev/null 2>&1; then
  apt-get source -qq sqlite3 >apt-source.log 2>&1 || { tail -5 apt-source.log >&2; echo "apt-get source sqlite3 failed (is there a deb-src entry? run tools/setup.sh)" >&2; exit 1; }
fi
src=$(ls -d sqlite3-*/ | head -1)
mkdir -p gen && cd gen
if [ ! -f sqlite3.c ]; then
  # The generator tools run here on Linux: use the native compiler, whatever
  # cross compiler the caller has in its environment.
  env -u CFLAGS -u CPPFLAGS -u LDFLAGS CC=gcc CXX=g++ "../$src/configure" --disable-tcl >configure.log 2>&1 || { tail -5 configure.log >&2; exit 1; }
  env -u CFLAGS CC=gcc make sqlite3.c >make.log 2>&1 || { tail -5 make.log >&2; exit 1; }
fi
mkdir -p ../amalgamation
cp sqlite3.c sqlite3.h ../amalgamation/
