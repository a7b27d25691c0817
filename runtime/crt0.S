| Start-up object of C and C++ programs: the stack at the top of RAM, .bss cleared, the
| constructors run (.preinit_array, then .init_array in priority order), main called with no
| arguments, then exit() with main's value, so that atexit handlers and destructors run and the
| monitor's "program ended" service receives the status. .data needs no copy: the download puts
| it where it runs.
        .section .text.crt0,"ax"
        .globl  _start
_start:
        lea     __stack_top,%sp
        lea     __bss_start,%a0
        lea     __bss_end,%a1
1:      cmp.l   %a1,%a0
        bcc.s   2f
        clr.l   (%a0)+
        bra.s   1b
2:      lea     __preinit_array_start,%a2
        lea     __preinit_array_end,%a3
        bsr.s   call_all
        lea     __init_array_start,%a2
        lea     __init_array_end,%a3
        bsr.s   call_all
        pea     no_arguments
        clr.l   -(%sp)
        jsr     main
        addq.l  #8,%sp
        move.l  %d0,-(%sp)
        jsr     exit

| Calls every function pointer in [%a2, %a3). The callees preserve %a2 and %a3.
call_all:
        cmp.l   %a3,%a2
        bcc.s   1f
        move.l  (%a2)+,%a0
        jsr     (%a0)
        bra.s   call_all
1:      rts

| newlib's array runners call _init and _fini around the arrays; the arrays are all there is.
        .weak   _init
        .weak   _fini
_init:
_fini:
        rts

        .section .rodata.crt0,"a"
        .balign 4
no_arguments:
        .long   0

| A pure virtual function called (during construction or destruction): the message, then
| abort(). C++ objects refer to this weakly, which would not bring libsupc++'s own from the
| archive, so it lives here, in a section the linker drops when no vtable refers to it.
        .section .text.__cxa_pure_virtual,"ax"
        .globl  __cxa_pure_virtual
__cxa_pure_virtual:
        moveq   #2,%d0
        lea     pure_virtual_text,%a0
        trap    #15
        jsr     abort

        .section .rodata.__cxa_pure_virtual,"a"
pure_virtual_text:
        .asciz  "pure virtual method called\r\n"
