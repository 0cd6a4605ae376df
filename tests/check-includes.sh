#!/usr/bin/env bash
# Product code (Source/, DuiLib/) never includes a stand-in or a test file:
# the maker's real libraries must be able to take the stand-ins' place, and
# the product must build without the test tree. Include folders already keep
# such paths out of reach; this also catches the relative spellings
# ("../../Platform/..."), which the compiler would resolve from the file.
#   tests/check-includes.sh [SOURCE_ROOT]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
fail=0
while IFS= read -r -d '' file; do
  dir=$(dirname "$file")
  while IFS= read -r line; do
    n=${line%%:*}
    inc=$(printf '%s' "${line#*:}" | sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^">]+)[">].*/\1/')
    bad=
    case "$inc" in
      Platform/*|tests/*|*/Platform/*|*/tests/*) bad=1 ;;
    esac
    # A relative include that lands outside Source/ and DuiLib/.
    if [ -z "$bad" ] && [ -e "$dir/$inc" ]; then
      target=$(realpath -m "$dir/$inc")
      case "$target" in
        "$(realpath -m "$root/Source")"/*|"$(realpath -m "$root/DuiLib")"/*) ;;
        *) bad=1 ;;
      esac
    fi
    if [ -n "$bad" ]; then
      echo "FAIL: ${file#$root/}:$n includes \"$inc\" (product code may not reach Platform/ or tests/)"
      fail=1
    fi
  done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$file")
done < <(find "$root/Source" "$root/DuiLib" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' -o -name '*.rc' \) -print0)
[ $fail = 0 ] && echo "includes OK: Source/ and DuiLib/ reach neither Platform/ nor tests/"
exit $fail
