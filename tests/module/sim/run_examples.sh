#!/bin/sh
# Builds the project's examples and runs them headless on korvan-sim, checking what they print.
# usage: run_examples.sh KORVAN_SIM QUBRIX M68K_GCC RUNTIME_DIR SOURCE_DIR WORK_DIR
# An empty M68K_GCC skips the C and C++ examples.
set -u
sim=$1 qubrix=$2 gcc=$3 rt=$4 src=$5 work=$6
failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$work" && mkdir -p "$work" || exit 1
cd "$work" || exit 1

# The assembly demo fills a table of squares, sums them into D3 and loops at DONE.
mkdir demo
cp "$src/examples/demo/main.src" "$src/examples/demo/defs.def" demo/
(cd demo && "$qubrix" --no-list main.src > qubrix.out 2>&1) || fail "demo does not assemble: $(cat demo/qubrix.out)"
"$sim" --run demo/main.abs --max-instructions 20000 > demo/out.txt 2> demo/err.txt
status=$?
[ "$status" -eq 124 ] || fail "demo: status $status, expected 124, the instruction limit (it loops at DONE): $(cat demo/err.txt)"
# 0^2 + 1^2 + ... + 15^2 = 1240 = $4D8
grep -q 'D3=000004D8' demo/err.txt || fail "demo: D3 is not the sum of squares: $(cat demo/err.txt)"

run_c() {  # name source expected-output
    name=$1
    case "$2" in *.cpp) compiler=$(echo "$gcc" | sed 's/gcc$/g++/') ;; *) compiler=$gcc ;; esac
    "$compiler" -c -O0 -g -mcpu=cpu32 -ffreestanding -fno-exceptions -I"$rt" "$2" -o "$name.o" \
        || { fail "$name does not compile"; return; }
    "$compiler" -T"$rt/korvan.ld" -mcpu=cpu32 -nostdlib "$rt/crt0.o" "$rt/korvan.o" "$name.o" -o "$name.abs" \
        || { fail "$name does not link"; return; }
    "$sim" --run "$name.abs" --max-instructions 50000000 > "$name.out" 2> "$name.err"
    status=$?
    [ "$status" -eq 0 ] || fail "$name: status $status: $(cat "$name.err")"
    # The run-time ends its lines with CR LF, as a terminal wants them.
    printf '%s' "$3" | sed 's/$/\r/' | cmp -s - "$name.out" || fail "$name printed:
$(cat "$name.out")"
}

if [ -n "$gcc" ]; then
    run_c c "$src/examples/c/main.c" 'Bonjour du 68332
somme des carres 0..7 = 140
hex beef BEEF, 1000 / 7 = 142 reste 6
123!
'
    run_c cpp "$src/examples/cpp/main.cpp" 'rectangle: 12
carre: 25
compteur = 42
'
fi
[ "$failed" -eq 0 ] && echo "examples run as expected"
exit "$failed"
