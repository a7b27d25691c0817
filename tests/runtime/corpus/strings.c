/* Odd-length character arrays, packed structures and <string.h>: on a CPU32 a word or long
   access at an odd address is an address error, so none may be emitted for these. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct __attribute__((packed)) Record {
    char tag;
    long value;
    short small;
    char name[5];
};

static struct Record records[3];

int main(void) {
    char name[] = "korvan";
    char greeting[20] = "Bonjour";
    char odd[7] = {'a', 'b', 'c', 'd', 'e', 'f', 0};
    strcat(greeting, ", ");
    strcat(greeting, name);
    printf("%s (%u)\n", greeting, (unsigned)strlen(greeting));
    for (int i = 0; i < 3; ++i) {
        records[i].tag = (char)('x' + i);
        records[i].value = 100000L * (i + 1) + i;
        records[i].small = (short)(-i - 1);
        memcpy(records[i].name, odd + i, 4);
        records[i].name[4] = 0;
    }
    struct Record copy = records[1];
    printf("%c %ld %d %s\n", copy.tag, copy.value, copy.small, copy.name);
    char buffer[40];
    strcpy(buffer + 1, name);
    memmove(buffer + 3, buffer + 1, strlen(name) + 1);
    printf("[%s] [%s]\n", buffer + 1, buffer + 3);
    printf("%d %d %d\n", strcmp("abc", "abd") < 0, memcmp(odd + 1, "bcd", 3), strncmp(name, "korea", 3));
    printf("%s %s %s\n", strchr(greeting, 'j'), strrchr(greeting, 'o'), strstr(greeting, "kor"));
    char* token = strtok(strcpy(buffer, "un,deux,,trois"), ",");
    while (token) {
        printf("<%s>", token);
        token = strtok(NULL, ",");
    }
    printf("\n%ld %lu %d\n", strtol("-12345", NULL, 10), strtoul("ff", NULL, 16), atoi("  42x"));
    return 0;
}
