* A program with mistakes: each line keeps only its most severe one.
	move.l	#1,d0
	move.l	nowhere,d1
	frob	d0
	add.b	#1,
label	nop
label	nop
	dc.l	'ABCDEFG'
	dc.b	300
	ds.w	-1
	include	bad.asm
	rts
