/* The talker runs from RAM at 0x0000; its work bytes and stack take 0xF4-0xFF. */
OUTPUT_FORMAT("elf32-m68hc11")
OUTPUT_ARCH(m68hc11)
ENTRY(_start)
MEMORY
{
  ram (rwx) : ORIGIN = 0x0000, LENGTH = 0x00F4
}
SECTIONS
{
  .text : { *(.text) } > ram
  /DISCARD/ : { *(.data) *(.bss) *(.comment) }
}
