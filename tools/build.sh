#!/usr/bin/env bash
# Configures and builds the whole tree (plug-in, stand-ins, host, tests).
#   tools/build.sh [BUILD_DIR]     (default: build)
# LUMORA_ARCH=i686|x86_64 picks the toolchain. The default is the shipped
# 32-bit build where this machine can run it under Wine, else the 64-bit test
# build (see tools/wine-env.sh). LUMORA_TARGETS limits what is built;
# LUMORA_CMAKE_ARGS adds configure options.
set -u
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build}
. "$src/tools/wine-env.sh"
if [ -z "${LUMORA_ARCH:-}" ]; then
  if lumora_runs_32bit; then LUMORA_ARCH=i686; else LUMORA_ARCH=x86_64; fi
fi
mkdir -p "$build"
# A tree configured for the other architecture cannot be reused.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q "mingw-$LUMORA_ARCH.cmake" "$build/CMakeCache.txt"; then
  echo "[build] $build was configured for another architecture: starting it afresh"
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
echo "[build] configuring $build ($LUMORA_ARCH)"
# shellcheck disable=SC2086
if ! cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-$LUMORA_ARCH.cmake" \
     ${LUMORA_CMAKE_ARGS:-} >"$build/configure.log" 2>&1; then
  tail -n 30 "$build/configure.log"; echo "[build] configuration failed (log: $build/configure.log)"; exit 1
fi
targets=()
for t in ${LUMORA_TARGETS:-}; do targets+=(--target "$t"); done
echo "[build] compiling (log: $build/build.log)"
if ! cmake --build "$build" -j"$(nproc)" "${targets[@]}" >"$build/build.log" 2>&1; then
  grep -E 'error|Error' "$build/build.log" | head -n 40
  echo "[build] build failed (log: $build/build.log)"; exit 1
fi
echo "[build] done: $build/bin"
