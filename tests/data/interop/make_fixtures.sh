#!/usr/bin/env bash
# Makes the interoperability fixtures in this folder from data.bin and blink.s with other
# tools: srec_cat (package srecord) and the GNU assembler, linker and objcopy for the 68HC11
# (package binutils-m68hc1x). The results are kept in the repository; run this again only to
# change them. The core tests (interop_test.cpp) load every file and compare it with the
# reference binaries; INDEX lists what each file holds.
set -euo pipefail
cd "$(dirname "$0")"

# data.bin: 3000 bytes of a fixed pseudo-random sequence, every byte value represented.
LC_ALL=C awk 'BEGIN { x = 12345; for (i = 0; i < 3000; i++) { x = (x * 1103515245 + 12345) % 2147483648;
  printf "%c", int(x / 65536) % 256 } }' > data.bin

# srec_cat: data.bin placed at various addresses, in S19 and S28 layouts, with lines of
# 1 to 250 data bytes, LF, CR LF and CR line ends, with and without the S5 count record and
# the S9/S8 end record.
srec_cat data.bin -binary -offset 0xC000 -o srec_s19_obs16.s19 -motorola -address-length=2 -obs=16
srec_cat data.bin -binary -offset 0xC000 -o srec_s19_obs1.s19 -motorola -address-length=2 -obs=1 \
  -execution-start-address=0xC000
srec_cat data.bin -binary -offset 0x0100 -o srec_s19_obs250_crlf.s19 -motorola -address-length=2 \
  -obs=250 -line-termination=crlf
srec_cat data.bin -binary -offset 0xF800 -o srec_s28_obs32.s28 -motorola -address-length=3 -obs=32
srec_cat data.bin -binary -offset 0x1F000 -o srec_s28_obs64_cr.s28 -motorola -address-length=3 \
  -obs=64 -line-termination=cr -disable=header -disable=data-count
srec_cat data.bin -binary -offset 0x2000 -o srec_s28_obs200.s28 -motorola -address-length=3 \
  -obs=200 -execution-start-address=0x2000

# The GNU tools: a small real program linked at 0xE000 with its vector table at 0xFFD6.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
m68hc11-as -o "$tmp/blink.o" blink.s
m68hc11-ld -o "$tmp/blink.elf" -Ttext=0xE000 --section-start=.vectors=0xFFD6 -e _start "$tmp/blink.o"
m68hc11-objcopy -O srec "$tmp/blink.elf" gnu_blink.s19
m68hc11-objcopy -O srec --srec-len=8 "$tmp/blink.elf" gnu_blink_len8.s19
# Moved above 64 KiB, objcopy switches to S2 records with 3-byte addresses.
m68hc11-objcopy -O srec --change-addresses=0x10000 "$tmp/blink.elf" gnu_blink_high.s28
# The reference: 0xE000..0xFFFF with the gap between the sections filled with zeros.
m68hc11-objcopy -O binary "$tmp/blink.elf" gnu_blink.bin

# Intel HEX from both tools: srec_cat with 16- and 32-byte lines, below and above 64 KiB
# (extended linear address records) and with extended segment address records; objcopy.
srec_cat data.bin -binary -offset 0xC000 -o srec_intel_obs16.hex -intel -obs=16
srec_cat data.bin -binary -offset 0x1F000 -o srec_intel_high_obs32.hex -intel -obs=32 \
  -execution-start-address=0x1F000
srec_cat data.bin -binary -offset 0x2FF00 -o srec_intel_seg.hex -intel -address-length=3 -obs=16
m68hc11-objcopy -O ihex "$tmp/blink.elf" gnu_blink.hex
