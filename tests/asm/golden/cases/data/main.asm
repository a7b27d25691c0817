* Data directives: strings, sizes, block fill, reserved space, alignment.
msg	dc.b	'Hello',0
words	dc.w	1,-1,$1234,'ABC'
longs	dc.l	$DEADBEEF,'A',msg
odd	dc.b	7
even	nop
twelve	dc.b	1,2,3,4,5,6,7,8,9,10,11,12
seven	dc.w	1,2,3,4,5,6,7
fill	dcb.w	3,$4E71
space	ds.w	2
after	dc.b	'it''s'
	rts
	end
