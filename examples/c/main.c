/* A first C program for the module: prints through the korvan run-time, counts, divides,
   computes in floating point and keeps values in initialised and cleared variables. Build it,
   then Monitor and GO 802000. */
#include <korvan.h>
#include <math.h>

static int table[8];                              /* .bss: cleared by the start-up code */
static const char* greeting = "Bonjour du 68332"; /* .data */

static int sum(const int* values, int count) {
    int total = 0;
    for (int i = 0; i < count; ++i) total += values[i];
    return total;
}

int main(void) {
    puts(greeting);
    for (int i = 0; i < 8; ++i) table[i] = i * i;
    printf("somme des carres 0..7 = %d\n", sum(table, 8));
    printf("moyenne = %.3f, racine = %f\n", sum(table, 8) / 8.0, sqrt(2.0));
    printf("hex %x %X, %u / 7 = %u reste %u\n", 48879, 48879, 1000u, 1000u / 7, 1000u % 7);
    long long big = 123456789012LL;
    printf("%d%c\n", (int)(big / 1000000000LL), '!');
    return 0;
}
