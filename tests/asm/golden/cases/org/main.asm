* ORG leaves the sections; the code section overlaps the variables.
	org	$1000
vec	dc.l	start
	section	code
start	nop
	ds.b	$1000
	end
