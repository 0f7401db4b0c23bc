#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 programs; otherwise prints why
# not and exits 1.
#
# Machines of one kind still differ here: some kernels are built or booted
# with IA-32 emulation off, and then every i386 program fails with "Exec
# format error" whatever is installed. Looking for files cannot tell, so this
# runs one: a 94-byte static i386 program (an ELF header, one program header
# and `mov ebx, 42; mov eax, 1; int 0x80`), needing no 32-bit library, that
# exits with status 42. Any other outcome means 32-bit programs do not run.
set -uo pipefail

probe=$(mktemp "${TMPDIR:-/tmp}/borvane-i386.XXXXXX") || exit 1
trap 'rm -f "$probe"' EXIT
elf='7f454c46010101000000000000000000020003000100000054800408340000000000000000000000'
elf+='340020000100000000000000010000000000000000800408008004085e0000005e000000050000000010'
elf+='0000bb2a00000031c040cd80'
# BORVANE_PRETEND_NO_32BIT=1 stands for such a kernel: the same program,
# marked for a machine type no kernel runs, fails the same way
# (ENOEXEC), so what comes after the probe can be tried on any machine.
if [ "${BORVANE_PRETEND_NO_32BIT:-}" = 1 ]; then
  elf=${elf/02000300/0200ff00}
fi
# Two hex digits a byte, written as \xHH escapes for printf.
printf "$(sed 's/../\\x&/g' <<<"$elf")" >"$probe"
chmod +x "$probe"

output=$("$probe" 2>&1)
status=$?
if [ "$status" -eq 42 ]; then
  exit 0
fi
# The shell's own message ends in the system's reason ("Exec format
# error"); the rest names a temporary file, which would make every step's
# reason differ.
echo "this machine does not run 32-bit programs (a static i386 test program gave status $status${output:+: ${output##*: }})"
exit 1
