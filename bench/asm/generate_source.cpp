// Writes the benchmark's generated source to standard output, so that scripts can assemble the
// same program with this assembler and with GNU as:
//   generate_source [--realistic] [LINES [LABELS]]
//   generate_source --definitions    (the file a realistic source includes)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "source_generator.h"

int main(int argc, char** argv) {
    int arg = 1;
    bool realistic = false;
    if (arg < argc && std::strcmp(argv[arg], "--definitions") == 0) {
        const std::string text = qubrix::bench::GenerateDefinitions();
        return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
    }
    if (arg < argc && std::strcmp(argv[arg], "--realistic") == 0) {
        realistic = true;
        ++arg;
    }
    const int lines = arg < argc ? std::atoi(argv[arg]) : 110000;
    const int labels = arg + 1 < argc ? std::atoi(argv[arg + 1]) : lines / 10;
    if (lines <= 0 || labels <= 0) {
        std::fputs("usage: generate_source [--realistic] [LINES [LABELS]] | --definitions\n", stderr);
        return 2;
    }
    const std::string text = qubrix::bench::GenerateSource(lines, labels, realistic);
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
