putc	move.b	d0,PORT
	rts
