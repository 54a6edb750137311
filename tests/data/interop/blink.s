; Toggles PORTA bit 6 of an MC68HC11 with a software delay, and counts the toggles
; in the internal EEPROM's shadow RAM byte.
        .sect   .text
        .globl  _start
        REGBASE = 0x1000
        PORTA   = 0x00
        COUNT   = 0x0040
_start:
        lds     #0x00FF
        ldx     #REGBASE
        clr     COUNT
loop:
        ldaa    PORTA,x
        eora    #0x40
        staa    PORTA,x
        inc     COUNT
        ldy     #10000
delay:
        dey
        bne     delay
        bra     loop
idle:
        rti
banner:
        .ascii  "JQZ interop fixture"
        .byte   0

        .sect   .vectors, "a"
        .rept   20
        .word   idle
        .endr
        .word   _start
