// Tests of the CPU32 register set: dump parsing, the register window's texts, the set commands
// of an edit, and the reader of typed values.
#include "reg_cpu.h"

#include <gtest/gtest.h>

using namespace korvan::monitor;

TEST(RegCpu, ParseTakesOnlyTheLabelsPresent) {
    const char* fullDump =
        "dr\r\nD0=00000001 D1=00000002 D2=00000003 D3=00000004 D4=00000005 D5=00000006 D6=00000007 D7=00000008\n"
        "A0=00000011 A1=00000012 A2=00000013 A3=00000014 A4=00000015 A5=00000016 A6=00000017 A7=00003FF0\n"
        "PC=00802000 SS=00004000 US=00003000 SR=2704 VBR=00000400 SFC=101 DFC=011\n>>->";
    struct Case {
        const char* name;
        const char* text;
        int index;
        std::optional<uint32_t> expected;  // nullopt: the register keeps its value
        // clang-format off
    } cases[] = {
        {"D0 alone", "xx D0=0000ABCD\n>>->", kRegD0, 0xABCD},
        {"D0 alone leaves D1", "D0=0000ABCD", kRegD0 + 1, std::nullopt},
        {"D0 alone leaves PC", "D0=0000ABCD", kRegPC, std::nullopt},
        {"D0 alone leaves SFC", "D0=0000ABCD", kRegSFC, std::nullopt},
        {"full D7", fullDump, kRegD0 + 7, 8},
        {"full A7", fullDump, kRegA0 + 7, 0x3FF0},
        {"full PC", fullDump, kRegPC, 0x802000},
        {"full SS", fullDump, kRegSS, 0x4000},
        {"full US", fullDump, kRegUS, 0x3000},
        {"full SR", fullDump, kRegSR, 0x2704},
        {"full VBR", fullDump, kRegVBR, 0x400},
        {"SFC binary 101", fullDump, kRegSFC, 5},
        {"DFC binary 011", fullDump, kRegDFC, 3},
        {"SR takes four digits only", "SR=27041234", kRegSR, 0x2704},
        {"value cut short by the prompt", "PC=8020\n", kRegPC, 0x8020},
        {"label with no digits leaves the value", "PC=\n>>->", kRegPC, std::nullopt},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RegCpu regs;
        for (int i = 0; i < kRegisterCount; ++i) regs.SetRegister(i, 0x5A5A5A5A);
        const uint32_t before = regs.GetRegister(c.index);
        regs.Parse(c.text);
        EXPECT_EQ(regs.GetRegister(c.index), c.expected.value_or(before));
    }
}

TEST(RegCpu, WindowTexts) {
    struct Case {
        int index;
        uint32_t value;
        const char* text;
        const char* label;
        // clang-format off
    } cases[] = {
        {kRegD0 + 3, 0x1234, "D3 = 00001234", "D3 ="},
        {kRegA0 + 7, 0xABCDEF01, "A7 = ABCDEF01", "A7 ="},
        {kRegPC, 0x802000, "PC = 00802000", "PC ="},
        {kRegSS, 0x4000, "SS = 00004000", "SS ="},
        {kRegUS, 0, "US = 00000000", "US ="},
        {kRegSR, 0x2700, "SR = 2700", "SR ="},
        {kRegVBR, 0x400, "VBR = 00000400", "VBR ="},
        {kRegSFC, 5, "SFC =101", "SFC ="},
        {kRegDFC, 2, "DFC =010", "DFC ="},
        {kRegisterCount, 1, "", ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(RegisterText(c.index, c.value), c.text);
        EXPECT_EQ(RegisterLabel(c.index), c.label);
    }
    struct Ccr {
        uint32_t sr;
        const char* text;
    } ccr[] = {{0x2704, "--Z--"}, {0x271F, "XNZVC"}, {0x2700, "-----"},
               {0x2710, "X----"}, {0x2708, "-N---"}, {0x2701, "----C"}};
    for (const auto& c : ccr) EXPECT_EQ(CcrText(c.sr), c.text) << std::hex << c.sr;
    const Ccr flags[] = {{0x2704, "S I=7 --Z--"}, {0x801F, "T1 U I=0 XNZVC"}, {0x6311, "T0 S I=3 X---C"}};
    for (const auto& c : flags) EXPECT_EQ(SrFlagsText(c.sr), c.text) << std::hex << c.sr;
}

TEST(RegCpu, EditCommands) {
    struct Case {
        int index;
        uint32_t value;
        const char* command;
        // clang-format off
    } cases[] = {
        {kRegD0 + 3, 0x1234, "D3=00001234\r"}, {kRegA0, 0xFFFFFFFF, "A0=FFFFFFFF\r"},
        {kRegPC, 0x802000, "PC=00802000\r"},   {kRegSS, 0x4000, "SS=00004000\r"},
        {kRegUS, 0x3000, "US=00003000\r"},     {kRegSR, 0x2000, "SR=2000\r"},
        {kRegVBR, 0x400, ""},                  {kRegSFC, 5, ""},
        {kRegDFC, 5, ""},                      {-1, 5, ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(SetCommand(c.index, c.value), c.command);
        EXPECT_EQ(IsEditable(c.index), *c.command != '\0');
    }
}

TEST(RegCpu, TypedValues) {
    struct Case {
        int index;
        const char* text;
        std::optional<uint32_t> value;
        // clang-format off
    } cases[] = {
        {kRegPC, "0x1000", 0x1000},   {kRegPC, "0X1000", 0x1000},     {kRegPC, "1000", 0x1000},
        {kRegPC, "00802000", 0x802000}, {kRegPC, " abcdef ", 0xABCDEF}, {kRegPC, "FFFFFFFF", 0xFFFFFFFF},
        {kRegPC, "100000000", std::nullopt}, {kRegPC, "zz", std::nullopt}, {kRegPC, "", std::nullopt},
        {kRegPC, "0x", std::nullopt}, {kRegPC, "12g", std::nullopt},   {kRegPC, "-1", std::nullopt},
        {kRegPC, "12 34", std::nullopt}, {kRegSR, "2700", 0x2700},     {kRegSR, "12700", std::nullopt},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseRegisterValue(c.index, c.text), c.value);
        if (c.index == kRegPC) {
            EXPECT_EQ(ParseHexValue(c.text), c.value);
        }
    }
}
