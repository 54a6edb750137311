; The bootstrap cable's talker: a small HC11 program that the boot ROM loads into RAM at
; 0x0000 and starts there. It speaks a framed protocol over the SCI at the rate the boot ROM
; set, and reads memory, computes CRCs and erases and programs EEPROM and CONFIG for the host.
;
; Frame from the host, always six bytes:  CMD ADDRH ADDRL P1 P2 CHK
;   CHK makes the 8-bit sum of the six bytes 0xA5. A receive error (overrun, noise, framing)
;   adds its flags into the sum, so a damaged frame fails the check. A frame that fails is
;   answered with the single byte '?' and nothing else happens.
; Reply to a good frame:                  CMD data... SUM
;   SUM is 0xA5 plus the 8-bit sum of CMD and the data bytes.
; Commands (ADDR is the 16-bit address; a count of 0 stands for 256):
;   'I'  identity: the text at "ident" (P1, P2 unused)
;   'R'  read P1 bytes from ADDR
;   'C'  CRC-16 (CCITT polynomial 0x1021, initial 0xFFFF, high byte first) of P1 blocks of
;        P2 bytes each from ADDR: two bytes per block
;   'P'  EEPROM cycle: PPROG = (P2 & (BYTE|ROW|ERASE)) | EELAT, P1 written to ADDR, then
;        EEPGM set in a write of its own, the delay below, PPROG cleared; data: the byte
;        read back from ADDR. P2 = 0 programs a byte, 0x14 erases a byte, 0x0C a row, 0x04
;        the whole array (or CONFIG at 0x103F); 0x80 erases the byte, then programs it.
;   'W'  plain store of P1 to ADDR (a register such as BPROT); data: the byte read back
; As it starts, the talker clears BPROT (writable any time in bootstrap mode, a special mode;
; a reserved address on the A8). The host waits for each reply before it sends again, so the SCI never overruns while the
; talker programs.

REGS    = 0x1000
SCSR    = 0x2E
SCDR    = 0x2F
BPROT   = 0x35
PPROG   = 0x3B
EELAT   = 0x02
EEPGM   = 0x01
MODES   = 0x1C                ; BYTE | ROW | ERASE
RXERR   = 0x0E                ; OR | NF | FE
TDRE    = 0x80
RDRF    = 0x20

; Work bytes at the top of the 256 bytes every part has, below the stack (at most four
; bytes deep: a handler's call of echo, its call of putc); they are not part of the download.
fcmd    = 0xF4
faddr   = 0xF5
fp1     = 0xF7
fp2     = 0xF8
sum     = 0xFA
cnt     = 0xFB
stacktop = 0xFF

        .sect .text
        .globl _start
_start:
        lds     #stacktop
        ldx     #REGS
        clr     BPROT,x         ; EEPROM and CONFIG writable (bootstrap is a special mode)
loop:
        clr     sum
        ldy     #fcmd
        ldaa    #6
rxframe:
        bsr     getc
        stab    0,y
        iny
        deca
        bne     rxframe
        ldaa    *sum
        cmpa    #0xA5
        bne     nak
        ldaa    *fcmd
        cmpa    #'R'
        beq     cread
        cmpa    #'C'
        beq     ccrc
        cmpa    #'P'
        beq     cprog
        cmpa    #'W'
        beq     cstore
        cmpa    #'I'
        beq     cident
nak:
        ldab    #'?'
        bsr     putc
        bra     loop

; Receives a byte into B and adds it, and any receive error flags, to the sum. Keeps A.
getc:
        brclr   SCSR,x, #RDRF, getc
        psha
        ldaa    SCSR,x
        anda    #RXERR
        ldab    SCDR,x
        aba
        adda    *sum
        staa    *sum
        pula
        rts

; Sends B once the transmitter is free and adds it to the sum. Keeps A.
putc:
        brclr   SCSR,x, #TDRE, putc
        stab    SCDR,x
        addb    *sum
        stab    *sum
        rts

; Sends CMD and points Y at ADDR.
echo:
        ldab    *fcmd
        bsr     putc
        ldy     *faddr
        rts

cident:
        ldaa    #identend-ident
        staa    *fp1
        ldd     #ident
        std     *faddr
cread:
        bsr     echo
        ldaa    *fp1
rdnext:
        ldab    0,y
        bsr     putc
        iny
        deca
        bne     rdnext
done:
        ldab    *sum
        bsr     putc
        bra     loop

cstore:
        bsr     echo
        ldaa    *fp1
        staa    0,y
        bra     readback

cprog:
        bsr     echo
        ldab    *fp2
        bpl     once
        ldab    #0x14           ; BYTE | ERASE first
        bsr     pulse
        clrb                    ; then program
once:
        bsr     pulse
readback:
        ldab    0,y
        bsr     putc
        bra     done

ccrc:
        bsr     echo
crcblock:
        ldaa    *fp2
        staa    *cnt
        ldd     #0xFFFF
crcbyte:
        eora    0,y
        iny
        ldx     #8
crcbit:
        lsld
        bcc     crcnext
        eora    #0x10
        eorb    #0x21
crcnext:
        dex
        bne     crcbit
        dec     cnt
        bne     crcbyte
        ldx     #REGS
        pshb
        tab
        bsr     putc
        pulb
        bsr     putc
        dec     fp1
        bne     crcblock
        bra     done

; One PPROG cycle on the cell at Y: B's BYTE, ROW and ERASE bits with EELAT, the data P1
; latched, EEPGM set in a write of its own, the delay, PPROG cleared.
pulse:
        andb    #MODES
        orab    #EELAT
        stab    PPROG,x
        ldaa    *fp1
        staa    0,y
        bset    PPROG,x, #EEPGM
        ldd     delay_count
wait:
        subd    #1
        bne     wait
        clr     PPROG,x
        rts

; The host patches the programming delay here: iterations of a 7-cycle loop for 10 ms
; (20 ms below 2 MHz E clock) at the crystal given.
        .globl  delay_count
delay_count:
        .word   2858
ident:
        .ascii  "JQZ TALK 1.2"
identend:
