/* A program that polls for input, as a program on the module does: kbhit() says when a
   character waits, getchar() takes it; input ends at 'q'. */
#include <ctype.h>
#include <korvan.h>

int main(void) {
    unsigned long polls = 0;
    int lines = 0;
    printf("> ");
    for (;;) {
        if (!kbhit()) {
            ++polls;
            continue;
        }
        int c = getchar();
        if (c == 'q') break;
        if (c == '\n') {
            ++lines;
            printf("\n> ");
        } else {
            putchar(toupper(c));
        }
    }
    printf("\n%d lines, polled %s\n", lines, polls > 0 ? "yes" : "no");
    return 0;
}
