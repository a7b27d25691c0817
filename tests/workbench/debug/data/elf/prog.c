// clang-format off
static int square(int v) {
    return v * v;
}

int total;

int main(void) {
    int i;

    for (i = 0; i < 4; i++) {
        total += square(i);
    }
    return total;
}
