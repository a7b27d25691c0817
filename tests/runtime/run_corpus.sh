#!/bin/sh
# Builds the corpus of C and C++ programs with the run-time's specs file at -O0 and -O2, runs
# each on korvan-sim headless, and compares its output and exit status with the expected ones;
# then disassembles every program and the toolchain's libraries for the CPU32 and fails on any
# instruction the CPU32 lacks (floating point, bit fields, CAS, memory-indirect modes ...).
# usage: run_corpus.sh KORVAN_SIM TOOLCHAIN_BIN RUNTIME_DIR SOURCE_DIR WORK_DIR
set -u
sim=$1 bin=$2 rt=$3 root=$4 work=$5
corpus=$root/tests/runtime/corpus
failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$work" && mkdir -p "$work" || exit 1
cd "$work" || exit 1

# source (in the corpus, or from the checkout's root)  name  status
# (status: main's value or exit's argument; 134 = 128 + SIGABRT); NAME.expected holds the
# output, NAME.input what is typed.
table='
strings.c                 strings       0
floats.c                  floats        0
int64.c                   int64         0
formats.c                 formats       0
heap.c                    heap          0
status.c                  status        3
exit.c                    exit          203
input.c                   input         0
classes.cpp               classes       0
pure_virtual.cpp          pure_virtual  134
abort.c                   abort         134
/examples/c/main.c        example_c     0
/examples/cpp/main.cpp    example_cpp   0
'

echo "$table" | while read -r program name status; do
    [ -n "$program" ] || continue
    case "$program" in /*) source=$root$program ;; *) source=$corpus/$program ;; esac
    case "$program" in *.cpp) driver=$bin/m68k-elf-g++ ;; *) driver=$bin/m68k-elf-gcc ;; esac
    for level in -O0 -O2; do
        out=$name$level
        if ! "$driver" -specs="$rt/korvan.specs" $level -g "$source" -o "$out.elf" 2> "$out.cc"; then
            fail "$program $level does not build: $(cat "$out.cc")"; continue
        fi
        [ -s "$out.cc" ] && fail "$program $level: the compiler warned: $(cat "$out.cc")"
        "$bin/m68k-elf-objcopy" -O srec "$out.elf" "$out.abs" || { fail "$program $level: objcopy"; continue; }
        # Input arrives after the program has started, as typed keys do.
        if [ -f "$corpus/$name.input" ]; then
            (sleep 0.3; cat "$corpus/$name.input") | "$sim" --run "$out.abs" --max-instructions 400000000 > "$out.out" 2> "$out.err"
        else
            "$sim" --run "$out.abs" --max-instructions 400000000 < /dev/null > "$out.out" 2> "$out.err"
        fi
        got=$?
        [ "$got" -eq "$status" ] || fail "$program $level: status $got, expected $status: $(cat "$out.err")"
        tr -d '\r' < "$out.out" | cmp -s - "$corpus/$name.expected" ||
            fail "$program $level printed:
$(tr -d '\r' < "$out.out" | diff - "$corpus/$name.expected")"
    done
done > results.txt
cat results.txt
grep -q '^FAIL' results.txt && failed=1

# Instructions of the 68020/68040 and their coprocessors that the CPU32 does not execute, as
# objdump names them when it decodes for the 68040. (Jump tables inside the code decode as
# whatever their offsets look like, undecodable words and memory-indirect modes included, so
# those are not counted.)
forbidden='^(f[a-z]|bf[a-z]|cas|callm|rtm|pack|unpk|cp[a-z])'
check_code() {  # FILE
    "$bin/m68k-elf-objdump" -d -m m68k:68040 "$1" 2>/dev/null | awk -F'\t' 'NF >= 3 { print $3 }' |
        grep -E "$forbidden" | head -n 5 > bad.txt
    [ -s bad.txt ] && fail "$1 holds instructions the CPU32 lacks:
$(cat bad.txt)"
}
for f in *.elf "$rt/crt0.o" "$rt/libkorvan.a"; do check_code "$f"; done
libs=$("$bin/m68k-elf-gcc" -print-file-name=libc.a)
libdir=$(dirname "$libs")
for f in "$libdir/libc.a" "$libdir/libc_nano.a" "$libdir/libm.a" "$libdir/libstdc++.a" \
         "$("$bin/m68k-elf-gcc" -print-libgcc-file-name)"; do
    check_code "$f"
done
[ "$failed" -eq 0 ] && echo "corpus runs as expected, no instruction the CPU32 lacks"
exit "$failed"
