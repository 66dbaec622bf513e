#!/usr/bin/env bash
# Tells whether this machine runs 32-bit x86 code: some kernels have their
# 32-bit emulation switched off, and there the 32-bit Wine loader cannot
# start. Assembles a tiny static i386 program that exits with 42 and runs it.
# Prints "yes", or "no: <why>", and exits 0 or 1.
# MENDRIX_NO_32BIT=1 answers no, to try the 64-bit-only path on any machine.
set -uo pipefail
if [ "${MENDRIX_NO_32BIT:-}" = "1" ]; then
  echo "no: MENDRIX_NO_32BIT=1 is set"
  exit 1
fi
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cat >"$WORK/probe.s" <<'ASM'
    .globl _start
_start:
    movl $1, %eax       # exit
    movl $42, %ebx
    int $0x80
ASM
if ! as --32 -o "$WORK/probe.o" "$WORK/probe.s" 2>"$WORK/err" || ! ld -m elf_i386 -o "$WORK/probe" "$WORK/probe.o" 2>>"$WORK/err"; then
  echo "no: cannot assemble the 32-bit probe ($(head -1 "$WORK/err"))"
  exit 1
fi
"$WORK/probe" 2>"$WORK/err"
code=$?
if [ $code -ne 42 ]; then
  why="$(head -1 "$WORK/err" | sed 's/.*: //')"
  echo "no: the kernel does not run 32-bit programs (${why:-exit code $code})"
  exit 1
fi
if [ ! -x /usr/lib/wine/wine ]; then
  echo "no: the 32-bit Wine loader /usr/lib/wine/wine is not installed"
  exit 1
fi
echo "yes"
