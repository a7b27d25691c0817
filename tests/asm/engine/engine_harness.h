// Runs the language engine over a few source lines in two passes, as the driver does, with a
// real S-record file as the byte sink, and reads back what reached it line by line.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/diagnostics.h"
#include "driver/run_context.h"
#include "engine/engine.h"
#include "test_files.h"

namespace qubrix::test {

struct LineResult {
    int code = 0;                // the line's pass-2 diagnostic
    uint32_t start = 0;          // location before the line (pass 2)
    uint32_t end = 0;            // location after the line
    std::vector<uint8_t> bytes;  // what the object file holds for [start, end)
};

struct Assembled {
    std::vector<LineResult> lines;
    std::map<uint32_t, uint8_t> memory;  // every byte of the object file
    std::vector<int> pass1Codes;         // the diagnostics pass 1 raised, line by line
};

// Hex text of bytes, upper case, no separators.
inline std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    for (uint8_t b : bytes) s += {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
    return s;
}

// The diagnostic code of that name in driver/diagnostics.h ("kErrSyntax"); a failure if none.
inline int CodeNamed(const std::string& name) {
#define QUBRIX_CODE(name) \
    { #name, name }
    // clang-format off
    static const std::map<std::string, int> codes = {
        QUBRIX_CODE(kWarnAsciiTooLong), QUBRIX_CODE(kWarnNumberTooLong), QUBRIX_CODE(kWarnIncomplete),
        QUBRIX_CODE(kErrInvalidSize), QUBRIX_CODE(kErrInvalidAddressingMode), QUBRIX_CODE(kErrInvalidVector),
        QUBRIX_CODE(kErrBranchRange), QUBRIX_CODE(kErrDisplacementRange), QUBRIX_CODE(kErrImmediate8),
        QUBRIX_CODE(kErrImmediate16), QUBRIX_CODE(kErrNotRegisterList), QUBRIX_CODE(kErrRegisterListInExpr),
        QUBRIX_CODE(kErrShiftCount), QUBRIX_CODE(kErrUndefinedSymbol), QUBRIX_CODE(kErrZeroDivision),
        QUBRIX_CODE(kErrMultipleDefinition), QUBRIX_CODE(kErrRegisterListUndefined), QUBRIX_CODE(kErrNotKnown),
        QUBRIX_CODE(kErrNegativeLength), QUBRIX_CODE(kErrSyntax), QUBRIX_CODE(kErrBadInstruction),
        QUBRIX_CODE(kErrInternalKind), QUBRIX_CODE(kErrLabelRequired), QUBRIX_CODE(kErrPhase),
    };
    // clang-format on
#undef QUBRIX_CODE
    const auto it = codes.find(name);
    if (it == codes.end()) ADD_FAILURE() << "no code named " << name;
    return it == codes.end() ? -1 : it->second;
}

// The lines, upper-cased as the source reader would, with the code and variable sections at
// the given origins.
inline Assembled AssembleLines(std::vector<std::string> lines, int32_t code = 0x802000, int32_t var = 0x803000) {
    for (std::string& s : lines)
        for (char& c : s) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    TempDir dir;
    Assembled out;
    {
        RunContext ctx;
        ctx.sections.emplace(code, var);
        if (!ctx.obj.open(dir / "t.abs")) throw std::runtime_error("cannot create " + (dir / "t.abs"));
        ctx.obj.init();
        for (ctx.pass = 0; ctx.pass < 2; ++ctx.pass) {
            ctx.sections->resetForPass();
            ctx.endFlag = false;
            for (std::size_t i = 0; i < lines.size() && !ctx.endFlag; ++i) {
                ErreurAsm err;
                const auto start = static_cast<uint32_t>(ctx.location());
                AssembleLine(ctx, lines[i].c_str(), err);
                if (ctx.pass == 1)
                    out.lines.push_back({err.LitCode(), start, static_cast<uint32_t>(ctx.location()), {}});
                else
                    out.pass1Codes.push_back(err.LitCode());
            }
        }
        ctx.obj.finish(static_cast<uint32_t>(code));
    }
    std::istringstream records(ReadFile(dir / "t.abs"));
    for (std::string s3; std::getline(records, s3);) {
        if (s3.rfind("S3", 0) != 0) continue;
        const uint32_t address = korvan::test::hex(s3.substr(4, 8));
        for (uint32_t i = 0; i + 5 < korvan::test::hex(s3.substr(2, 2)); ++i)
            out.memory[address + i] = static_cast<uint8_t>(korvan::test::hex(s3.substr(12 + 2 * i, 2)));
    }
    for (LineResult& r : out.lines) {
        for (uint32_t a = r.start; a != r.end && a - r.start < 4096; ++a)
            if (out.memory.contains(a)) r.bytes.push_back(out.memory[a]);
    }
    return out;
}

// Runs every case of a file of the data folder (see ReadCases): its "src" lines are assembled
// together and each "want HEX [CODE] [pass1=CODE] [at=ADDR] [end=ADDR] [mem=ADDR:BYTE]" checks
// the src line above it: HEX its bytes ("-" none, "*" unchecked, "unassembled" when pass 2 ended
// before it), CODE its pass-2 diagnostic by name (none when left out), pass1 the pass-1 one, at
// and end its hex locations before and after it, mem a byte of the object file (all hex).
inline void RunLineCases(const std::string& file) {
    for (const Case& c : ReadCases(QUBRIX_ENGINE_DATA "/" + file)) {
        std::vector<std::string> source;
        std::vector<std::pair<std::size_t, std::string>> wants;
        for (const auto& [key, value] : c.fields) {
            if (key == "src") source.push_back(value);
            if (key == "want") wants.emplace_back(source.size() - 1, value);
            if (key != "src" && key != "want") ADD_FAILURE() << c.name << ": unknown field " << key;
        }
        const Assembled a = AssembleLines(source);
        for (const auto& [line, want] : wants) {
            SCOPED_TRACE(c.name + ": " + source.at(line) + ": " + want);
            ASSERT_EQ(line < a.lines.size(), want != "unassembled");
            if (want == "unassembled") continue;
            const LineResult& r = a.lines[line];
            std::istringstream checks(want);
            std::string hex, check;
            checks >> hex;
            if (hex != "*") {
                EXPECT_EQ(Hex(r.bytes), hex == "-" ? "" : hex);
            }
            int code = 0;
            while (checks >> check) {
                const std::string value = check.substr(check.find('=') + 1);
                if (check.starts_with("pass1=")) {
                    EXPECT_EQ(a.pass1Codes.at(line), CodeNamed(value));
                } else if (check.starts_with("at=")) {
                    EXPECT_EQ(r.start, korvan::test::hex(value));
                } else if (check.starts_with("end=")) {
                    EXPECT_EQ(r.end, korvan::test::hex(value));
                } else if (check.starts_with("mem=")) {
                    const auto byte = a.memory.find(korvan::test::hex(value.substr(0, value.find(':'))));
                    ASSERT_NE(byte, a.memory.end()) << check;
                    EXPECT_EQ(byte->second, korvan::test::hex(value.substr(value.find(':') + 1))) << check;
                } else {
                    code = CodeNamed(check);
                }
            }
            EXPECT_EQ(r.code, code) << "code 0x" << std::hex << r.code;
        }
    }
}

}  // namespace qubrix::test
