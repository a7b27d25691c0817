| Start-up object of C and C++ programs: stack, cleared .bss, constructors, main, then the
| monitor's "program ended" service through exit(). .data needs no copy: the download puts it
| where it runs.
        .section .text.crt0,"ax"
        .globl  _start
_start:
        lea     __stack_top,%sp
        lea     __bss_start,%a0
        lea     __bss_end,%a1
1:      cmp.l   %a1,%a0
        bcc.s   2f
        clr.b   (%a0)+
        bra.s   1b
2:      lea     __init_array_start,%a2
3:      cmp.l   #__init_array_end,%a2
        bcc.s   4f
        move.l  (%a2)+,%a0
        jsr     (%a0)
        bra.s   3b
4:      jsr     main
        move.l  %d0,-(%sp)
        jsr     exit
