#!/usr/bin/env bash
# One administrator's life with the package, under Wine's msiexec in a fresh
# prefix: a silent install of an older version into another INSTALLDIR, the
# host on the installed DLL (its keys shown; the plug-in's log names the
# skin, language and settings files it read, and those are the installed
# ones), edits by the administrator and the user, the upgrade to this
# version, an uninstall refused while the host holds the plug-in, the demo
# package beside it (refused in the host's folder), the uninstall (the
# user's files stay), a second install, and a downgrade refused.
#   tests/installer/scenario.sh SOURCE_DIR BUILD_TREE
# Uses BUILD_TREE/packages/*.msi of the tree's architecture, its bin/ for
# the host and the stand-ins, and its fixtures/tokens.
set -u
src=$(cd "${1:?source folder}" && pwd)
build=$(cd "${2:?build tree}" && pwd)
. "$src/tools/wine-env.sh"
say() { printf '[installer] %s\n' "$*"; }
fail=0
bad() { say "FAIL: $*"; fail=1; }
started=$(date +%s)

arch=x86
grep -q 'mingw-x86_64.cmake' "$build/CMakeCache.txt" && arch=x64
msi=$(ls "$build/packages/LumoraPlugin-"[0-9]*"-$arch.msi" 2>/dev/null | head -1)
demo=$(ls "$build/packages/LumoraPlugin-Demo-"[0-9]*"-$arch.msi" 2>/dev/null | head -1)
[ -f "$msi" ] && [ -f "$demo" ] || { say "no $arch packages in $build/packages (build the LumoraPackages target)"; exit 1; }
version=$(basename "$msi" | sed 's/^LumoraPlugin-\(.*\)-[^-]*\.msi$/\1/')
major=${version%%.*}
[ "$major" -gt 0 ] || { say "cannot make a version below $version"; exit 1; }
older=$((major - 1)).9.0

work=$build/installer-test
rm -rf "$work" && mkdir -p "$work"
export WINEPREFIX=$work/wineprefix LUMORA_WINE_TREE=$build
lumora_wine_env "$work"
cleanup() { bash "$src/tools/bench.sh" stop "$work" >/dev/null 2>&1; }
trap cleanup EXIT
bash "$src/tools/bench.sh" start-detached "$work" >"$work/bench.log" 2>&1 || { cat "$work/bench.log"; exit 1; }
export DISPLAY=$(cat "$work/xvfb.display")
say "fresh prefix, display and wineserver: $(( $(date +%s) - started )) s"

winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }
# C:\a\b -> the prefix's drive_c/a/b (the only drive the packages use).
unixpath() { local p=${1#[Cc]:\\}; printf '%s/drive_c/%s' "$WINEPREFIX" "$(printf '%s' "$p" | tr '\\' /)"; }
msiexec() {  # msiexec NAME ARGS...: one silent run, verbose log in NAME.log; prints the exit code
  "$WINE" msiexec "${@:2}" /qn /l*v "$(winpath "$work/$1.log")" >/dev/null 2>&1
  echo $?
}
# Wine hands msiexec's result to Unix in 8 bits: 1603 (fatal error) is 67.
refused=$((1603 % 256))
# Windows Installer keeps a copy of every installed package: the versions of
# ours that are registered now.
registered() {
  local f
  for f in "$WINEPREFIX"/drive_c/windows/Installer/*.msi; do
    [ -f "$f" ] || continue
    msiinfo export "$f" Property 2>/dev/null | tr -d '\r' |
      awk -F'\t' '$1 == "UpgradeCode" {u = $2} $1 == "ProductVersion" {v = $2} END {if (u == "{C5EA8D0B-94E7-4C62-8AC9-BAB47EDF58E7}") print v}'
  done | LC_ALL=C sort | tr '\n' ' '
}
# The plug-in's own log lines "[file,line] <what> <path>" of the last start.
logged() {
  cat "$userdir"/log/LumoraPlugin_*.log 2>/dev/null | tr -d '\r' | sed -n "s/^.*\] $1 \(.*\)$/\1/p" | tail -1
}
host_smoke() {  # host_smoke NAME LANG: the host's scripted pass on the installed DLL
  "$WINE" "$build/bin/TamuHost.exe" --plugin "$plugin" --lang "$2" --store "$(winpath "$work/store")" \
    --smoke "$(winpath "$work/spare/$spare")" --screenshot "$(winpath "$work/shots")" >"$work/$1.log" 2>&1
  local rc=$?
  [ $rc = 0 ] && grep -q 'smoke: main window shows the' "$work/$1.log" && grep -q 'smoke: .*passed' "$work/$1.log" \
    || { tr -d '\r' <"$work/$1.log" | tail -5; bad "$1: the host on the installed plug-in did not pass (exit $rc)"; }
}

# The older package: the same files under a lower ProductVersion.
bash "$src/installer/build-packages.sh" "$build/bin" "$work/older" "$arch" "$older" Plugin >"$work/build-older.log" 2>&1 \
  || { cat "$work/build-older.log"; exit 1; }
older_msi=$work/older/LumoraPlugin-$older-$arch.msi

# Two keys in the store, a third to insert and remove.
mkdir -p "$work/store" "$work/spare" "$work/shots"
tokens=$(cd "$build/fixtures/tokens" && ls -d */ | tr -d / | while read -r t; do [ -f "$t/token.ini" ] && echo "$t"; done | head -3)
for t in $(echo "$tokens" | head -2); do cp -r "$build/fixtures/tokens/$t" "$work/store/"; done
spare=$(echo "$tokens" | sed -n 3p)
cp -r "$build/fixtures/tokens/$spare" "$work/spare/"

paths=$("$WINE" cmd.exe /c 'echo %APPDATA%^|%ProgramData%' 2>/dev/null | tr -d '\r')
appdata=${paths%%|*} programdata=${paths#*|}
# The user's settings switch the log on, as the settings page would.
userdir=$(unixpath "$appdata\\ZENTO\\Tamu\\Plugin\\CertApp\\LumoraPlugin")
mkdir -p "$userdir/NoDeviceForbidNotifyCert" "$(dirname "$userdir")/QuendaPlugin"
printf '[Log]\r\nIsWriteLog=true\r\n[NotifyWndSetting]\r\nIsShowNotifyCertWnd=false\r\n' >"$userdir/LumoraPlugin.ini"
printf 'marker' >"$userdir/NoDeviceForbidNotifyCert/0123456789ABCDEF0123456789ABCDEF01234567"
printf 'usage database' >"$(dirname "$userdir")/QuendaPlugin/usingRecorder.db"

# 1. The older version into the folder of a host installed elsewhere.
rc=$(msiexec install-older /i "$(winpath "$older_msi")" 'INSTALLDIR=C:\Tamu\Plugins\')
[ "$rc" = 0 ] || bad "install of $older into C:\\Tamu\\Plugins exited $rc"
plugin='C:\Tamu\Plugins\LumoraPlugin.dll'
[ -f "$(unixpath "$plugin")" ] || bad "no $plugin after the install"
[ "$(registered)" = "$older " ] || bad "registered versions after the install: '$(registered)'"

host_smoke host-older 1033
skin=$(logged 'skin folder') lang=$(logged 'language file') common=$(logged 'installation-wide settings')
[ "$(logged 'user settings')" != "" ] || bad "the plug-in did not read the user's settings"
[ "$skin" = 'C:\Tamu\Plugins\LumoraPlugin\skin\' ] || bad "the plug-in's skin folder is '$skin'"
diff -r "$src/skin" "$(unixpath "$skin")" >/dev/null || bad "the skin folder $skin is not the repository's skin/"
case $lang in *'\1033.lng') cmp -s "$src/lang/1033.lng" "$(unixpath "$lang")" || bad "language file $lang differs from lang/1033.lng" ;;
  *) bad "the plug-in read no English language file ('$lang')" ;; esac
case $common in "$programdata\\"*) ;; *) bad "installation-wide settings '$common' are not under $programdata" ;; esac
cmp -s "$src/installer/LumoraPlugin.ini" "$(unixpath "$common")" || bad "installation-wide settings $common are not the shipped file"

# 2. The administrator's and the user's edits, then the upgrade.
common_file=$(unixpath "$common")
sed -i 's/^NotifyCertDay=60/NotifyCertDay=45/' "$common_file" && printf '; edited by the administrator\n' >>"$common_file"
cp "$common_file" "$work/common.ini"
cp "$userdir/LumoraPlugin.ini" "$work/user.ini"  # as the settings page left it
rc=$(msiexec upgrade /i "$(winpath "$msi")")
[ "$rc" = 0 ] || bad "upgrade to $version exited $rc"
[ "$(registered)" = "$version " ] || bad "registered versions after the upgrade: '$(registered)'"
installed=$(cd "$WINEPREFIX/drive_c" && find . -iname LumoraPlugin.dll | sed 's|^\./||')
[ "$installed" = Tamu/Plugins/LumoraPlugin.dll ] || bad "after the upgrade the plug-in is at: $(echo $installed)"
cmp -s "$work/common.ini" "$common_file" || bad "the upgrade replaced the administrator's $common"
cmp -s "$work/user.ini" "$userdir/LumoraPlugin.ini" || bad "the upgrade changed the user's settings"

# 3. The host holds the plug-in: the uninstall asks for it to be closed and
# changes nothing; closed, the host leaves, and its log shows the edited
# settings still read, with the Chinese texts this time.
rm -f "$userdir"/log/*.log
"$WINE" "$build/bin/TamuHost.exe" --plugin "$plugin" --lang 2052 --store "$(winpath "$work/store")" --timeout 300 \
  >"$work/host-held.log" 2>&1 &
host=$!
for _ in $(seq 1 600); do grep -qs 'module object received' "$work/host-held.log" && break; sleep 0.1; done
rc=$(msiexec uninstall-held /x "$(winpath "$msi")")
[ "$rc" = "$refused" ] || bad "uninstall while the host holds the plug-in exited $rc, not 1603"
grep -q 'in use by: TamuHost.exe' "$work/uninstall-held.log" || bad "the refused uninstall does not name the host"
[ -f "$(unixpath "$plugin")" ] && [ -f "$(unixpath "$lang")" ] && [ -f "$common_file" ] \
  || bad "the refused uninstall removed files"
"$WINE" taskkill.exe /im TamuHost.exe >/dev/null 2>&1
wait $host
grep -q 'OnReleasePlugins returned 0' "$work/host-held.log" || bad "the host did not release the plug-in when asked to close"
case $(logged 'language file') in *'\2052.lng') ;; *) bad "the Chinese run read '$(logged 'language file')'" ;; esac
[ "$(logged 'installation-wide settings')" = "$common" ] || bad "after the upgrade the plug-in no longer reads $common"
cmp -s "$src/lang/2052.lng" "$(unixpath "$(logged 'language file')")" || bad "2052.lng differs from lang/2052.lng"

# 4. The demo: never into the host's folders, else in its own, with its
# shortcut; removing it leaves the language files the plug-in still uses.
rc=$(msiexec demo-refused /i "$(winpath "$demo")" 'INSTALLDIR=C:\Tamu\')
[ "$rc" = "$refused" ] || bad "the demo into C:\\Tamu exited $rc, not 1603"
[ -e "$(unixpath 'C:\Tamu\TamuHost.exe')" ] && bad "the refused demo left TamuHost.exe in C:\\Tamu"
rc=$(msiexec demo /i "$(winpath "$demo")")
[ "$rc" = 0 ] || bad "the demo install exited $rc"
demo_host=$(cd "$WINEPREFIX/drive_c" && find . -path '*/LumoraPlugin Demo/TamuHost.exe')
[ -n "$demo_host" ] || bad "no TamuHost.exe in a LumoraPlugin Demo folder"
# Where the installer put the Start menu (Wine 8 takes the user's even for a
# per-machine package; Windows the common one).
menu=$(tr -d '\r' <"$work/demo.log" | sed -n 's/^Property(S): ProgramMenuFolder = //p' | tail -1)
link="$(unixpath "$menu")LumoraPlugin Demo.lnk"
strings -el "$link" 2>/dev/null | grep -q -- '--store' || bad "no Start-menu shortcut starting the demo host on its store"
rc=$(msiexec demo-uninstall /x "$(winpath "$demo")")
[ "$rc" = 0 ] || bad "the demo uninstall exited $rc"
[ -n "$demo_host" ] && [ -e "$WINEPREFIX/drive_c/$demo_host" ] && bad "the demo uninstall left $demo_host"
[ -e "$link" ] && bad "the demo uninstall left its shortcut"
[ -f "$(unixpath "$lang")" ] || bad "the demo uninstall took the plug-in's language files"

# 5. Uninstall: every installed file goes, the user's stay.
rc=$(msiexec uninstall /x "$(winpath "$msi")")
[ "$rc" = 0 ] || bad "uninstall exited $rc"
[ -z "$(registered)" ] || bad "still registered after the uninstall: $(registered)"
left=$(cd "$WINEPREFIX/drive_c" && find . -iname 'LumoraPlugin.dll' -o -iname '*.lng' -o -ipath '*LumoraPlugin/skin/*' -type f \
       -o -ipath '*ProgramData*LumoraPlugin.ini')
[ -z "$left" ] || bad "the uninstall left: $(echo $left)"
cmp -s "$work/user.ini" "$userdir/LumoraPlugin.ini" || bad "the uninstall changed the user's settings"
ls "$userdir"/log/LumoraPlugin_*.log >/dev/null 2>&1 || bad "the uninstall took the user's log"
[ -f "$userdir/NoDeviceForbidNotifyCert/0123456789ABCDEF0123456789ABCDEF01234567" ] || bad "the uninstall took a do-not-remind marker"
[ -f "$(dirname "$userdir")/QuendaPlugin/usingRecorder.db" ] || bad "the uninstall took the usage database"

# 6. A second install after the uninstall: the default folder this time, a
# fresh settings file.
rc=$(msiexec reinstall /i "$(winpath "$msi")")
[ "$rc" = 0 ] || bad "the second install exited $rc"
[ "$(registered)" = "$version " ] || bad "registered versions after the second install: '$(registered)'"
installed=$(cd "$WINEPREFIX/drive_c" && find . -iname LumoraPlugin.dll)
case $installed in ./Program\ Files*/LumoraPlugin.dll) ;; *) bad "the second install put the plug-in at: $(echo $installed)" ;; esac
cmp -s "$src/installer/LumoraPlugin.ini" "$common_file" || bad "the second install did not write a fresh $common"
[ -f "$(unixpath "$lang")" ] || bad "the second install wrote no $lang"

# 7. No way back down. Tried on this installation, not right after the
# upgrade: Wine's msiexec, removing the old version after the new one is
# registered, deletes the UpgradeCode's whole registration, not only the
# old version's entry (Windows keeps the new one), and would then see no
# newer version at all.
rc=$(msiexec downgrade /i "$(winpath "$older_msi")")
[ "$rc" = "$refused" ] || bad "the downgrade to $older exited $rc, not 1603"
[ "$(registered)" = "$version " ] || bad "registered versions after the downgrade attempt: '$(registered)'"

say "took $(( $(date +%s) - started )) s"
if [ $fail = 0 ]; then say "passed"; else say "FAILED"; fi
exit $fail
