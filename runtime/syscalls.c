/* The system calls newlib needs (by their plain names, as newlib's m68k build calls them), for
   a program alone on the module: terminal input through
   the monitor, a heap between the end of .bss and the room kept for the stack, the end of the
   program with its status, and failures with the proper errno for everything the module does
   not have (files, processes, clocks). */
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdint.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/times.h>
#include <sys/wait.h>
#include <unistd.h>

#include "monitor.h"

extern char __heap_start[];
extern char __stack_top[];
extern char __stack_size[];

void _exit(int status) {
    for (;;) korvanService(kServiceEnd, status & 0xFF);
}

/* One character per call, as it is typed: the Enter key's CR reads as '\n'. */
_READ_WRITE_RETURN_TYPE read(int fd, void* buffer, size_t count) {
    if (fd != STDIN_FILENO) {
        errno = EBADF;
        return -1;
    }
    if (count == 0) return 0;
    char c = (char)korvanService(kServiceReadChar, 0);
    *(char*)buffer = c == '\r' ? '\n' : c;
    return 1;
}

/* The heap grows from the end of .bss; it never reaches into the room kept for the stack nor
   past the stack pointer, and a request that would is refused (malloc then returns NULL). */
void* sbrk(ptrdiff_t increment) {
    static char* brk = __heap_start;
    char* stackPointer;
    __asm__ volatile("move.l %%sp,%0" : "=r"(stackPointer));
    const uintptr_t limit = (uintptr_t)__stack_top - (uintptr_t)__stack_size;
    const uintptr_t next = (uintptr_t)brk + (uintptr_t)increment;
    if ((increment > 0 && (next > limit || next > (uintptr_t)stackPointer - 256 || next < (uintptr_t)brk)) ||
        (increment < 0 && next < (uintptr_t)__heap_start)) {
        errno = ENOMEM;
        return (void*)-1;
    }
    char* previous = brk;
    brk = (char*)next;
    return previous;
}

static void writeText(const char* text) {
    for (; *text; ++text) {
        if (*text == '\n') korvanService(kServiceWriteChar, '\r');
        korvanService(kServiceWriteChar, (unsigned char)*text);
    }
}

/* A signal sent to the program itself (abort(), an uncaught C++ exception, a pure virtual
   call) ends it with a message and the shell's status for a signal, 128 + its number. */
int kill(pid_t pid, int sig) {
    if (pid != 1) {
        errno = ESRCH;
        return -1;
    }
    writeText(sig == SIGABRT ? "\nprogram aborted\n" : "\nprogram stopped by a signal\n");
    _exit(128 + sig);
}

pid_t getpid(void) { return 1; }

int isatty(int fd) {
    if (fd >= STDIN_FILENO && fd <= STDERR_FILENO) return 1;
    errno = EBADF;
    return 0;
}

int fstat(int fd, struct stat* st) {
    if (fd < STDIN_FILENO || fd > STDERR_FILENO) {
        errno = EBADF;
        return -1;
    }
    st->st_mode = S_IFCHR;
    return 0;
}

int close(int fd) {
    if (fd >= STDIN_FILENO && fd <= STDERR_FILENO) return 0;
    errno = EBADF;
    return -1;
}

off_t lseek(int fd, off_t offset, int whence) {
    (void)offset;
    (void)whence;
    errno = fd >= STDIN_FILENO && fd <= STDERR_FILENO ? ESPIPE : EBADF;
    return -1;
}

/* The module has no files, processes or clock. */
int open(const char* path, int flags, ...) {
    (void)path;
    (void)flags;
    errno = ENOENT;
    return -1;
}
int stat(const char* path, struct stat* st) {
    (void)path;
    (void)st;
    errno = ENOENT;
    return -1;
}
int unlink(const char* path) {
    (void)path;
    errno = ENOENT;
    return -1;
}
int link(const char* from, const char* to) {
    (void)from;
    (void)to;
    errno = EMLINK;
    return -1;
}
pid_t fork(void) {
    errno = EAGAIN;
    return -1;
}
int execve(const char* path, char* const argv[], char* const envp[]) {
    (void)path;
    (void)argv;
    (void)envp;
    errno = ENOMEM;
    return -1;
}
pid_t wait(int* status) {
    (void)status;
    errno = ECHILD;
    return -1;
}
clock_t times(struct tms* buffer) {
    (void)buffer;
    errno = ENOSYS;
    return (clock_t)-1;
}
int gettimeofday(struct timeval* tv, void* tz) {
    (void)tv;
    (void)tz;
    errno = ENOSYS;
    return -1;
}
