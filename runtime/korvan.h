/* The korvan run-time for C and C++ programs on the module: character I/O through the
   resident monitor's services and the end of the program. */
#ifndef KORVAN_H
#define KORVAN_H

#ifdef __cplusplus
extern "C" {
#endif

/* Writes c to the terminal; '\n' goes out as CR LF. Returns c as an unsigned char. */
int putchar(int c);
/* Writes s and a line end. Returns 0. */
int puts(const char* s);
/* Waits for a character from the terminal and returns it as an unsigned char. */
int getchar(void);
/* 1 when a character from the terminal is waiting, otherwise 0. */
int kbhit(void);
/* Ends the program: the monitor prints "program ended", the registers and its prompt. */
void exit(int status) __attribute__((noreturn));
/* Formatted output with %d %i %u %x %X %s %c %% (flags '-' and '0', a field width and the
   'l' modifier are accepted). Returns the number of characters written. */
int printf(const char* format, ...) __attribute__((__format__(__printf__, 1, 2)));

#ifdef __cplusplus
}
#endif

#endif
