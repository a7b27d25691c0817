/* The heap: malloc, calloc, realloc and free with a linked list, sorting, random numbers, and
   a request too large for the module's RAM refused with NULL instead of a crash. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct Node {
    int value;
    struct Node* next;
};

static int compare(const void* a, const void* b) { return *(const int*)a - *(const int*)b; }

int main(void) {
    struct Node* head = NULL;
    for (int i = 0; i < 100; ++i) {
        struct Node* n = malloc(sizeof *n);
        if (!n) return 1;
        n->value = (i * 37) % 101;
        n->next = head;
        head = n;
    }
    int sum = 0, count = 0;
    while (head) {
        struct Node* next = head->next;
        sum += head->value;
        ++count;
        free(head);
        head = next;
    }
    printf("%d nodes, sum %d\n", count, sum);
    int* values = calloc(10, sizeof *values);
    for (int i = 0; i < 10; ++i) values[i] = (i * 7) % 10 - 3;
    values = realloc(values, 20 * sizeof *values);
    for (int i = 10; i < 20; ++i) values[i] = 20 - i;
    qsort(values, 20, sizeof *values, compare);
    for (int i = 0; i < 20; ++i) printf("%d ", values[i]);
    printf("\n");
    free(values);
    char* text = strdup("copie");
    printf("%s\n", text);
    free(text);
    srand(7);
    int first = rand(), inRange = 1;
    for (int i = 0; i < 1000; ++i) {
        int r = rand() % 6;
        if (r < 0 || r > 5) inRange = 0;
    }
    srand(7);
    printf("rand reproducible %d, in range %d\n", rand() == first, inRange);
    void* huge = malloc(4u * 1024 * 1024);
    printf("huge %s\n", huge ? "allocated" : "refused");
    /* The module's RAM runs out well before 1 MiB; a host stops there. */
    size_t total = 0;
    while (total < 1024u * 1024 && malloc(16 * 1024) != NULL) total += 16 * 1024;
    printf("heap full after more than 256 KiB: %d\n", total > 256u * 1024 && total < 1024u * 1024);
    return 0;
}
