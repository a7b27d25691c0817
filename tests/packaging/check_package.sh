#!/usr/bin/env bash
# Checks a built .deb: its control fields, lintian, the desktop files, and the installed programs
# run from a temporary root while the build tree is moved away.
# With the toolchain package, also builds a C++ program with the installed toolchain, run-time
# and specs file, and runs it on the installed korvan-sim.
# usage: check_package.sh DEB BUILD_DIR VERSION [TOOLCHAIN_DEB]
set -euo pipefail
deb=$(realpath "$1")
build=$(realpath "$2")
version=$3
tc_deb=${4:+$(realpath "$4")}

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
step() { echo "== $*"; }

work=$(mktemp -d)
moved="$build.moved-away.$$"
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  [ -d "$moved" ] && mv "$moved" "$build"
  rm -rf "$work"
}
trap cleanup EXIT
# The toolchain package may lie in the build tree, which is moved away below.
if [ -n "$tc_deb" ]; then
  cp "$tc_deb" "$work/" && tc_deb=$work/$(basename "$tc_deb")
fi

step "control fields"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = korvan ] || fail "package name is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "package version is '$(field Version)', the project's is $version"
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6widgets6 libqt6core6; do
  [[ ",$depends," == *", $lib "* || ",$depends," == *",$lib "* ]] || fail "Depends lacks $lib: $depends"
done
[[ "$(field Recommends)" == *korvan-m68k-elf* ]] || fail "the m68k-elf toolchain is not recommended"
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E 'preinst|postinst|prerm|postrm' || true)
[ -z "$scripts" ] || fail "maintainer scripts present: $scripts"

step "lintian"
if command -v lintian >/dev/null; then
  lintian --fail-on error --info "$deb" || fail "lintian reports errors"
else
  fail "lintian is not installed"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
ma=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

step "files"
for f in usr/bin/korvan usr/bin/qubrix usr/bin/korvan-sim \
         "usr/lib/$ma/korvan/libqubrix.so.1" \
         usr/lib/korvan/runtime/crt0.o usr/lib/korvan/runtime/libkorvan.a usr/lib/korvan/runtime/korvan.ld \
         usr/lib/korvan/runtime/korvan.specs usr/lib/korvan/runtime/korvan-nano.specs \
         usr/share/applications/org.hvl_mobr.korvan.desktop usr/share/metainfo/org.hvl_mobr.korvan.metainfo.xml \
         usr/share/mime/packages/korvan.xml usr/share/icons/hicolor/scalable/apps/korvan.svg \
         usr/share/man/man1/korvan.1.gz usr/share/man/man1/qubrix.1.gz usr/share/man/man1/korvan-sim.1.gz \
         usr/share/doc/korvan/copyright usr/share/doc/korvan/examples/demo/main.src; do
  [ -e "$root/$f" ] || fail "missing /$f"
done
soname=$(objdump -p "$root/usr/lib/$ma/korvan/libqubrix.so.1" | awk '$1 == "SONAME" {print $2}')
[ "$soname" = libqubrix.so.1 ] || fail "library SONAME is '$soname'"
desktop-file-validate "$root/usr/share/applications/org.hvl_mobr.korvan.desktop" || fail "desktop entry"
"$(dirname "$0")/check_runpath.sh" "$root/usr/bin" "$root/usr/lib" || fail "an installed RUNPATH has an empty entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.hvl_mobr.korvan.metainfo.xml" || fail "metainfo"

step "moving the build tree away"
mv "$build" "$moved"
if grep -rl --binary-files=text -F "$build" "$root"; then fail "installed files name the build tree"; fi
if ldd "$root/usr/bin/korvan" | grep -E 'not found'; then fail "korvan misses libraries"; fi

step "installed qubrix on the examples"
cp -r "$root/usr/share/doc/korvan/examples" "$work/examples"
(cd "$work/examples/demo" && "$root/usr/bin/qubrix" --lang en main.src) || fail "qubrix on the demo"
grep -q '^S7' "$work/examples/demo/main.abs" 2>/dev/null || fail "the demo's main.abs has no S7 record"
status=0
(cd "$work/examples/mistakes" && "$root/usr/bin/qubrix" --lang en mistakes.src 2>"$work/mistakes.err") || status=$?
[ "$status" = 1 ] || fail "qubrix on the mistakes example ended with $status, not 1"
grep -q '^mistakes.src:[0-9]*: ' "$work/mistakes.err" || fail "no FILE:LINE: diagnostics for the mistakes example"
[ "$("$root/usr/bin/korvan" --version)" = "korvan $version" ] || fail "installed korvan --version"

step "installed korvan offscreen"
mkdir -m 700 "$work/config"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/config
QT_QPA_PLATFORM=offscreen "$root/usr/bin/korvan" "$work/examples/demo/main.src" 2>"$work/korvan.err" &
pid=$!
sleep 3
if kill -0 "$pid" 2>/dev/null; then
  grep -qF "$root/usr/lib/$ma/korvan/libqubrix.so.1" "/proc/$pid/maps" ||
    fail "korvan did not load the installed library"
  kill "$pid"; wait "$pid" 2>/dev/null || true
else
  wait "$pid" || true
  fail "korvan ended at start: $(cat "$work/korvan.err")"
fi
pid=

# On a virtual display the main window can be seen, titled with the file it opened.
if command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null; then
  step "installed korvan on a virtual display"
  xvfb-run -a sh -c '"$1" "$2" & p=$!; sleep 3; xwininfo -root -tree > "$3"; kill $p' \
    sh "$root/usr/bin/korvan" "$work/examples/demo/main.src" "$work/windows" || true
  grep -q '"korvan - main.src"' "$work/windows" || fail "no main window titled \"korvan - main.src\""
fi

if [ -n "$tc_deb" ]; then
  step "toolchain package"
  [ "$(dpkg-deb -f "$tc_deb" Package)" = korvan-m68k-elf ] || fail "toolchain package name"
  [[ "$(dpkg-deb -f "$tc_deb" Depends)" == *libc6* ]] || fail "toolchain Depends lacks libc6"
  # The installed specs name /usr/lib/korvan/runtime; the check runs from the unpacked tree, so
  # it uses a copy that names that tree instead.
  dpkg-deb -x "$tc_deb" "$root"
  tc=$root/usr/lib/korvan/m68k-elf/bin
  rt=$root/usr/lib/korvan/runtime
  sed "s|/usr/lib/korvan/runtime|$rt|g" "$rt/korvan.specs" > "$work/korvan.specs"
  grep -q "^-isystem /usr/lib/korvan/runtime " "$rt/korvan.specs" || fail "installed specs name another folder"
  cat > "$work/hello.cpp" <<'CPP'
#include <cstdio>
struct Greeter { virtual ~Greeter() = default; virtual double value() const { return 2.5; } };
int main() { Greeter* g = new Greeter; std::printf("bonjour %.1f\n", g->value()); delete g; return 7; }
CPP
  if "$tc/m68k-elf-g++" -specs="$work/korvan.specs" -O2 "$work/hello.cpp" -o "$work/hello.elf" &&
     "$tc/m68k-elf-objcopy" -O srec "$work/hello.elf" "$work/hello.abs"; then
    status=0
    out=$("$root/usr/bin/korvan-sim" --run "$work/hello.abs") || status=$?
    [ "$status" = 7 ] && [ "$(printf '%s' "$out" | tr -d '\r')" = "bonjour 2.5" ] ||
      fail "the installed toolchain's program printed '$out' with status $status"
  else
    fail "the installed toolchain does not build a C++ program"
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package checks passed"
