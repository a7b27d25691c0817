/* Software floating point: float and double arithmetic, conversions both ways, printf's
   floating conversions and <math.h>. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

static volatile double third = 1.0 / 3.0;
static volatile float half = 0.5f;
static volatile int seven = 7;
static volatile unsigned big = 3000000000u;

int main(void) {
    double x = third * 3.0;
    float f = half * 3.0f + 0.25f;
    printf("%f %.10f %e %g\n", x, third, 12345.678, 0.0001234);
    printf("%.3f %5.1f|%-8.2f|%+.2f\n", (double)f, (double)f * 10, -2.5, 3.14159);
    printf("%d %u %d %d\n", (int)(seven * 1.9), (unsigned)(double)big, (int)-3.7, (int)(float)seven);
    printf("%.4f %.4f %.4f %.4f\n", sqrt(2.0), sin(1.0), pow(2.0, 10.5), floor(-2.5));
    printf("%.3f %.6f %.2f\n", atof("6.02e2"), strtod("0.125", NULL), fabs(-1.5) + fmod(7.5, 2.0));
    double sum = 0;
    for (int i = 1; i <= 10; ++i) sum += 1.0 / i;
    printf("%.12f %d %d\n", sum, 0.1 + 0.2 == 0.3, x == 1.0);
    float values[] = {3.5f, -1.25f, 1e10f, 1e-3f};
    for (unsigned i = 0; i < sizeof values / sizeof values[0]; ++i) printf("%g ", (double)values[i]);
    printf("\n%f %f\n", (double)(long long)123456789012.0, (double)(float)(long long)-5);
    return 0;
}
