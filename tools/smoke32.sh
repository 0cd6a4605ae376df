#!/usr/bin/env bash
# Smoke run of the binaries we ship: the 32-bit TamuHost.exe loads the 32-bit
# LumoraPlugin.dll, shows the main window with sample tokens, takes one token
# insertion and one removal, opens and closes the settings page, releases and
# unloads the plug-in and exits 0 (TamuHost --smoke, Platform/Host/HostSmoke.h).
# Checks the host's log lines, its exit code and that the picture of the main
# window is not blank.
#   tools/smoke32.sh [BUILD_DIR]     (default: build)
# The 32-bit binaries are BUILD_DIR/ship32/bin when that exists (machines
# that test on the 64-bit build), else BUILD_DIR/bin. Where this machine runs
# 32-bit programs, wine32 runs natively; elsewhere (or with
# LUMORA_SMOKE_QEMU=1) it runs under qemu-i386 registered through a private
# binfmt_misc, which needs the qemu-user-static package (tools/setup.sh
# installs it on such machines) and a kernel of 6.7 or later.
# LUMORA_SMOKE_STEP_LIMIT (seconds, default 120 natively, 900 emulated) is
# the hard limit of each step.
set -u
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd) || exit 1
. "$src/tools/wine-env.sh"
say() { printf '[smoke32] %s\n' "$*"; }

bin=$build/bin
[ -d "$build/ship32/bin" ] && bin=$build/ship32/bin
if [ ! -f "$bin/TamuHost.exe" ] || ! file "$bin/LumoraPlugin.dll" 2>/dev/null | grep -q 'PE32 executable.*Intel 80386'; then
  say "no 32-bit TamuHost.exe and LumoraPlugin.dll in $bin"; exit 1
fi

mode=native
if [ "${LUMORA_SMOKE_QEMU:-0}" = 1 ] || ! lumora_runs_32bit; then mode=qemu; fi
qemu=$(command -v qemu-i386-static || true)

# Under qemu every step runs inside a private user and mount namespace whose
# own binfmt_misc sends 32-bit programs to the emulator: the rest of the
# machine (and other runs on it) never sees the registration.
if [ "$mode" = qemu ] && [ -z "${LUMORA_SMOKE_IN_NS:-}" ]; then
  [ -n "$qemu" ] || { say "qemu-i386-static is missing (tools/setup.sh installs it)"; exit 1; }
  say "32-bit programs run under $qemu"
  exec env LUMORA_SMOKE_IN_NS=1 unshare --user --map-root-user --mount --fork bash "$0" "$build"
fi
if [ -n "${LUMORA_SMOKE_IN_NS:-}" ]; then
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || { say "cannot mount binfmt_misc"; exit 1; }
  # The ELF header of an i386 executable or shared object; F opens the
  # emulator now, so it is found whatever the program's root.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":lumora-i386:M::$magic:$mask:$qemu:F" >/proc/sys/fs/binfmt_misc/register \
    || { say "cannot register $qemu with binfmt_misc"; exit 1; }
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || true
fi

if [ "$mode" = qemu ]; then limit=${LUMORA_SMOKE_STEP_LIMIT:-900}; else limit=${LUMORA_SMOKE_STEP_LIMIT:-120}; fi
work=$build/smoke32-$mode
mkdir -p "$work"
# An own prefix and display: the run does not depend on (or disturb) the
# test bench, and the prefix is made once per build tree.
export WINEPREFIX=$work/wineprefix
lumora_wine_env "$work"
started=$(date +%s)
exec 3>&1  # step times go here even when a step's output goes to a file
step() {  # step NAME COMMAND...: runs one step under the hard limit
  local name=$1 t0 rc; shift
  t0=$(date +%s)
  timeout -k 10 "$limit" "$@"; rc=$?
  say "$name: $(( $(date +%s) - t0 )) s (exit $rc)" >&3
  return $rc
}
cleanup() { bash "$src/tools/bench.sh" stop "$work" >/dev/null 2>&1; }
trap cleanup EXIT

# bench.sh makes the prefix (first run only), starts Xvfb and one
# persistent wineserver before any program of the run. Called in this
# process group (not through "start", which leaves it for ctest's sake), so
# the step's limit ends every program the step started.
step "prefix, display and wineserver" bash "$src/tools/bench.sh" start-detached "$work" \
  || { say "the bench did not start"; echo "smoke32: FAILED"; exit 1; }
export DISPLAY=$(cat "$work/xvfb.display")

step "sample tokens" bash "$src/tests/fixtures/gen-certs.sh" "$work/sample" >"$work/sample.log" 2>&1 \
  || { tail -5 "$work/sample.log"; echo "smoke32: FAILED"; exit 1; }
# One token waits outside the store: the host inserts and removes it.
rm -rf "$work/spare" && mkdir -p "$work/spare"
spare=$(ls -d "$work/sample/tokens"/*/ | head -1)
mv "$spare" "$work/spare/" || exit 1
spare=$work/spare/$(basename "$spare")
rm -rf "$work/shots" && mkdir -p "$work/shots"

winpath() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
log=$work/host.log
step "TamuHost --smoke" "$WINE" "$bin/TamuHost.exe" --lang 1033 --store "$(winpath "$work/sample/tokens")" \
  --smoke "$(winpath "$spare")" --screenshot "$(winpath "$work/shots")" >"$log" 2>&1
rc=$?
tr -d '\r' <"$log" | grep '^\[TamuHost\]'

fail=0
check() { if ! grep -q -- "$1" "$log"; then say "missing from the host's log: $1"; fail=1; fi; }
[ $rc -eq 0 ] || { say "TamuHost.exe exited with $rc"; fail=1; }
check 'OnInitPlugins returned 0'
check 'module object received'
check 'smoke: main window shows the'
check 'smoke: the plug-in took in the insertion'
check 'smoke: the plug-in took in the removal'
check 'settings page Create returned 1'
check 'smoke: settings page created and released'
check 'OnReleasePlugins returned 0'
check 'smoke: plug-in unloaded, no object of the PKI library left; passed'
check '\[TamuHost\] closed'
# Not blank: a plug-in that never painted leaves the host's plain view
# background, one colour; the key list and its texts bring dozens.
shot=$work/shots/smoke-main-window.png
colours=$(identify -format '%k' "$shot" 2>/dev/null || echo 0)
if [ "${colours:-0}" -lt 16 ]; then say "the main window's picture $shot is blank ($colours colours)"; fail=1; fi
say "main window picture: $shot ($colours colours)"
say "$mode run took $(( $(date +%s) - started )) s"
if [ $fail -eq 0 ]; then echo "smoke32: passed"; else echo "smoke32: FAILED"; fi
exit $fail
