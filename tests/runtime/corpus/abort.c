/* abort() stops the program with a message and a non-zero status. */
#include <stdio.h>
#include <stdlib.h>

int main(void) {
    puts("before abort");
    abort();
    puts("not reached");
    return 0;
}
