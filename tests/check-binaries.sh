#!/usr/bin/env bash
# Checks what the host and Windows itself will see of our binaries: a 32-bit
# PE DLL with exactly the four undecorated exports, and imports of system
# DLLs and our own stand-in libraries only (no MinGW runtime DLLs).
set -u
bin=${1:?bin folder}
objdump=i686-w64-mingw32-objdump
fail=0
bad() { echo "FAIL: $*"; fail=1; }

dll=$bin/LumoraPlugin.dll
[ -f "$dll" ] || { echo "FAIL: $dll missing"; exit 1; }
$objdump -f "$dll" | grep -q 'file format pei-i386' || bad "LumoraPlugin.dll is not a PE32 i386 image"

exports=$($objdump -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF; next} on{exit}' | sort | tr '\n' ' ')
[ "$exports" = "GetPluginModule OnInitPluginConfigModule OnInitPlugins OnReleasePlugins " ] \
  || bad "exports are '$exports'"

allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|shlwapi|gdiplus|comctl32|comdlg32|crypt32|cryptui|bcrypt|msvcrt|imm32|msimg32|uxtheme|version|ostrel|zento_language|zento_crypto|zento_util|zento_crypto_ui|zentopkihost|api-ms-win-.*)\.dll$'
for f in "$bin"/*.dll "$bin"/*.exe; do
  for imp in $($objdump -p "$f" | awk '/DLL Name:/{print tolower($3)}'); do
    echo "$imp" | grep -Eq "$allowed" || bad "$(basename "$f") imports $imp"
  done
done
[ $fail = 0 ] && echo "binaries OK: exports [$exports]"
exit $fail
