/* Every common printf conversion and flag consumes its argument, and snprintf truncates
   and counts as the standard says. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    printf("[%o] [%#o] [%x] [%#x] [%#X]\n", 8, 8, 255, 255, 255);
    printf("[%+d] [% d] [%05d] [%-5d] [%*d] [%-*d]\n", 5, 5, -42, 7, 6, 3, 4, 9);
    printf("[%.3d] [%8.3s] [%-8s] [%c%c]\n", 7, "abcdef", "ab", 'o', 'k');
    printf("[%hd] [%hhu] [%ld] [%lu] [%zu] [%td]\n", (short)-2, (unsigned char)300, -70000L, 4000000000UL,
           sizeof(long long), (ptrdiff_t)-3);
    printf("[%p] [%s] [%%] [%i]\n", (void*)0x1234, "fin", 12);
    char small[8];
    int n = snprintf(small, sizeof small, "%s-%d", "korvan", 12345);
    printf("%d [%s] %u\n", n, small, (unsigned)strlen(small));
    char line[64];
    sprintf(line, "%3d|%-3d|%03d", 1, 2, 3);
    puts(line);
    int count = 0;
    printf("abc%n\n", &count);
    printf("%d\n", count);
    return 0;
}
