* Code and variables in their two sections.
COUNT	EQU	4
	SECTION	CODE
start	lea	table,a0
	move.w	#COUNT,d0
loop	move.b	(a0)+,d1
	move.b	d1,buffer
	subq.w	#1,d0
	bne	loop
	rts
table	dc.b	1,2,3,4
	section	var
buffer	ds.b	1
total	ds.l	1
	section	9
	move.l	total,d2
	end
