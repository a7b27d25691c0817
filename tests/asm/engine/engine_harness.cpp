// Two-pass harness over the engine with a real S-record file as the byte sink.
#include "engine_harness.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "driver/diagnostics.h"
#include "driver/run_context.h"
#include "engine/engine.h"
#include "test_files.h"

namespace qubrix::test {

namespace {

unsigned HexByte(const std::string& s, std::size_t at) { return std::stoul(s.substr(at, 2), nullptr, 16); }

std::map<uint32_t, uint8_t> ReadS3(const std::string& path) {
    std::map<uint32_t, uint8_t> memory;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 4 || line.compare(0, 2, "S3") != 0) continue;
        unsigned count = HexByte(line, 2);
        uint32_t address = static_cast<uint32_t>(std::stoul(line.substr(4, 8), nullptr, 16));
        for (unsigned i = 0; i + 5 < count + 0u; ++i)
            memory[address + i] = static_cast<uint8_t>(HexByte(line, 12 + 2 * i));
    }
    return memory;
}

#define QUBRIX_CODE(name) \
    { #name, name }
// clang-format off
const std::map<std::string, int> kCodes = {
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

}  // namespace

int CodeNamed(const std::string& name) {
    const auto it = kCodes.find(name);
    if (it == kCodes.end()) ADD_FAILURE() << "no code named " << name;
    return it == kCodes.end() ? -1 : it->second;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

std::string Assembled::hex(std::size_t line) const { return Hex(lines.at(line).bytes); }

Assembled AssembleLines(const std::vector<std::string>& source, Origins origins) {
    std::vector<std::string> lines;
    for (std::string s : source) {
        for (char& c : s)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        lines.push_back(std::move(s));
    }

    TempDir dir;
    const std::string path = dir / "t.abs";
    Assembled out;
    {
        RunContext ctx;
        ctx.sections.emplace(origins.code, origins.var);
        ctx.symbols.clear();
        if (!ctx.obj.open(path)) throw std::runtime_error("cannot create " + path);
        ctx.obj.init();
        for (int pass = 0; pass < 2; ++pass) {
            ctx.pass = pass;
            ctx.sections->resetForPass();
            ctx.endFlag = false;
            for (const std::string& line : lines) {
                if (ctx.endFlag) break;
                ErreurAsm err;
                LineResult r;
                r.start = static_cast<uint32_t>(ctx.location());
                AssembleLine(ctx, line.c_str(), err);
                r.end = static_cast<uint32_t>(ctx.location());
                r.code = err.LitCode();
                if (pass == 1)
                    out.lines.push_back(r);
                else
                    out.pass1Codes.push_back(r.code);
            }
        }
        ctx.obj.finish(static_cast<uint32_t>(origins.code));
    }
    out.memory = ReadS3(path);
    for (LineResult& r : out.lines) {
        for (uint32_t a = r.start; a != r.end && a - r.start < 4096; ++a) {
            auto it = out.memory.find(a);
            if (it != out.memory.end()) r.bytes.push_back(it->second);
        }
    }
    return out;
}

void RunLineCases(const std::string& file) {
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
            ASSERT_LT(line, a.lines.size());
            const LineResult& r = a.lines[line];
            std::istringstream checks(want);
            std::string hex, check;
            checks >> hex;
            if (hex != "*") {
                EXPECT_EQ(Hex(r.bytes), hex == "-" ? "" : hex);
            }
            int code = 0;
            while (checks >> check) {
                if (check.rfind("pass1=", 0) == 0) {
                    EXPECT_EQ(a.pass1Codes.at(line), CodeNamed(check.substr(6)));
                } else if (check.rfind("at=", 0) == 0) {
                    EXPECT_EQ(r.start, std::stoul(check.substr(3), nullptr, 16));
                } else if (check.rfind("end=", 0) == 0) {
                    EXPECT_EQ(r.end, std::stoul(check.substr(4), nullptr, 16));
                } else if (check.rfind("mem=", 0) == 0) {  // mem=ADDR:BYTE, a byte of the object file
                    const std::size_t colon = check.find(':');
                    const auto byte = a.memory.find(std::stoul(check.substr(4, colon - 4), nullptr, 16));
                    ASSERT_NE(byte, a.memory.end()) << check;
                    EXPECT_EQ(byte->second, std::stoul(check.substr(colon + 1), nullptr, 16)) << check;
                } else {
                    code = CodeNamed(check);
                }
            }
            EXPECT_EQ(r.code, code) << "code 0x" << std::hex << r.code;
        }
    }
}

}  // namespace qubrix::test
