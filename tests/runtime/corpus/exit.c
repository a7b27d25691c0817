/* exit() from a nested call ends the program with its argument as the status. */
#include <stdio.h>
#include <stdlib.h>

static void check(int value) {
    if (value > 2) {
        printf("stop at %d\n", value);
        exit(200 + value);
    }
}

int main(void) {
    for (int i = 0; i < 10; ++i) check(i);
    puts("not reached");
    return 0;
}
