# Sourced by the bench, the run and the wine-run scripts: chooses the half of
# Wine that runs a build tree's binaries. A 32-bit build needs wine32, which
# needs a kernel that runs 32-bit programs; the 64-bit test build runs under
# wine64. Sets WINE (the loader to call) and exports WINEPREFIX, WINEDEBUG,
# WINEDLLOVERRIDES (and WINELOADER for wine64).
#   lumora_wine_env BUILD_DIR
# A folder that is no build tree (a test's own prefix and display) takes the
# Wine of the tree named by LUMORA_WINE_TREE, else of the folder above the prefix.
lumora_wine_env() {
  local build=$1 arch=
  export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  [ -f "$build/CMakeCache.txt" ] || build=${LUMORA_WINE_TREE:-$WINEPREFIX/..}
  [ -f "$build/CMakeCache.txt" ] && arch=$(sed -n "s/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=.*mingw-\(.*\)\.cmake$/\1/p" "$build/CMakeCache.txt")
  if [ "$arch" = x86_64 ]; then
    WINE=/usr/lib/wine/wine64
    export WINELOADER=$WINE WINEARCH=win64
  else
    WINE=wine
  fi
}

# True when this machine can execute 32-bit Linux programs (wine32 needs it).
lumora_runs_32bit() {
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}
