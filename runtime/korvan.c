/* The korvan run-time library: terminal I/O and program end through the resident monitor's
   TRAP #15 services, a small printf, and the few routines the compilers call on their own. */
#include <stdarg.h>
#include <stddef.h>

#include "korvan.h"

/* Monitor services: function number in D0.L, argument in D1 or A0, result in D1. */
enum { kEnd = 0, kWriteChar = 1, kReadChar = 3, kCharWaiting = 4 };

#if defined(__m68k__)
static long monitorService(long function, long d1) {
    register long d0Reg __asm__("d0") = function;
    register long d1Reg __asm__("d1") = d1;
    __asm__ volatile("trap #15" : "+d"(d0Reg), "+d"(d1Reg) : : "memory", "cc");
    return d1Reg;
}
#else
/* Built for the host by the run-time's tests, which answer the services themselves. */
long korvanHostService(long function, long d1);
#define monitorService korvanHostService
#endif

int putchar(int c) {
    if (c == '\n') monitorService(kWriteChar, '\r');
    monitorService(kWriteChar, (unsigned char)c);
    return (unsigned char)c;
}

int puts(const char* s) {
    while (*s) putchar(*s++);
    putchar('\n');
    return 0;
}

int getchar(void) { return (unsigned char)monitorService(kReadChar, 0); }

int kbhit(void) { return monitorService(kCharWaiting, 0) != 0; }

void exit(int status) {
    (void)status;
    for (;;) monitorService(kEnd, 0);
}

/* One converted field: sign or prefix, digits, padded to width. */
static int putField(const char* text, int length, int negative, int width, int leftAlign, int zeroPad) {
    int count = 0;
    int pad = width - length - negative;
    if (negative && zeroPad) {
        putchar('-');
        count++;
    }
    if (!leftAlign)
        for (; pad > 0; --pad, ++count) putchar(zeroPad ? '0' : ' ');
    if (negative && !zeroPad) {
        putchar('-');
        count++;
    }
    for (int i = 0; i < length; ++i, ++count) putchar(text[i]);
    for (; pad > 0; --pad, ++count) putchar(' ');
    return count;
}

static int putNumber(unsigned long value, unsigned base, int upper, int negative, int width, int leftAlign,
                     int zeroPad) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char buffer[24];
    int n = sizeof buffer;
    do {
        buffer[--n] = digits[value % base];
        value /= base;
    } while (value != 0);
    return putField(buffer + n, (int)sizeof buffer - n, negative, width, leftAlign, zeroPad);
}

int printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int count = 0;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') {
            putchar(*p);
            count++;
            continue;
        }
        const char* start = p;
        int leftAlign = 0, zeroPad = 0, width = 0;
        for (;; ++p) {
            if (p[1] == '-')
                leftAlign = 1;
            else if (p[1] == '0')
                zeroPad = 1;
            else
                break;
        }
        while (p[1] >= '0' && p[1] <= '9') width = width * 10 + (*++p - '0');
        int isLong = 0;
        while (p[1] == 'l') ++p, isLong = 1;
        if (leftAlign) zeroPad = 0;
        switch (*++p) {
        case 'd':
        case 'i': {
            long v = isLong ? va_arg(args, long) : va_arg(args, int);
            unsigned long magnitude = v < 0 ? 0UL - (unsigned long)v : (unsigned long)v;
            count += putNumber(magnitude, 10, 0, v < 0, width, leftAlign, zeroPad);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            unsigned long v = isLong ? va_arg(args, unsigned long) : va_arg(args, unsigned);
            count += putNumber(v, *p == 'u' ? 10 : 16, *p == 'X', 0, width, leftAlign, zeroPad);
            break;
        }
        case 'c': {
            char c = (char)va_arg(args, int);
            count += putField(&c, 1, 0, width, leftAlign, 0);
            break;
        }
        case 's': {
            const char* s = va_arg(args, const char*);
            if (!s) s = "(null)";
            int length = 0;
            while (s[length]) ++length;
            count += putField(s, length, 0, width, leftAlign, 0);
            break;
        }
        case '%':
            putchar('%');
            count++;
            break;
        default:
            /* An unknown conversion, or a lone '%' at the end, is written as it stands. */
            if (*p == '\0') --p;
            for (const char* q = start; q <= p; ++q, ++count) putchar(*q);
            break;
        }
    }
    va_end(args);
    return count;
}

/* Routines the compiler may call for copies and initialisations, even in freestanding code. */
void* memcpy(void* to, const void* from, size_t n) {
    unsigned char* d = to;
    const unsigned char* s = from;
    while (n--) *d++ = *s++;
    return to;
}

void* memmove(void* to, const void* from, size_t n) {
    unsigned char* d = to;
    const unsigned char* s = from;
    if (d < s) {
        while (n--) *d++ = *s++;
    } else {
        while (n--) d[n] = s[n];
    }
    return to;
}

void* memset(void* to, int value, size_t n) {
    unsigned char* d = to;
    while (n--) *d++ = (unsigned char)value;
    return to;
}

int memcmp(const void* a, const void* b, size_t n) {
    const unsigned char* x = a;
    const unsigned char* y = b;
    for (; n; --n, ++x, ++y)
        if (*x != *y) return *x < *y ? -1 : 1;
    return 0;
}

/* 64-bit division. The cross compiler's own helpers use BFFFO, which the CPU32 lacks, so
   these come first: shift and subtract, one quotient bit per turn. A zero divisor raises the
   CPU's zero-divide exception, as a 32-bit division would. */
static unsigned long long udivmod64(unsigned long long n, unsigned long long d, unsigned long long* rem) {
    if (d == 0) {
#if defined(__m68k__)
        __asm__ volatile("moveq #0,%%d0\n\tdivu.w %%d0,%%d0" : : : "d0", "cc");
#endif
        *rem = 0;
        return 0;
    }
    unsigned long long q = 0, r = 0;
    for (int i = 0; i < 64; ++i) {
        r = (r << 1) | (n >> 63);
        n <<= 1;
        q <<= 1;
        if (r >= d) {
            r -= d;
            q |= 1;
        }
    }
    *rem = r;
    return q;
}

unsigned long long __udivdi3(unsigned long long n, unsigned long long d);
unsigned long long __umoddi3(unsigned long long n, unsigned long long d);
long long __divdi3(long long n, long long d);
long long __moddi3(long long n, long long d);

unsigned long long __udivdi3(unsigned long long n, unsigned long long d) {
    unsigned long long r;
    return udivmod64(n, d, &r);
}

unsigned long long __umoddi3(unsigned long long n, unsigned long long d) {
    unsigned long long r;
    udivmod64(n, d, &r);
    return r;
}

long long __divdi3(long long n, long long d) {
    unsigned long long r;
    unsigned long long un = n < 0 ? 0ULL - (unsigned long long)n : (unsigned long long)n;
    unsigned long long ud = d < 0 ? 0ULL - (unsigned long long)d : (unsigned long long)d;
    unsigned long long q = udivmod64(un, ud, &r);
    return (long long)((n < 0) != (d < 0) ? 0ULL - q : q);
}

long long __moddi3(long long n, long long d) {
    unsigned long long r;
    unsigned long long un = n < 0 ? 0ULL - (unsigned long long)n : (unsigned long long)n;
    unsigned long long ud = d < 0 ? 0ULL - (unsigned long long)d : (unsigned long long)d;
    udivmod64(un, ud, &r);
    return (long long)(n < 0 ? 0ULL - r : r);
}

#if defined(__m68k__)
/* What C++ code without exceptions needs: static objects register destructors that never
   run (a program ends through the monitor), function-local statics are guarded (one thread),
   a pure virtual call ends the program, and operator delete has no heap to return memory to.
   Class-info vtables let the compiler's type descriptions link; nothing reads them unless a
   program uses typeid or dynamic_cast, which are not offered. */
void* __dso_handle = 0;
int __cxa_atexit(void (*destructor)(void*), void* object, void* dso);
int __cxa_atexit(void (*destructor)(void*), void* object, void* dso) {
    (void)destructor, (void)object, (void)dso;
    return 0;
}
int __cxa_guard_acquire(long long* guard);
void __cxa_guard_release(long long* guard);
void __cxa_guard_abort(long long* guard);
int __cxa_guard_acquire(long long* guard) { return *(volatile char*)guard == 0; }
void __cxa_guard_release(long long* guard) { *(volatile char*)guard = 1; }
void __cxa_guard_abort(long long* guard) { (void)guard; }
void __cxa_pure_virtual(void);
void __cxa_pure_virtual(void) { exit(1); }
void _ZdlPv(void* p);            /* operator delete(void*) */
void _ZdlPvj(void* p, unsigned); /* operator delete(void*, unsigned int) */
void _ZdlPv(void* p) { (void)p; }
void _ZdlPvj(void* p, unsigned n) { (void)p, (void)n; }
const void* const _ZTVN10__cxxabiv117__class_type_infoE[4] = {0};
const void* const _ZTVN10__cxxabiv120__si_class_type_infoE[4] = {0};
const void* const _ZTVN10__cxxabiv121__vmi_class_type_infoE[4] = {0};
#endif
