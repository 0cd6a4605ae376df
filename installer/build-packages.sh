#!/usr/bin/env bash
# Builds the Windows Installer packages from installer/LumoraPlugin.wxs with
# wixl (msitools):
#   LumoraPlugin-<version>-<arch>.msi        the plug-in, for administrators
#   LumoraPlugin-Demo-<version>-<arch>.msi   host, stand-ins, plug-in, sample tokens
#   installer/build-packages.sh BIN_DIR OUT_DIR x86|x64 VERSION [Plugin] [Demo]
# BIN_DIR holds the binaries of one build tree (the 32-bit shipped tree for
# x86); the packages carry copies without debugging information. The CMake target LumoraPackages calls this with the tree's own
# folders and project version; the installer test calls it for a package
# of another version.
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:?bin folder}" && pwd)
out=${2:?output folder}
arch=${3:?x86 or x64}
version=${4:?version}
shift 4
packages=${*:-Plugin Demo}
say() { printf '[packages] %s\n' "$*"; }

for tool in wixl wixl-heat msibuild; do
  command -v "$tool" >/dev/null || { say "$tool is missing (packages wixl and msitools; tools/setup.sh installs them)"; exit 1; }
done
case $arch in
  x86) win64=no heat_arch=() strip=i686-w64-mingw32-strip ;;
  x64) win64=yes heat_arch=(--win64) strip=x86_64-w64-mingw32-strip ;;
  *) say "unknown architecture $arch"; exit 1 ;;
esac
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$out/.work-$arch
mkdir -p "$work"

# Every file under a folder becomes a component of its own (wixl-heat gives
# each a GUID made from its path, the same in every version, so an upgrade
# hands each over instead of removing and adding it).
harvest() {  # harvest FOLDER DIRECTORY_ID GROUP_ID VARIABLE > fragment
  (cd "$1" && find . -type f | LC_ALL=C sort) |
    wixl-heat -p ./ --var "var.$4" --directory-ref "$2" --component-group "$3" "${heat_arch[@]}"
}
harvest "$src/skin" SkinFolder SkinFiles SkinDir >"$work/skin.wxs"

rel() { realpath -m --relative-to="$work" "$1"; }

# What the packages carry, without the debugging information of the build
# (most of the plug-in's size).
rm -rf "$work/bin" && mkdir -p "$work/bin"
for f in LumoraPlugin.dll LumoraSetupActions.dll TamuHost.exe Ostrel.dll ZENTO_Language.dll ZENTO_LOG.dll \
         ZENTO_CRYPTO.dll ZENTO_UTIL.dll ZENTO_CRYPTO_UI.dll; do
  "$strip" --strip-debug -o "$work/bin/$f" "$bin/$f" || { say "cannot copy $bin/$f"; exit 1; }
done

# A product code per package, architecture and version: rebuilding one
# version gives the same product, not a second one beside it.
product_code() {
  local h
  h=$(printf 'LumoraPlugin|%s|%s|%s' "$1" "$arch" "$version" | md5sum | tr a-f A-F)
  printf '%s-%s-%s-%s-%s' "${h:0:8}" "${h:8:4}" "${h:12:4}" "${h:16:4}" "${h:20:12}"
}

for package in $packages; do
  # wixl takes file sources relative to the folder it runs in, never absolute.
  defines=(-D "Package=$package" -D "Arch=$arch" -D "Win64=$win64" -D "Version=$version" -D "ProductCode=$(product_code "$package")"
           -D "BinDir=bin" -D "SourceDir=$(rel "$src")" -D "SkinDir=$(rel "$src/skin")")
  sources=("$src/installer/LumoraPlugin.wxs" "$work/skin.wxs")
  case $package in
    Plugin) msi=$out/LumoraPlugin-$version-$arch.msi ;;
    Demo)
      msi=$out/LumoraPlugin-Demo-$version-$arch.msi
      # Certificates made now, valid relative to the day the package is built.
      LUMORA_CERT_ANSWERS=no bash "$src/tests/fixtures/gen-certs.sh" "$work/sample" >"$work/sample.log" 2>&1 \
        || { tail -5 "$work/sample.log"; say "could not make the sample tokens"; exit 1; }
      harvest "$work/sample/tokens" SampleStoreFolder SampleStoreFiles SampleStore >"$work/sample.wxs"
      defines+=(-D "SampleStore=$(rel "$work/sample/tokens")")
      sources+=("$work/sample.wxs")
      ;;
    *) say "unknown package $package"; exit 1 ;;
  esac
  rm -f "$msi"
  (cd "$work" && wixl -a "$arch" "${defines[@]}" -o "$msi" "${sources[@]}") 2>"$work/wixl.log" \
    || { cat "$work/wixl.log"; say "wixl failed for $package"; exit 1; }
  if [ "$package" = Plugin ]; then
    # wixl drops NeverOverwrite: set the bit (msidbComponentAttributesNeverOverwrite)
    # in the Component table, so an existing installation-wide LumoraPlugin.ini
    # is never replaced.
    msibuild "$msi" -q "UPDATE \`Component\` SET \`Attributes\` = 128 WHERE \`Component\` = 'InstallationSettings'" \
      || { say "could not mark the settings file never to be overwritten"; exit 1; }
  fi
  say "$msi"
done
