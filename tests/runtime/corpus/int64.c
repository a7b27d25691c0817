/* 64-bit arithmetic and printf's long long conversions, with bit-counting built-ins that the
   68020 would do with bit-field instructions the CPU32 lacks. */
#include <inttypes.h>
#include <stdio.h>

static volatile long long a = 123456789012345LL;
static volatile long long b = -987654321LL;
static volatile unsigned u = 0x00F00000u;

int main(void) {
    printf("%lld %lld %lld\n", a + b, a * 3, a / b);
    printf("%lld %llu %llx %llX\n", a % b, (unsigned long long)a << 7, (unsigned long long)a, -1ULL >> 4);
    printf("%d %lld %d\n", 1, (long long)INT64_MIN, 2);
    printf("%" PRId64 " %" PRIu64 " %" PRIx64 "\n", (int64_t)b * b, UINT64_MAX / 3, (uint64_t)a ^ 0xFFFF0000FFFFULL);
    printf("%d %d %d %d\n", __builtin_clz(u), __builtin_ctz(u), __builtin_ffs((int)u), __builtin_popcount(u));
    printf("%d %d\n", __builtin_clzll(1ULL << 40), __builtin_ctzll(1ULL << 40));
    unsigned long long x = 1;
    for (int i = 0; i < 20; ++i) x = x * 31 + (unsigned)i;
    printf("%llu %lld\n", x, -(long long)(x >> 3));
    return 0;
}
