#!/usr/bin/env bash
# Configures and builds the whole tree (plug-in, stand-ins, host, tests).
#   tools/build.sh [BUILD_DIR]     (default: build)
set -u
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build}
mkdir -p "$build"
echo "[build] configuring $build"
if ! cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" >"$build/configure.log" 2>&1; then
  tail -n 30 "$build/configure.log"; echo "[build] configuration failed (log: $build/configure.log)"; exit 1
fi
echo "[build] compiling (log: $build/build.log)"
if ! cmake --build "$build" -j"$(nproc)" >"$build/build.log" 2>&1; then
  grep -E 'error|Error' "$build/build.log" | head -n 40
  echo "[build] build failed (log: $build/build.log)"; exit 1
fi
echo "[build] done: $build/bin"
