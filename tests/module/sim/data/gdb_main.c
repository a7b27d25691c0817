#include <stdio.h>

static int square(int x) {
    int y = x * x;
    return y;
}

int main(void) {
    int total = 5;
    total += square(3);
    printf("total %d\n", total);
    return total;
}
