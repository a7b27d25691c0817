/* main's return value is the program's status; atexit handlers run first. */
#include <stdio.h>
#include <stdlib.h>

static void goodbye(void) { puts("au revoir"); }

int main(void) {
    atexit(goodbye);
    puts("status 3");
    return 3;
}
