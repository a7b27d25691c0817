/* Writes the bytes of the array "grand" of the C file exported for it, then the fields of its
   structure, to the file named by its argument. */
#include <stdio.h>
int main(int argc, char** argv) {
    FILE* f = fopen(argv[1], "wb");
    if (!f || argc < 2) return 2;
    fwrite(grand, 1, sizeof grand, f);
    fprintf(f, "|%u %d %d %d", (unsigned)(unsigned short)i_grand.size, i_grand.widthBytes, i_grand.height,
            i_grand.bits == grand);
    return fclose(f) != 0;
}
