* Pass 2 reuses what pass 1 parsed only where nothing differs between the two passes.
* The forward branch takes two bytes less in pass 2, so every line after it starts two
* bytes lower than in pass 1; SET variables change; a line may read its own label; a
* symbol pass 1 gave a value pass 2 finds wrong is not defined again in pass 2.
count	set	1
limit	equ	$40
start	move.l	#count,d1
	bra	ahead
	nop
ahead	lea	start(pc),a0
	move.l	#limit,d2
loop	bra	loop
	dbf	d0,start
	add.l	#count,d3
count	set	2
	add.l	#count,d4
	move.w	ahead,d5
	moveq	#200,d6
	addq.l	#limit,d7
	move.l	#later,d0
size	set	later-start
	move.l	#size,d6
len	equ	later-start
	move.l	#len,d7
	jmp	start
later	rts
