* Equates and a routine come from other files, named here in lower
* case and found whatever their case on disk.
	include	inc/defs.inc
main	move.l	#STACK,a7
	include	inc/putc.asm
	bsr	putc
	trap	#15
