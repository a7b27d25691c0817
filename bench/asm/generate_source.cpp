// Writes the benchmark's generated source to standard output, so that scripts can assemble the
// same program with this assembler and with GNU as: generate_source [LINES [LABELS]].
#include <cstdio>
#include <cstdlib>
#include <string>

#include "source_generator.h"

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 110000;
    const int labels = argc > 2 ? std::atoi(argv[2]) : lines / 10;
    if (lines <= 0 || labels <= 0) {
        std::fputs("usage: generate_source [LINES [LABELS]]\n", stderr);
        return 2;
    }
    const std::string text = qubrix::bench::GenerateSource(lines, labels);
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
