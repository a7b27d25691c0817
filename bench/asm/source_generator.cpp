// Source generator for the assembler benchmarks.
#include "source_generator.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <random>

namespace qubrix::bench {

namespace {

constexpr int kDefinitions = 40;

}  // namespace

std::string GenerateDefinitions() {
    std::string out = "* Register addresses and constants of the module\n*\n";
    char buf[128];
    for (int i = 0; i < kDefinitions; ++i) {
        std::snprintf(buf, sizeof buf, "REG%d\tEQU\t$FFFFFA%02X\t\tregister %d of the module\n", i, i * 2, i);
        out += buf;
        if (i % 8 == 7) out += "*\n";
    }
    return out;
}

std::string GenerateSource(int lines, int labels, bool realistic) {
    static const char* const kShapes[] = {
        " MOVE.L D%d,D%d", " MOVE.W (A%d)+,D%d", " ADD.L #%d,D%d",  " SUB.W D%d,D%d",
        " CMP.L #%d,D%d",  " AND.W #$%X,D%d",    " LEA %d(A%d),A1", " MOVE.B %d(A0,D%d.W),D2",
        " MOVEQ #%d,D%d",  " LSL.L #%d+1,D%d",   " BTST #%d,D%d",   " CLR.W %d(A%d)",
        " MULU #%d,D%d",   " EXT.L D%d",         " SWAP D%d",       " MOVEM.L D0-D%d/A0-A%d,-(SP)",
        " TST.L D%d",      " NOT.B D%d",         " ADDA.W #%d,A%d", " MOVE.W #$%X,(A%d)",
    };
    constexpr int kShapeCount = sizeof(kShapes) / sizeof(kShapes[0]);
    std::mt19937 rng(12345);
    std::string out;
    out.reserve(static_cast<std::size_t>(lines) * 32);
    char buf[128];
    out += "* generated benchmark source\n";
    if (realistic) {
        out += "*\n* Definitions shared with the other modules\n*\n";
        out += "\tINCLUDE\t";
        out += kDefinitionsFile;
        out += "\n";
    }
    out += "LIMIT EQU 1000\n";
    out += " SECTION CODE\n";
    const int every = lines / labels > 0 ? lines / labels : 1;
    int label = 0;
    for (int i = 0; i < lines; ++i) {
        int kind = static_cast<int>(rng() % 100);
        if (realistic && i % 25 == 0) {
            // A comment block before every few routines.
            std::snprintf(buf, sizeof buf, "*\n* Routine %d: moves the data of the next block\n*\n", i / 25);
            out += buf;
        }
        const char* prefix = "";
        char name[16] = "";
        if (i % every == 0 && label < labels) {
            std::snprintf(name, sizeof name, "L%d", label++);
            prefix = name;
        }
        out += prefix;
        const std::size_t fields = out.size();
        if (kind < 70) {
            int a = static_cast<int>(rng() % 8), b = static_cast<int>(rng() % 7) + 1;
            std::snprintf(buf, sizeof buf, kShapes[rng() % kShapeCount], a, b);
            out += buf;
        } else if (kind < 80) {
            // Backward and forward branches to labels near this line.
            int target = label + static_cast<int>(rng() % 6) - 3;
            if (target < 0) target = 0;
            if (target >= labels) target = labels - 1;
            std::snprintf(buf, sizeof buf, " %s L%d", (rng() & 1) ? "BNE" : "BRA", target);
            out += buf;
        } else if (kind < 85) {
            std::snprintf(buf, sizeof buf, " DBF D%d,L%d", static_cast<int>(rng() % 8), label > 0 ? label - 1 : 0);
            out += buf;
        } else if (kind < 90) {
            std::snprintf(buf, sizeof buf, " DC.W %d,$%X,LIMIT*2", static_cast<int>(rng() % 1000),
                          static_cast<unsigned>(rng() % 0xFFFF));
            out += buf;
        } else if (kind < 93) {
            out += " DC.B 'TEXT',0";
        } else if (kind < 96) {
            std::snprintf(buf, sizeof buf, " JSR L%d", static_cast<int>(rng() % static_cast<unsigned>(labels)));
            out += buf;
        } else if (realistic) {
            std::snprintf(buf, sizeof buf, " MOVE.W REG%d,D0", i % kDefinitions);
            out += buf;
        } else {
            out += " NOP";
        }
        if (realistic) std::replace(out.begin() + static_cast<std::ptrdiff_t>(fields), out.end(), ' ', '\t');
        if (realistic && kind % 3 == 0) {
            std::snprintf(buf, sizeof buf, "\t\tstep %d of the loop", i % 97);
            out += buf;
        }
        out += '\n';
    }
    out += " SECTION VAR\nBUFFER DS.B 256\n END\n";
    return out;
}

}  // namespace qubrix::bench
