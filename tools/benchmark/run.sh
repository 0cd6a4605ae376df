#!/usr/bin/env bash
# Runs the refresh benchmark (RefreshBench.cpp) on a build tree, from a fresh
# clone or a fresh build: builds it, makes the fixtures it reads, starts the
# Wine bench, prints the table and stops the bench again.
#   tools/benchmark/run.sh [BUILD_DIR] [RUNS]     (default: build, 15 runs)
set -u
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$src/build}
LUMORA_TARGETS="LumoraRefreshBench ${LUMORA_TARGETS:-}" bash "$src/tools/build.sh" "$build" || exit 1
build=$(cd "$build" && pwd)
if [ ! -f "$build/fixtures/certs/sign_1y.cer" ]; then
  echo "[bench] making the fixtures in $build/fixtures"
  bash "$src/tests/fixtures/make-fixtures.sh" "$build/fixtures" >"$build/fixtures.log" 2>&1 \
    || { tail -5 "$build/fixtures.log"; exit 1; }
fi
bash "$src/tools/bench.sh" start "$build" || exit 1
trap 'bash "$src/tools/bench.sh" stop "$build"' EXIT
"$src/tools/wine-run.sh" "$build/bin/LumoraRefreshBench.exe" "Z:$(echo "$build/fixtures" | tr / '\\')" ${2:+"$2"}
