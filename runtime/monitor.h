/* The resident monitor's services (TRAP #15, function number in D0.L, argument in D1 or A0,
   result in D1), shared by the run-time's own sources. */
#ifndef KORVAN_MONITOR_H
#define KORVAN_MONITOR_H

enum { kServiceEnd = 0, kServiceWriteChar = 1, kServiceReadChar = 3, kServiceCharWaiting = 4 };

static inline long korvanService(long function, long d1) {
    register long d0Reg __asm__("d0") = function;
    register long d1Reg __asm__("d1") = d1;
    __asm__ volatile("trap #15" : "+d"(d0Reg), "+d"(d1Reg) : : "memory", "cc");
    return d1Reg;
}

#endif
