#!/usr/bin/env bash
# Test bench around a build tree: a private Wine prefix (made once, with the
# CJK font replacements), one Xvfb display and one persistent wineserver kept
# alive for the whole run, so each test binary starts in a fraction of a second.
#   bench.sh start BUILD_DIR | bench.sh stop BUILD_DIR | bench.sh prefix BUILD_DIR
set -u
cmd=${1:?start or stop}; build=$(cd "${2:?build dir}" && pwd)
. "$(dirname "$0")/wine-env.sh"
lumora_wine_env "$build"
disp_file=$build/xvfb.display pid_file=$build/xvfb.pid

start_xvfb() {
  if [ -f "$pid_file" ] && kill -0 "$(cat "$pid_file")" 2>/dev/null; then return 0; fi
  for n in $(seq 91 140); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo $! >"$pid_file"
    for _ in $(seq 1 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    if [ -e /tmp/.X11-unix/X$n ]; then echo ":$n" >"$disp_file"; return 0; fi
    kill "$(cat "$pid_file")" 2>/dev/null
  done
  echo "bench: could not start Xvfb" >&2; return 1
}

init_prefix() {
  [ -f "$WINEPREFIX/.lumora-ready" ] && return 0
  echo "bench: creating the Wine prefix in $WINEPREFIX (first run only)"
  "$WINE" wineboot -i >/dev/null 2>&1
  wineserver -w
  # Skins name the usual Windows UI fonts; map them to an installed CJK font.
  # One regedit run for all of them (every Wine start costs minutes where the
  # 32-bit half is emulated); a version 5 file is UTF-16, so the Chinese
  # names arrive whatever the Unix locale.
  local reg=$WINEPREFIX/lumora-fonts.reg
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for f in "Microsoft YaHei" "微软雅黑" "SimSun" "宋体" "Segoe UI" "Tahoma"; do
      printf '"%s"="WenQuanYi Micro Hei"\r\n' "$f"
    done
    # What init_unmanaged does for prefixes made before it existed.
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n'
  } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
  "$WINE" regedit /S "Z:$(echo "$reg" | tr / '\\')" >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.lumora-ready" "$WINEPREFIX/.lumora-unmanaged"
}

# Wine draws the caption buttons (minimise, maximise, close) as letters of the
# Marlett symbol font; Debian's Wine does not look in its own font folder, so
# without this copy every frame shows "0 1 r". fonts-wine provides the font.
init_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  [ -f "$fonts/marlett.ttf" ] && return 0
  mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/" \
    || echo "bench: no Marlett font (install fonts-wine): caption buttons will show letters" >&2
}

# Xvfb runs no window manager: windows Wine hands to one ("managed") make
# every destroy wait two seconds for a withdrawal that never comes.
init_unmanaged() {
  [ -f "$WINEPREFIX/.lumora-unmanaged" ] && return 0
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.lumora-unmanaged"
}

case $cmd in
  start)
    # Wine's helper processes (services, explorer, device drivers) start with
    # the first program and must survive this step: ctest ends every process
    # left in a finished test's group, and a prefix whose services died makes
    # every later wine start wait forever. So the bench lives in its own
    # session, and its output goes to a log rather than ctest's pipe.
    setsid --wait bash "$0" start-detached "$build" >"$build/bench.log" 2>&1 </dev/null
    rc=$?
    cat "$build/bench.log"
    exit $rc
    ;;
  start-detached)
    start_xvfb || exit 1
    export DISPLAY=$(cat "$disp_file")
    init_prefix
    init_unmanaged
    init_fonts
    wineserver -p   # persistent until "stop"
    # Bring Wine's services up here, in the bench's session: started by the
    # first test instead, they would inherit (and hold open) that test's
    # output pipe, and ctest would wait for it forever.
    "$WINE" cmd.exe /c exit 0 >/dev/null 2>&1
    ;;
  prefix)
    # Only the Wine prefix, for running the product on an existing display.
    init_prefix
    init_fonts
    ;;
  stop)
    wineserver -k 2>/dev/null
    if [ -f "$pid_file" ]; then kill "$(cat "$pid_file")" 2>/dev/null; rm -f "$pid_file" "$disp_file"; fi
    ;;
  *) echo "usage: bench.sh start|stop|prefix BUILD_DIR" >&2; exit 2 ;;
esac
exit 0
