/* A CPU-bound C program for timing the simulator: the kinds of loops compiled code spends its
   time in (sieve, bitwise CRC, sorting, integer matrix product, string handling), each checked
   by a sum printed at the end, so that a core that computes wrongly shows. */
#include <stdio.h>
#include <string.h>

#define ROUNDS 64

static unsigned char sieve[8192];
static unsigned data[512];
static int a[16][16], b[16][16], c[16][16];
static char text[256], copy[256];

static unsigned primes(void) {
    unsigned count = 0;
    memset(sieve, 1, sizeof sieve);
    for (unsigned i = 2; i < sizeof sieve; ++i) {
        if (!sieve[i]) continue;
        ++count;
        for (unsigned j = i * 2; j < sizeof sieve; j += i) sieve[j] = 0;
    }
    return count;
}

static unsigned crc32(const unsigned char* p, unsigned n) {
    unsigned crc = 0xFFFFFFFFu;
    while (n--) {
        crc ^= *p++;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & -(crc & 1));
    }
    return ~crc;
}

static unsigned sortSum(unsigned seed) {
    for (unsigned i = 0; i < 512; ++i) {
        seed = seed * 1103515245u + 12345u;
        data[i] = seed >> 8;
    }
    for (unsigned i = 1; i < 512; ++i) {
        const unsigned v = data[i];
        unsigned j = i;
        for (; j > 0 && data[j - 1] > v; --j) data[j] = data[j - 1];
        data[j] = v;
    }
    return data[0] ^ data[255] ^ data[511];
}

static int matrix(int seed) {
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j) {
            a[i][j] = (i * 7 + j * 3 + seed) % 23 - 11;
            b[i][j] = (i * 5 - j * 2 + seed) % 19 - 9;
        }
    int trace = 0;
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j) {
            int s = 0;
            for (int k = 0; k < 16; ++k) s += a[i][k] * b[k][j];
            c[i][j] = s;
        }
    for (int i = 0; i < 16; ++i) trace += c[i][i] - c[i][15 - i];
    return trace;
}

static unsigned strings(int round) {
    unsigned sum = 0;
    for (int n = 0; n < 200; ++n) {
        for (int i = 0; i < 200; ++i) text[i] = (char)('a' + (i * 7 + n + round) % 26);
        text[200] = 0;
        strcpy(copy, text);
        sum += strlen(copy) + (unsigned)strcmp(copy, "mmmm") + (unsigned)(strchr(copy, 'z') - copy);
    }
    return sum;
}

int main(void) {
    unsigned sum = 0;
    for (int r = 0; r < ROUNDS; ++r) {
        sum += primes();
        sum ^= crc32(sieve, sizeof sieve);
        sum += sortSum((unsigned)r);
        sum += (unsigned)matrix(r);
        sum += strings(r);
    }
    printf("kernel sum %08x\n", sum);
    return 0;
}
