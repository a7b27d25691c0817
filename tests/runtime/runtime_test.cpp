// The run-time library built for the host: printf's conversions against the host's own
// snprintf, the line ends and services it sends, and the 64-bit division that replaces the
// cross compiler's helpers, against the host's arithmetic.
#include <gtest/gtest.h>

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <string>

extern "C" {
int korvan_printf(const char* format, ...);
int korvan_puts(const char* s);
int korvan_getchar(void);
int korvan_kbhit(void);
unsigned long long korvan_udivdi3(unsigned long long n, unsigned long long d);
unsigned long long korvan_umoddi3(unsigned long long n, unsigned long long d);
long long korvan_divdi3(long long n, long long d);
long long korvan_moddi3(long long n, long long d);

// The monitor's services as the library calls them: written characters are collected.
std::string g_written;
long g_lastService = -1;
long korvanHostService(long function, long d1) {
    g_lastService = function;
    if (function == 1) g_written += char(d1);
    if (function == 3) return 0x1E9;  // only the low byte is a character
    if (function == 4) return 0x100;  // any non-zero count means waiting
    return 0;
}
}

namespace {

template <class... Args> void expectLikeHost(const char* format, Args... args) {
    char expected[256];
    const int n = std::snprintf(expected, sizeof expected, format, args...);
    g_written.clear();
    EXPECT_EQ(korvan_printf(format, args...), n) << format;
    EXPECT_EQ(g_written, expected) << format;
}

}  // namespace

TEST(RuntimePrintf, ConversionsMatchTheHost) {
    expectLikeHost("%d|%i|%d|%d", 0, -1, INT_MAX, INT_MIN);
    expectLikeHost("%u|%x|%X|%x", 4000000000u, 0xBEEFu, 0xBEEFu, 0u);
    expectLikeHost("[%5d][%-5d][%05d][%05d][%-05d]", 42, 42, 42, -42, 7);
    expectLikeHost("[%8x][%08X][%2d]", 0xABCu, 0xABCu, 12345);
    expectLikeHost("[%s][%7s][%-7s][%c][%3c]", "abc", "abc", "abc", 'z', 'q');
    expectLikeHost("100%% %ld %lu %lx", -5L, 5UL, 255UL);
}

TEST(RuntimePrintf, OddFormatsAndLineEnds) {
    g_written.clear();
    EXPECT_EQ(korvan_printf("a%qb%"), 5);  // unknown conversion and a final lone '%' kept, no overrun
    EXPECT_EQ(g_written, "a%qb%");
    g_written.clear();
    korvan_printf("%s\n", static_cast<const char*>(nullptr));
    EXPECT_EQ(g_written, "(null)\r\n");
    g_written.clear();
    korvan_puts("x");
    EXPECT_EQ(g_written, "x\r\n");
    EXPECT_EQ(korvan_getchar(), 0xE9);
    EXPECT_EQ(g_lastService, 3);
    EXPECT_EQ(korvan_kbhit(), 1);
    EXPECT_EQ(g_lastService, 4);
}

TEST(RuntimeDivision, SixtyFourBitsMatchTheHost) {
    const long long values[] = {0,
                                1,
                                -1,
                                7,
                                -7,
                                1000000007LL,
                                -123456789012345LL,
                                LLONG_MAX,
                                LLONG_MIN + 1,
                                0x100000000LL,
                                0x7FFFFFFF,
                                -0x80000000LL};
    for (long long n : values) {
        for (long long d : values) {
            if (d == 0) continue;
            EXPECT_EQ(korvan_divdi3(n, d), n / d) << n << " / " << d;
            EXPECT_EQ(korvan_moddi3(n, d), n % d) << n << " % " << d;
            const auto un = static_cast<unsigned long long>(n), ud = static_cast<unsigned long long>(d);
            EXPECT_EQ(korvan_udivdi3(un, ud), un / ud) << un << " / " << ud;
            EXPECT_EQ(korvan_umoddi3(un, ud), un % ud) << un << " % " << ud;
        }
    }
}
