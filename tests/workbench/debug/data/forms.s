| Instruction forms in GNU as syntax, each with the kind the debugger must give it after the
| comment mark: Call, Trap, Return, Link, Unlink or Other.
	jsr %a0@                   	| Call
	jsr %a1@(100)              	| Call
	jsr %a2@(8,%d1:w)          	| Call
	jsr %a3@(1000,%d1:l:4)     	| Call
	jsr %a3@(100000,%d1:l:4)   	| Call
	jsr 0x1234:w               	| Call
	jsr 0x123456:l             	| Call
	jsr %pc@(f0)               	| Call
	jsr %pc@(f0,%d0:w:2)       	| Call
	bsrs f0                    	| Call
	bsrw f0                    	| Call
	bsrl f0                    	| Call
	trap #0                    	| Trap
	trap #15                   	| Trap
	trapv                      	| Trap
	trapeq                     	| Trap
	trapnew #1                 	| Trap
	trapnel #0x10000           	| Trap
	rts                        	| Return
	rtd #8                     	| Return
	rte                        	| Return
	rtr                        	| Return
	link %a6,#-8               	| Link
	link.l %a5,#-100000        	| Link
	unlk %a6                   	| Unlink
	nop                        	| Other
	jmp %a0@                   	| Other
	bras f0                    	| Other
	seq %d0                    	| Other
	dbf %d1,f0                 	| Other
	bkpt #0                    	| Other
	movel 0x12345678,0x11223344	| Other
