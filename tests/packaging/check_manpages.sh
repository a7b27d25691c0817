#!/usr/bin/env bash
# Each manual page lists the same long options as its program's --help, and every program, page,
# changelog and software-centre entry carries the project's one version.
# usage: check_manpages.sh BIN_DIR PACKAGING_DIR VERSION
set -euo pipefail
bin=$1 pkg=$2 version=$3
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
long_options() { grep -o -- '--[a-z][a-z0-9-]*' | sort -u; }

for prog in korvan qubrix korvan-sim; do
  page=$pkg/man/$prog.1
  from_help=$("$bin/$prog" --help | long_options)
  # Roff writes a dash as \-; comment lines are not part of the page.
  from_page=$(grep -v '^\.\\"' "$page" | sed 's/\\-/-/g' | long_options)
  if [ "$from_help" != "$from_page" ]; then
    fail "$prog --help and $prog.1 list different options (< help, > page):"
    diff <(echo "$from_help") <(echo "$from_page") >&2 || true
  fi
  printed=$("$bin/$prog" --version)
  [ "$printed" = "$prog $version" ] || fail "$prog --version prints '$printed', not '$prog $version'"
  grep -q "^\.TH .* \"korvan $version\"" "$page" || fail "$prog.1 is not marked korvan $version"
done

[ "$(dpkg-parsechangelog -l "$pkg/changelog" -S Version)" = "$version" ] || fail "the changelog's last entry is not $version"
grep -q "<release version=\"$version\"" "$pkg/org.hvl_mobr.korvan.metainfo.xml" || fail "the metainfo file has no release $version"
desktop-file-validate "$pkg/org.hvl_mobr.korvan.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$pkg/org.hvl_mobr.korvan.metainfo.xml" >/dev/null || fail "metainfo"
if command -v xmllint >/dev/null; then xmllint --noout "$pkg/korvan-mime.xml" || fail "MIME file"; fi
exit $((failures > 0))
