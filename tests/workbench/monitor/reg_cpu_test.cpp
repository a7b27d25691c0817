// Tests of the CPU32 register set: dump parsing, the register window's texts, the set commands
// of an edit, and the reader of typed values.
#include "reg_cpu.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <optional>
#include <string>

#include "../../support/table.h"

using namespace korvan::monitor;
using korvan::test::hex;
using korvan::test::readTable;
using korvan::test::Row;

namespace {

// A register by its name (D0-D7, A0-A7, PC, SS, US, SR, VBR, SFC, DFC) or its number.
int registerIndex(const std::string& name) {
    static const std::map<std::string, int> named = {{"PC", kRegPC},  {"SS", kRegSS},   {"US", kRegUS},
                                                     {"SR", kRegSR},  {"VBR", kRegVBR}, {"SFC", kRegSFC},
                                                     {"DFC", kRegDFC}};
    if (name.size() == 2 && (name[0] == 'D' || name[0] == 'A') && std::isdigit(name[1]))
        return (name[0] == 'D' ? kRegD0 : kRegA0) + (name[1] - '0');
    return named.contains(name) ? named.at(name) : std::stoi(name);
}

std::optional<uint32_t> valueOf(const std::string& field) {
    return field == "-" ? std::nullopt : std::optional<uint32_t>(hex(field));
}

}  // namespace

TEST(RegCpu, ParseTakesOnlyTheLabelsPresent) {
    const std::string fullDump =
        "dr\r\nD0=00000001 D1=00000002 D2=00000003 D3=00000004 D4=00000005 D5=00000006 D6=00000007 D7=00000008\n"
        "A0=00000011 A1=00000012 A2=00000013 A3=00000014 A4=00000015 A5=00000016 A6=00000017 A7=00003FF0\n"
        "PC=00802000 SS=00004000 US=00003000 SR=2704 VBR=00000400 SFC=101 DFC=011\n>>->";
    for (const Row& row : readTable(KORVAN_MONITOR_TEST_DATA "/register_dumps.txt", 4)) {
        SCOPED_TRACE(row[0]);
        RegCpu regs;
        for (int i = 0; i < kRegisterCount; ++i) regs.SetRegister(i, 0x5A5A5A5A);
        const int index = registerIndex(row[2]);
        const uint32_t before = regs.GetRegister(index);
        regs.Parse(row[1] == "(full dump)" ? fullDump : row[1]);
        EXPECT_EQ(regs.GetRegister(index), valueOf(row[3]).value_or(before));
    }
}

TEST(RegCpu, WindowTexts) {
    for (const Row& row : readTable(KORVAN_MONITOR_TEST_DATA "/register_texts.txt", 4)) {
        SCOPED_TRACE(row[2]);
        EXPECT_EQ(RegisterText(registerIndex(row[0]), hex(row[1])), row[2]);
        EXPECT_EQ(RegisterLabel(registerIndex(row[0])), row[3]);
    }
    for (const Row& row : readTable(KORVAN_MONITOR_TEST_DATA "/status_register.txt", 3)) {
        EXPECT_EQ(CcrText(hex(row[0])), row[1]) << row[0];
        EXPECT_EQ(SrFlagsText(hex(row[0])), row[2]) << row[0];
    }
}

TEST(RegCpu, EditCommands) {
    for (const Row& row : readTable(KORVAN_MONITOR_TEST_DATA "/register_edits.txt", 3)) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(SetCommand(registerIndex(row[0]), hex(row[1])), row[2]);
        EXPECT_EQ(IsEditable(registerIndex(row[0])), !row[2].empty());
    }
}

TEST(RegCpu, TypedValues) {
    for (const Row& row : readTable(KORVAN_MONITOR_TEST_DATA "/register_values.txt", 3)) {
        SCOPED_TRACE(row[1]);
        EXPECT_EQ(ParseRegisterValue(registerIndex(row[0]), row[1]), valueOf(row[2]));
        if (row[0] == "PC") {
            EXPECT_EQ(ParseHexValue(row[1]), valueOf(row[2]));
        }
    }
}
