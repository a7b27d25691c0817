* ORG leaves the sections; the code section runs into the variables.
	org	$1000
vec	dc.l	start
	section	code
start	nop
	ds.b	$1000
	section	var
count	dc.w	0
	end
