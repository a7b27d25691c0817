#!/bin/sh
# Assembles the project's assembly demo and runs it headless on korvan-sim, checking its result.
# (The C and C++ examples run with the run-time's corpus, tests/runtime.)
# usage: run_examples.sh KORVAN_SIM QUBRIX SOURCE_DIR WORK_DIR
set -u
sim=$1 qubrix=$2 src=$3 work=$4
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

[ "$failed" -eq 0 ] && echo "examples run as expected"
exit "$failed"
