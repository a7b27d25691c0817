/* Output of the C library: standard output and standard error go to the monitor's terminal,
   each '\n' as CR LF. Both streams are unbuffered, so that what a program prints shows at once
   even when it then polls kbhit() or loops; printf still hands a whole formatted text to one
   write call. This object is only linked into programs that write, and so is the setting. */
#include <errno.h>
#include <stdio.h>
#include <unistd.h>

#include "monitor.h"

_READ_WRITE_RETURN_TYPE write(int fd, const void* buffer, size_t count) {
    if (fd != STDOUT_FILENO && fd != STDERR_FILENO) {
        errno = EBADF;
        return -1;
    }
    const unsigned char* bytes = buffer;
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] == '\n') korvanService(kServiceWriteChar, '\r');
        korvanService(kServiceWriteChar, bytes[i]);
    }
    return (_READ_WRITE_RETURN_TYPE)count;
}

static void __attribute__((constructor)) unbufferedTerminal(void) {
    setvbuf(stdout, NULL, _IONBF, 0);
    setvbuf(stdin, NULL, _IONBF, 0);
}
