* The second file cannot be found: nothing is assembled.
	nop
	include	nothere.asm
	rts
