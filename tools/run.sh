#!/usr/bin/env bash
# Runs the product: builds if needed, then starts our host TamuHost.exe with
# LumoraPlugin loaded and a sample token store of freshly made certificates.
# Uses the current X display, or a private Xvfb when there is none.
#   tools/run.sh [--timeout SECONDS] [--lang 2052|1033] [--screenshot WINDOWS_DIR]
#                [other TamuHost options]
set -u
src=$(cd "$(dirname "$0")/.." && pwd)
build=${LUMORA_BUILD:-$src/build}

bash "$src/tools/setup.sh" || exit 1
bash "$src/tools/build.sh" "$build" || exit 1

export WINEPREFIX=$build/wineprefix
. "$src/tools/wine-env.sh"
lumora_wine_env "$build"
if [ -z "${DISPLAY:-}" ]; then
  echo "[run] no display: starting a private Xvfb"
  bash "$src/tools/bench.sh" start "$build" || exit 1
  export DISPLAY=$(cat "$build/xvfb.display")
  trap 'bash "$src/tools/bench.sh" stop "$build"' EXIT
else
  bash "$src/tools/bench.sh" prefix "$build" || exit 1
fi

# Language files go where an installation puts them: the machine-wide
# application-data folder of the prefix.
common=$("$WINE" cmd.exe /c echo %ProgramData% 2>/dev/null | tr -d '\r')
langdir=$("$WINE" winepath.exe -u "$common\\ZENTO\\Tamu\\Plugin\\CertApp\\LumoraPlugin\\lang" 2>/dev/null)
if [ -n "$langdir" ]; then
  mkdir -p "$langdir" && cp "$src"/lang/*.lng "$langdir"/ 2>/dev/null
  echo "[run] language files installed in $langdir"
fi

# A sample token store made now, so validity periods are relative to today.
args=()
if [ -f "$src/tests/fixtures/gen-certs.sh" ]; then
  sample=$build/sample
  echo "[run] making the sample token store in $sample/tokens"
  bash "$src/tests/fixtures/gen-certs.sh" "$sample" >"$build/sample.log" 2>&1 \
    || { tail -5 "$build/sample.log"; echo "[run] could not make the sample tokens"; exit 1; }
  args+=(--store "$("$WINE" winepath.exe -w "$sample/tokens")")

  # The device-management plug-in's usage database, naming a remembered key
  # that is not inserted and whose certificate ends within 30 days, in the
  # user's application-data folder where the plug-in reads it.
  appdata=$("$WINE" winepath.exe -u "$("$WINE" cmd.exe /c echo %APPDATA% 2>/dev/null | tr -d '\r')" 2>/dev/null)
  if [ -n "$appdata" ] && bash "$src/tests/fixtures/gen-usagedb.sh" "$sample" >>"$build/sample.log" 2>&1; then
    dbdir=$appdata/ZENTO/tamu/Plugin/CertApp/QuendaPlugin
    mkdir -p "$dbdir" && cp "$sample/usagedb/sample.db" "$dbdir/usingRecorder.db" \
      && echo "[run] usage database of remembered keys in $dbdir"
    # Check the absent keys at once instead of 20 minutes after start.
    ini=$appdata/ZENTO/Tamu/Plugin/CertApp/LumoraPlugin/LumoraPlugin.ini
    mkdir -p "$(dirname "$ini")"
    if grep -qs '^[[:space:]]*NoDeviceCertNotifyTime[[:space:]]*=' "$ini"; then
      sed -i 's/^\([[:space:]]*NoDeviceCertNotifyTime[[:space:]]*=\).*$/\10\r/' "$ini"
    else
      printf '[UserSetting]\r\nNoDeviceCertNotifyTime=0\r\n' >>"$ini"
    fi
  fi
fi

# The product's users run Chinese Windows: code page 936, UI language 2052.
# LUMORA_LOCALE=C.UTF-8 (or --lang 1033) shows the English product.
export LC_ALL=${LUMORA_LOCALE:-zh_CN.UTF-8}
echo "[run] starting TamuHost.exe (DISPLAY=$DISPLAY, LC_ALL=$LC_ALL); close its window to end"
"$src/tools/wine-run.sh" "$build/bin/TamuHost.exe" "${args[@]}" "$@"
rc=$?
echo "[run] TamuHost.exe exited with $rc"
exit $rc
