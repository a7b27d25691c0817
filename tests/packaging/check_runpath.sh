#!/usr/bin/env bash
# Checks the RPATH and RUNPATH of every ELF executable and shared library below the given
# folders: an empty entry (a leading, trailing or doubled ':', or an empty path) makes the
# loader search the current folder, so a library planted there would be loaded.
# usage: check_runpath.sh DIR...
set -euo pipefail

[ "$#" -gt 0 ] || { echo "usage: check_runpath.sh DIR..." >&2; exit 2; }
command -v readelf >/dev/null || { echo "readelf is not installed" >&2; exit 2; }

failures=0
checked=0
while IFS= read -r -d '' file; do
  [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
  checked=$((checked + 1))
  # Lines such as: 0x...1d (RUNPATH)  Library runpath: [a:b]
  while IFS= read -r line; do
    value=${line#*: [}
    value=${value%]}
    if [ -z "$value" ] || [[ "$value" == :* || "$value" == *: || "$value" == *::* ]]; then
      echo "FAIL: $file has an empty search path entry: [$value]" >&2
      failures=$((failures + 1))
    fi
  done < <(readelf -d "$file" 2>/dev/null | grep -E '\((RPATH|RUNPATH)\)' || true)
done < <(find "$@" -type f -print0)

if [ "$checked" -eq 0 ]; then
  echo "FAIL: no ELF file found in $*" >&2
  exit 1
fi
if [ "$failures" -gt 0 ]; then
  echo "$failures file(s) with an empty search path entry" >&2
  exit 1
fi
echo "$checked ELF file(s) checked, no empty search path entry"
