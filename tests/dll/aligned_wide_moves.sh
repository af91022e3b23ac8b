#!/usr/bin/env bash
# The built DLL holds no aligned 256-bit (or 512-bit) move that addresses the
# stack. Windows aligns the stack to 16 bytes only, so such a move (a spill of
# a ymm register by vmovaps, vmovapd, vmovdqa or a non-temporal store) faults
# on an AVX2 machine whenever the frame lands on an odd 16 bytes. The wide
# kernels rely on the compiler spilling with unaligned moves; a toolchain that
# stops doing so fails here instead of in a host.
#
# First the check is tried on a hand-assembled object with two such moves and
# three harmless ones, then on the DLL, which must also show the wide kernels'
# ymm code at all (so an empty disassembly cannot pass).
# Usage: aligned_wide_moves.sh OBJDUMP CC DLL WORKDIR
set -euo pipefail
objdump=${1:?} cc=${2:?} dll=${3:?} work=${4:?}

# Aligned wide moves whose memory operand is based on rsp or rbp, as objdump
# prints them (AT&T operand order, either direction).
offenders() {
    "$objdump" -d --no-show-raw-insn "$1" |
        grep -E '[[:space:]]v(movap[sd]|movdqa(32|64)?|movnt(ps|pd|dq|dqa))[[:space:]]' |
        grep -E '%[yz]mm' | grep -E '\(%r[sb]p[,)]' || true
}

mkdir -p "$work"
cat >"$work/probe.s" <<'EOF'
    .text
    .globl probe
probe:
    vmovaps %ymm6, 0x20(%rsp)
    vmovdqa -0x40(%rbp), %ymm1
    vmovups %ymm6, 0x20(%rsp)
    vmovaps %xmm6, 0x20(%rsp)
    vmovaps %ymm0, (%rax)
    ret
EOF
"$cc" -c -x assembler "$work/probe.s" -o "$work/probe.o"
found=$(offenders "$work/probe.o" | wc -l)
if [ "$found" -ne 2 ]; then
    echo "the check found $found of the 2 aligned stack moves in its probe:"
    "$objdump" -d --no-show-raw-insn "$work/probe.o"
    exit 1
fi

wide=$("$objdump" -d --no-show-raw-insn "$dll" | grep -c '%ymm' || true)
if [ "$wide" -eq 0 ]; then
    echo "no ymm instruction in $dll: the wide kernels are missing or the disassembly failed"
    exit 1
fi
bad=$(offenders "$dll")
if [ -n "$bad" ]; then
    echo "aligned wide moves on the stack in $dll:"
    echo "$bad"
    exit 1
fi
spills=$("$objdump" -d --no-show-raw-insn "$dll" | grep -E '%ymm' | grep -cE '\(%r[sb]p[,)]' || true)
echo "$wide instructions use ymm registers; $spills of them address the stack, none with an aligned move"
