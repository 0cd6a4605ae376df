#!/usr/bin/env bash
# Runs a Windows program of the build under Wine with the build's private
# prefix. ctest uses this as the cross-compiling emulator.
here=$(cd "$(dirname "$0")" && pwd)
: "${LUMORA_BUILD_DIR:=$PWD}"
# The prefix and display live with the build tree; find the tree from the
# program's own path when the caller did not say.
if [ -z "${WINEPREFIX:-}" ]; then
  d=$(cd "$(dirname "$1")" 2>/dev/null && pwd)
  while [ -n "$d" ] && [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  [ -f "$d/CMakeCache.txt" ] && LUMORA_BUILD_DIR=$d
  export WINEPREFIX=$LUMORA_BUILD_DIR/wineprefix
fi
. "$here/wine-env.sh"
lumora_wine_env "$LUMORA_BUILD_DIR"
if [ -z "${DISPLAY:-}" ] && [ -f "$WINEPREFIX/../xvfb.display" ]; then
  export DISPLAY=$(cat "$WINEPREFIX/../xvfb.display")
fi
exec "$WINE" "$@"
