* Forward references: every label is used before its definition.
	bsr	sub
	beq	done
	move.l	#value,d0
	jmp	done
sub	moveq	#0,d0
	rts
done	lea	table(pc),a0
	rts
table	dc.l	done,sub
value	equ	$1234
