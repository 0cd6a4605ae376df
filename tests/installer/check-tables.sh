#!/usr/bin/env bash
# Reads the tables of the built packages with msiinfo, whatever this machine
# can run: per-machine, the fixed UpgradeCode, ProductVersion equal to the
# DLL's version resource, where every file lands (resolved through the
# Directory table), nothing of the platform in the plug-in's package, and
# what the upgrade and the uninstall rely on.
#   tests/installer/check-tables.sh SOURCE_DIR BUILD_TREE...
# Each BUILD_TREE holds bin/ and packages/ (the packages of its architecture).
set -u
src=${1:?source folder}
shift
fail=0
bad() { echo "FAIL: $*"; fail=1; }
plugin_upgrade_code='{C5EA8D0B-94E7-4C62-8AC9-BAB47EDF58E7}'
demo_upgrade_code='{989D781E-CA49-4AC1-A95A-24DF3993006A}'
# Where the plug-in reads its language files and installation-wide settings.
data='[CommonAppDataFolder]ZENTO\Tamu\Plugin\CertApp\LumoraPlugin\'

rows() { msiinfo export "$1" "$2" 2>/dev/null | tr -d '\r' | tail -n +4; }
property() { rows "$1" Property | awk -F'\t' -v k="$2" '$1 == k {print $2}'; }

# One line per file: install path (with its root folder as [Property]),
# component attributes, component GUID.
files() {
  local msi=$1 t
  t=$(mktemp -d)
  rows "$msi" Directory >"$t/dir"; rows "$msi" Component >"$t/comp"; rows "$msi" File >"$t/file"
  awk -F'\t' '
    FILENAME ~ /dir$/  { parent[$1] = $2; n = $3; sub(/:.*/, "", n); sub(/.*\|/, "", n); dname[$1] = n; next }
    FILENAME ~ /comp$/ { cdir[$1] = $3; cattr[$1] = $4; cguid[$1] = $2; next }
    function path(d) {
      if (d == "TARGETDIR") return "[TARGETDIR]"
      if (parent[d] == "TARGETDIR") return "[" d "]"
      return path(parent[d]) (dname[d] == "." ? "" : dname[d] "\\")
    }
    { f = $3; sub(/.*\|/, "", f); print path(cdir[$2]) f "\t" cattr[$2] "\t" cguid[$2] }
  ' "$t/dir" "$t/comp" "$t/file"
  rm -rf "$t"
}

# The DLL's own ProductVersion (its version resource, UTF-16 strings).
dll_version() { strings -el "$1" | awk 'prev == "ProductVersion" {print; exit} {prev = $0}'; }

skin_files=$(cd "$src/skin" && find . -type f | sed 's|^\./||; s|/|\\|g' | LC_ALL=C sort)
checked=0
for tree in "$@"; do
  [ "$(ls "$tree"/packages/LumoraPlugin-*.msi 2>/dev/null | wc -l)" = 2 ] \
    || bad "$tree/packages does not hold the two packages (build the LumoraPackages target)"
  for msi in "$tree"/packages/LumoraPlugin-*.msi; do
    [ -f "$msi" ] || continue
    name=$(basename "$msi")
    case $name in *-x64.msi) pf='[ProgramFiles64Folder]' template='x64;1033' ;; *) pf='[ProgramFilesFolder]' template='Intel;1033' ;; esac
    case $name in LumoraPlugin-Demo-*) kind=Demo ;; *) kind=Plugin ;; esac
    checked=$((checked + 1))
    list=$(files "$msi")
    [ -n "$list" ] || { bad "$name: no files read"; continue; }
    install=$(printf '%s\n' "$list" | awk -F'\t' '$1 ~ /\\LumoraPlugin\.dll$/ {sub(/LumoraPlugin\.dll$/, "", $1); print $1}')

    [ "$(property "$msi" ALLUSERS)" = 1 ] || bad "$name: ALLUSERS is not 1 (per-machine)"
    msiinfo suminfo "$msi" | grep -q "^Template: $template\$" || bad "$name: summary template is not $template"
    version=$(property "$msi" ProductVersion) dll=$(dll_version "$tree/bin/LumoraPlugin.dll")
    [ -n "$dll" ] && [ "$version" = "$dll" ] || bad "$name: ProductVersion $version, the DLL says $dll"
    case $name in *-"$dll"-*) ;; *) bad "$name: the file name does not carry the version $dll" ;; esac
    # Late removal of the old version: what both versions share is handed
    # over, never removed and put back (the settings file depends on it).
    seq=$(rows "$msi" InstallExecuteSequence | awk -F'\t' '{s[$1] = $3} END {print (s["RemoveExistingProducts"] > s["InstallFinalize"]) ? "late" : "early"}')
    [ "$seq" = late ] || bad "$name: RemoveExistingProducts runs before InstallFinalize"
    rows "$msi" LaunchCondition | grep -q 'NOT WIX_DOWNGRADE_DETECTED	A newer version' || bad "$name: no downgrade refusal"
    rows "$msi" CustomAction | grep -q '^CheckPluginNotInUse	.*	SetupActions	CheckPluginNotInUse' \
      || bad "$name: no check for a host holding the plug-in"

    [ "${#install}" -gt "${#pf}" ] && [ "${install#"$pf"}" != "$install" ] \
      || bad "$name: LumoraPlugin.dll goes to '$install', not under $pf"
    for id in 2052 1033; do
      printf '%s\n' "$list" | grep -qF "${data}lang\\$id.lng	" || bad "$name: no ${data}lang\\$id.lng"
    done
    # The skin beside the library, exactly the repository's files.
    skin=$(printf '%s\n' "$list" | cut -f1 | grep -F "${install}LumoraPlugin\\skin\\" | sed "s|^.*LumoraPlugin\\\\skin\\\\||" | LC_ALL=C sort)
    [ "$skin" = "$skin_files" ] || bad "$name: skin files differ from skin/: $(diff <(echo "$skin") <(echo "$skin_files") | head -3 | tr '\n' ' ')"

    if [ $kind = Plugin ]; then
      [ "$(property "$msi" UpgradeCode)" = "$plugin_upgrade_code" ] || bad "$name: UpgradeCode is not $plugin_upgrade_code"
      printf '%s\n' "$install" | grep -q 'ZENTO\\Tamu\\' || bad "$name: default INSTALLDIR $install is not in the host's folders"
      ini=$(printf '%s\n' "$list" | awk -F'\t' -v p="${data}LumoraPlugin.ini" '$1 == p {print $2}')
      [ -n "$ini" ] || bad "$name: no ${data}LumoraPlugin.ini"
      [ $(( ${ini:-0} & 128 )) = 128 ] || bad "$name: LumoraPlugin.ini is not marked never to overwrite (attributes ${ini:-none})"
      # Nothing of the platform: the host's and the maker's files belong to
      # their own installation.
      others=$(printf '%s\n' "$list" | cut -f1 | grep -vF -e "${install}LumoraPlugin\\skin\\" -e "${data}" \
               | grep -vxF "${install}LumoraPlugin.dll")
      [ -z "$others" ] || bad "$name: ships files beside the plug-in's own: $(echo $others)"
      plugin_langs=$(printf '%s\n' "$list" | grep -F "${data}lang\\" | cut -f1,3 | LC_ALL=C sort)
    else
      [ "$(property "$msi" UpgradeCode)" = "$demo_upgrade_code" ] || bad "$name: UpgradeCode is not $demo_upgrade_code"
      printf '%s\n' "$install" | grep -q 'ZENTO\\Tamu\\' && bad "$name: the demo goes into the host's folders ($install)"
      for f in TamuHost.exe Ostrel.dll ZENTO_Language.dll ZENTO_LOG.dll ZENTO_CRYPTO.dll ZENTO_UTIL.dll ZENTO_CRYPTO_UI.dll; do
        printf '%s\n' "$list" | grep -qF "$install$f	" || bad "$name: no $f beside the plug-in"
      done
      printf '%s\n' "$list" | cut -f1 | grep -F "${install}SampleStore\\" | grep -q '\\token\.ini$' \
        || bad "$name: no sample token under ${install}SampleStore"
      rows "$msi" Shortcut | awk -F'\t' '$2 == "ProgramMenuFolder" && $5 == "[#TamuHostExe]" && $6 == "--store \"[INSTALLDIR]SampleStore\""' \
        | grep -q . || bad "$name: no Start-menu shortcut starting the host on [INSTALLDIR]SampleStore"
      rows "$msi" LaunchCondition | grep -q '^Installed OR NOT INSTALLDIR OR NOT (.*PLUGININSTALLDIR ~<< INSTALLDIR.*)	' \
        || bad "$name: no refusal of the plug-in's folder"
      demo_langs=$(printf '%s\n' "$list" | grep -F "${data}lang\\" | cut -f1,3 | LC_ALL=C sort)
    fi
  done
  # Shared components: the language files stay while either package is there.
  if [ -n "${plugin_langs:-}" ] && [ -n "${demo_langs:-}" ] && [ "$plugin_langs" != "$demo_langs" ]; then
    bad "$(basename "$tree"): the two packages install the language files as different components"
  fi
  unset plugin_langs demo_langs
done
[ $fail = 0 ] && echo "packages OK: $checked checked"
exit $fail
