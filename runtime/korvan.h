/* The korvan run-time for C and C++ programs on the module. The program has newlib's whole C
   library (stdio, stdlib, string, math ...) with its input and output on the monitor's
   terminal; this header adds what is particular to the module. */
#ifndef KORVAN_H
#define KORVAN_H

#include <stdio.h>  /* putchar, puts, getchar, printf: '\n' goes out as CR LF */
#include <stdlib.h> /* exit: the monitor prints "program ended", the registers and its prompt */

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when a character from the terminal is waiting, otherwise 0; never waits. */
int kbhit(void);

#ifdef __cplusplus
}
#endif

#endif
