#!/usr/bin/env bash
# Checks what the host and Windows itself will see of our binaries: a 32-bit
# PE DLL with exactly the four undecorated exports; imports of system DLLs and
# our own stand-in libraries only (no MinGW runtime DLLs); and, for the
# plug-in, only the functions pinned in the allowed-imports list, so a new
# dependency on the machine is a decision someone wrote down, and no C++ name
# in g++'s decoration.
#   tests/check-binaries.sh BIN_FOLDER ALLOWED_IMPORTS_FILE
set -u
bin=${1:?bin folder}
allowed_list=${2:?allowed-imports file}
objdump=i686-w64-mingw32-objdump
fail=0
bad() { echo "FAIL: $*"; fail=1; }

dll=$bin/LumoraPlugin.dll
[ -f "$dll" ] || { echo "FAIL: $dll missing"; exit 1; }
[ -f "$allowed_list" ] || { echo "FAIL: $allowed_list missing"; exit 1; }
$objdump -f "$dll" | grep -q 'file format pei-i386' || bad "LumoraPlugin.dll is not a PE32 i386 image"

exports=$($objdump -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF; next} on{exit}' | sort | tr '\n' ' ')
[ "$exports" = "GetPluginModule OnInitPluginConfigModule OnInitPlugins OnReleasePlugins " ] \
  || bad "exports are '$exports'"

allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|oleacc|shlwapi|gdiplus|comctl32|comdlg32|crypt32|cryptui|bcrypt|msvcrt|imm32|msimg32|uxtheme|version|msi|ostrel|zento_language|zento_crypto|zento_util|zento_crypto_ui|zentopkihost|api-ms-win-.*)\.dll$'
for f in "$bin"/*.dll "$bin"/*.exe; do
  for imp in $($objdump -p "$f" | awk '/DLL Name:/{print tolower($3)}'); do
    echo "$imp" | grep -Eq "$allowed" || bad "$(basename "$f") imports $imp"
  done
done

# "dll function" pairs the plug-in imports, against the pinned list.
# Only the import tables: the resource dump after them has lines of the same shape.
imports=$($objdump -p "$dll" | awk '
  /^The Import Tables/ { on = 1; next }
  on && /^[A-Z]/ { on = 0 }
  !on { next }
  /DLL Name:/ { dll = tolower($3); next }
  /^[ \t]*$/ { dll = ""; next }
  dll != "" && /^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+[^ \t]+/ { print dll, $3; next }' | sort -u)
[ -n "$imports" ] || bad "no imports read from LumoraPlugin.dll"
# A C++ name as g++ decorates it can only come from a library built with g++:
# the maker's are built with Microsoft's compiler, so beside them the DLL
# would not load.
gnu_names=$(printf '%s\n' "$imports" | awk '$2 ~ /^_Z/')
if [ -n "$gnu_names" ]; then
  while IFS= read -r line; do bad "LumoraPlugin.dll imports the g++-decorated name $line"; done <<< "$gnu_names"
fi
pinned=$(grep -v -E '^[[:space:]]*(#|$)' "$allowed_list" | awk '{print tolower($1), $2}' | sort -u)
unpinned=$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$pinned"))
if [ -n "$unpinned" ]; then
  while IFS= read -r line; do
    bad "LumoraPlugin.dll imports $line, which is not in $(basename "$allowed_list")"
  done <<< "$unpinned"
fi
[ $fail = 0 ] && echo "binaries OK: exports [$exports], $(printf '%s\n' "$imports" | wc -l) imports, all pinned"
exit $fail
