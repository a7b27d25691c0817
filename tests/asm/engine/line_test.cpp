// Line dispatch, the encoder families' own rules (substitutions, branch forms, range checks)
// and the directives. Expected bytes are written from the published CPU32 encodings.
#include <gtest/gtest.h>

#include "driver/diagnostics.h"
#include "engine_harness.h"

namespace qubrix::test {
namespace {

struct Case {
    const char* name;
    std::vector<std::string> lines;  // the last line is the one checked
    const char* hex;                 // its bytes
    int code;                        // its pass-2 diagnostic
};

void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        Assembled a = AssembleLines(c.lines);
        std::size_t last = c.lines.size() - 1;
        EXPECT_EQ(a.hex(last), c.hex) << c.name;
        EXPECT_EQ(a.lines[last].code, c.code) << c.name << ": code 0x" << std::hex << a.lines[last].code;
    }
}

TEST(Dispatch, LabelsMnemonicsAndSuffixes) {
    RunCases({
        {"label alone in column 1", {"LOOP", " DC.L LOOP"}, "00802000", 0},
        {"indented word is a mnemonic", {" LOOP"}, "", kErrBadInstruction},
        {"NOP in column 1 is a label", {"NOP"}, "", 0},
        {"label with colon", {"START: NOP", " DC.L START"}, "00802000", 0},
        {"label in column 1 then mnemonic", {"START NOP"}, "4E71", 0},
        {"indented label with colon", {"  HERE: RTS"}, "4E75", 0},
        {"MOVE in column 1 is a label", {"MOVE D0,D1"}, "", kErrSyntax},
        {"unknown suffix letter", {" MOVE.X D0,D1"}, "3200", kErrInvalidSize},
        {"suffix on NOP", {" NOP.L"}, "4E71", kErrInvalidSize},
        {"lower case", {" move.l d0,d1"}, "2200", 0},
        {"blank before comma", {" MOVE D0 ,D1"}, "", kErrSyntax},
        {"blank after comma", {" MOVE D0, D1"}, "", kErrSyntax},
        {"comment after operands", {" MOVE D0,D1 copy it"}, "3200", 0},
        {"semicolon glued to operand", {" MOVE D0,D1;X"}, "", kErrSyntax},
        {"second operand on one-operand instruction", {" CLR D0,D1"}, "", kErrSyntax},
        {"no variant matches", {" JMP D0"}, "", kErrInvalidAddressingMode},
        {"mnemonic cut to seven letters", {" ILLEGALX"}, "4AFC", 0},
        {"seven letters not in the table", {" MOVEQXY"}, "", kErrBadInstruction},
        {"comment after a no-operand mnemonic", {" RTS return"}, "4E75", 0},
        {"comment line", {"* MOVE D0,D1"}, "", 0},
        {"instruction realigned after a byte", {" ORG $1000", " DC.B 1", " NOP"}, "4E71", 0},
        {"odd ORG rounded up", {" ORG $1001", "HERE DC.L HERE"}, "00001002", 0},
        {"byte operation on An refused (ADD)", {" ADD.B A0,D0"}, "", kErrInvalidAddressingMode},
        {"byte operation on An refused (SUB)", {" SUB.B A1,D2"}, "", kErrInvalidAddressingMode},
        {"byte operation on An refused (CMP)", {" CMP.B A0,D0"}, "", kErrInvalidAddressingMode},
        {"byte operation on An refused (MOVE)", {" MOVE.B A0,D0"}, "", kErrInvalidAddressingMode},
        {"byte ADDQ to An refused", {" ADDQ.B #1,A0"}, "", kErrInvalidAddressingMode},
        {"long BTST on Dn takes its own row", {" BTST.L #3,D0"}, "08000003", 0},
        {"byte BTST on Dn refused size", {" BTST.W #3,D0"}, "08000003", kErrInvalidSize},
    });
}

TEST(Dispatch, AliasesAssembleIdentically) {
    const char* pairs[][2] = {{" BHS T", " BCC T"},         {" BLO T", " BCS T"},         {" DBRA D0,T", " DBF D0,T"},
                              {" DBHS D1,T", " DBCC D1,T"}, {" DBLO D1,T", " DBCS D1,T"}, {" SHS D2", " SCC D2"},
                              {" SLO D3", " SCS D3"}};
    for (auto& pair : pairs) {
        Assembled a = AssembleLines({"T NOP", pair[0]});
        Assembled b = AssembleLines({"T NOP", pair[1]});
        EXPECT_EQ(a.hex(1), b.hex(1)) << pair[0];
        EXPECT_FALSE(a.hex(1).empty()) << pair[0];
    }
    EXPECT_EQ(AssembleLines({"T NOP", " BHS T"}).hex(1), "64FC");
    EXPECT_EQ(AssembleLines({"T NOP", " DBRA D0,T"}).hex(1), "51C8FFFC");
}

TEST(Encoders, SubstitutionsBranchesAndRangeChecks) {
    RunCases({
        {"ADD.W #3 becomes ADDQ", {" ADD.W #3,D1"}, "5641", 0},
        {"ADD.W #9 stays ADDI", {" ADD.W #9,D1"}, "06410009", 0},
        {"ADDI.L #8 to memory becomes ADDQ", {" ADD.L #8,(A0)"}, "5090", 0},
        {"CMPI is never shortened", {" CMPI.W #1,D0"}, "0C400001", 0},
        {"ANDI is never shortened", {" ANDI.W #1,D0"}, "02400001", 0},
        {"forward immediate keeps ADDI", {" ADD.W #LATER,D0", "LATER EQU 2"}, "", 0},
        {"MOVE.L #-1 becomes MOVEQ", {" MOVE.L #-1,D0"}, "70FF", 0},
        {"unsized MOVE #-1 is a word move", {" MOVE #-1,D0"}, "303CFFFF", kErrImmediate16},
        {"MOVE.L #200 stays a long move", {" MOVE.L #200,D0"}, "203C000000C8", 0},
        {"SUB.W #4,A0 is SUBQ", {" SUB.W #4,A0"}, "5948", 0},
        {"SUB.W #100,A0 goes through the quick family", {" SUB.W #100,A0"}, "5948", kErrInvalidAddressingMode},
        {"ADD.W #100,A0 is ADDA", {" ADD.W #100,A0"}, "D0FC0064", 0},
        {"AND #imm to Dn takes the register form", {" AND.W #5,D0"}, "C07C0005", 0},
        {"CMP #imm to Dn takes the register form", {" CMP.W #1,D0"}, "B07C0001", 0},
        {"MOVEQ #128 refused", {" MOVEQ #128,D0"}, "7080", kErrInvalidAddressingMode},
        {"ASL #9 refused", {" ASL #9,D0"}, "E340", kErrShiftCount},
        {"ASL #8 encodes 0", {" ASL #8,D0"}, "E140", 0},
        {"TRAP #16 refused", {" TRAP #16"}, "4E40", kErrInvalidVector},
        {"BREAK", {" BREAK"}, "4848", 0},
        {"LINK displacement range", {" LINK A6,#40000"}, "4E569C40", kErrImmediate16},
        {"STOP accepts up to $FFFF", {" STOP #$FFFF"}, "4E72FFFF", 0},
        {"ANDI to CCR range", {" ANDI #$100,CCR"}, "023C0000", kErrImmediate8},
        {"#-1 in a word instruction", {" ADDI.W #-1,D0"}, "0640FFFF", kErrImmediate16},
        {"#-1 in a byte instruction", {" ADDI.B #-1,D0"}, "060000FF", kErrImmediate8},
        {"#-1 in a long instruction", {" ADDI.L #-1,D0"}, "0680FFFFFFFF", 0},
        {"brief extension with a long index", {" MOVE.W 8(A0,D1.L),D2"}, "34301808", 0},
        {"index without displacement", {" MOVE.W (A0,A2),D2"}, "3430A000", 0},
        {"displacement out of range", {" MOVE.W 40000(A0),D0"}, "30289C40", kErrDisplacementRange},
        {"index displacement out of range", {" MOVE.W 200(A0,D0.W),D1"}, "323000C8", kErrDisplacementRange},
        {"PC displacement to a label", {" ORG $1000", " JMP LABEL(PC)", " ORG $1010", "LABEL NOP"}, "4E71", 0},
        {"bare (PC) targets address 0", {" ORG $1000", " JMP (PC)"}, "4EFAEFFE", 0},
        {"bare (PC) too far from 0", {" ORG $9000", " JMP (PC)"}, "4EFA6FFE", kErrDisplacementRange},
        {"MOVEM with a register-list symbol", {"SAVE REG D0-D3/A0-A2", " MOVEM.L SAVE,-(A7)"}, "48E7F0E0", 0},
        {"MOVEM list crossing from D to A", {" MOVEM.W A3-D1,(A0)"}, "48900FFE", 0},
        {"MOVEM bad range", {" MOVEM.W D0-D2-D4,(A0)"}, "", kErrSyntax},
        {"MOVEM to postincrement refused", {" MOVEM.W D0,(A0)+"}, "", kErrInternalKind},
        {"register list used before its REG", {" MOVEM.L LATER,-(SP)", "LATER REG D0"}, "", 0},
        {"MOVEM from a data label", {"TAB DC.L 1,2", " MOVEM.L TAB,D0-D1"}, "4CF9000300802000", 0},
        {"MOVEM to a data label", {"TAB DC.L 1,2", " MOVEM.W D0/A1,TAB"}, "48B9020100802000", 0},
        {"MOVEM from a data label keeps later labels",
         {"TAB DC.L 1,2", " MOVEM.L TAB,D0-D1", "NEXT DC.L NEXT"},
         "00802010",
         0},
        {"MOVEM data label as a list", {"TAB DC.L 1", " MOVEM.L TAB,-(SP)"}, "", kErrNotRegisterList},
        {"MOVEM at an odd location starts even",
         {" ORG $1000", " DC.B 1", " MOVEM.L D0,-(SP)", "HERE DC.B HERE-$1000"},
         "06",
         0},
        {"MOVEM list with a comma for a slash", {" MOVEM.L (SP)+,A0-A5,D0-D7"}, "", kErrSyntax},
        {"MOVEM destination followed by more", {" MOVEM.L D0,(A0),D1"}, "", kErrSyntax},
        {"REG list with a comma for a slash", {"RL REG D0,D1"}, "", kErrSyntax},
        {"S suffix on immediate data", {" ADDI.S #9,D0"}, "06400009", kErrInvalidSize},
        {"explicit ADDI of 1 becomes ADDQ", {" ADDI.W #1,D0"}, "5240", 0},
        {"explicit SUBI of 7 becomes SUBQ", {" SUBI.B #7,(A4)"}, "5F14", 0},
    });
}

TEST(Encoders, BranchForms) {
    Assembled a = AssembleLines({
        "BACK NOP",          // 802000
        " BRA BACK",         // 802002: short, disp -4
        " BRA NEXT",         // 802004: forward, 16-bit, disp 2
        "NEXT BRA.S NEXT2",  // 802008: S forced, disp 0 -> refused
        "NEXT2 BRA.L BACK",  // 80200A: L forces the 16-bit form
        " BRA.W BACK",       // 80200E: W is not a branch size, encoded like BRA
        " BRA.S FAR",        // 802010
        " DS.B 130",
        "FAR NOP",
        " BSR BACK",
    });
    EXPECT_EQ(a.hex(1), "60FC");
    EXPECT_EQ(a.hex(2), "60000002");
    EXPECT_EQ(a.hex(3), "6000");
    EXPECT_EQ(a.lines[3].code, kErrBranchRange);
    EXPECT_EQ(a.hex(4), "6000FFF4");
    EXPECT_EQ(a.hex(5), "60F0");
    EXPECT_EQ(a.lines[5].code, kErrInvalidSize);
    EXPECT_EQ(a.lines[6].code, kErrBranchRange);
    EXPECT_EQ(a.hex(9), "6100FF68");
}

TEST(Encoders, RegisterListUsedBeforeItsRegLine) {
    Assembled a = AssembleLines({" MOVEM.L LATER,-(SP)", "LATER REG D0"});
    EXPECT_EQ(a.pass1Codes[0], kErrUndefinedSymbol);
    EXPECT_EQ(a.lines[0].code, kErrRegisterListUndefined);
    EXPECT_EQ(a.lines[0].end - a.lines[0].start, 0u);  // nothing in either pass
    EXPECT_EQ(a.lines[1].code, 0);
}

TEST(Directives, DataLayout) {
    RunCases({
        {"DC.B string and value", {" DC.B 'AB',0"}, "414200", 0},
        {"DC.W string padded", {" DC.W 'ABC'"}, "41424300", 0},
        {"DC.L short string", {" DC.L 'A'"}, "41000000", 0},
        {"DC.B doubled quote", {" DC.B 'A''B'"}, "412742", 0},
        {"DC.B lower case string", {" dc.b 'abc'"}, "414243", 0},
        {"DC.B limits", {" DC.B 255,-128"}, "FF80", 0},
        {"DC.B 256 refused", {" DC.B 256"}, "00", kErrImmediate8},
        {"DC.W -1", {" DC.W -1"}, "FFFF", 0},
        {"DC.W 65536 refused", {" DC.W 65536"}, "0000", kErrImmediate16},
        {"DC trailing comma", {" DC.B 1,"}, "01", kErrSyntax},
        {"DC no suffix is words", {" DC 1,2"}, "00010002", 0},
        {"DC.S is refused and taken as W", {" DC.S 1"}, "0001", kErrInvalidSize},
        {"DC empty", {" DC.W"}, "", kErrSyntax},
        {"DCB fills", {" DCB.W 3,$4E71"}, "4E714E714E71", 0},
        {"DCB negative", {" DCB.B -1,0"}, "", kErrNegativeLength},
        {"DCB missing comma", {" DCB.B 2"}, "", kErrSyntax},
        {"DCB beyond the address space", {" DCB.L $1000000,0"}, "", kErrNegativeLength},
        {"DS negative", {" DS.W -1"}, "", kErrNegativeLength},
        {"DS.L advances by 12", {" DS.L 3", " DC.L *"}, "", kErrSyntax},
        {"ORG odd", {" ORG $1001", "HERE DC.L HERE"}, "00001002", 0},
        {"EQU needs a label", {" EQU 5"}, "", kErrLabelRequired},
        {"EQU with a comment", {"X EQU 5 Z", " DC.W X"}, "0005", 0},
        {"EQU trailing operator", {"X EQU 5+"}, "", kErrSyntax},
        {"EQU forward reference", {"X EQU Y", "Y EQU 1", " DC.W X"}, "0000", kErrUndefinedSymbol},
        {"EQU twice with the same value", {"A EQU 5", "A EQU 5"}, "", 0},
        {"label twice at different addresses", {"L1 NOP", "L1 NOP"}, "", kErrPhase},
        {"SET redefines", {"C SET 1", " DC.W C", "C SET C+1", " DC.W C"}, "0002", 0},
        {"SET over a label", {"C NOP", "C SET 1"}, "", kErrMultipleDefinition},
        {"ORG suffix", {" ORG.W $1000"}, "", kErrInvalidSize},
        {"XDEF needs an operand", {" XDEF"}, "", kErrSyntax},
        {"XREF with operand", {" XREF FOO"}, "", 0},
        {"TTL anything", {" TTL my program"}, "", 0},
        {"unknown section", {" SECTION 12", "HERE DC.L HERE"}, "00000000", 0},
    });
}

TEST(Directives, LocationEffects) {
    Assembled a = AssembleLines({
        " DC.B 1",     // 802000, then even out to 802002
        "A1 DC.L A1",  // 802002
        " SECTION VAR",
        "V1 DS.L 3",   // 803000
        "V2 DC.L V2",  // 80300C
        " SECTION 9",
        "A2 DC.L A2",  // back in CODE: 802006
        " SECTION CODE",
        "A3 DC.L A3",
        " ORG $1000",
        " DC.B 1",  // absolute mode: no even out
        " NOP",     // realigned to 1002
        " SECTION 12",
        "X EQU Y",
        "Y EQU 1",
    });
    EXPECT_EQ(a.hex(1), "00802002");
    EXPECT_EQ(a.hex(4), "0080300C");
    EXPECT_EQ(a.hex(6), "00802006");
    EXPECT_EQ(a.hex(8), "0080200A");
    EXPECT_EQ(a.lines[11].start, 0x1001u);
    EXPECT_EQ(a.memory.at(0x1002), 0x4E);
    EXPECT_EQ(a.lines[12].code, kErrNotKnown);
    EXPECT_EQ(a.lines[13].code, kErrNotKnown);
    EXPECT_EQ(a.pass1Codes[13], kErrNotKnown);
}

TEST(Directives, EndStopsThePass) {
    Assembled a = AssembleLines({" NOP", " END", " NOP"});
    EXPECT_EQ(a.lines.size(), 2u);
    EXPECT_EQ(a.memory.size(), 2u);
}

}  // namespace
}  // namespace qubrix::test
