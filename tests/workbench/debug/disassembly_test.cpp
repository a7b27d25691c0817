// Instruction facts for stepping and the objdump disassembly, both checked against the bytes
// GNU as produces for the CPU32.
#include <fstream>
#include <map>
#include <sstream>

#include "debug_test_support.h"
#include "disassembler.h"
#include "instruction.h"
#include "program_image.h"

namespace {

using korvan::debug::ClassifyInstruction;
using korvan::debug::Disassembler;
using korvan::debug::InstructionKind;
using korvan::debug::ProgramDisassembly;

struct Form {
    std::string source;  // GNU as syntax
    InstructionKind kind;
};

// The forms of data/forms.s: "<tab>source<tab>| Kind" lines, '|' opening a comment for GNU as.
std::vector<Form> ReadForms() {
    const std::map<std::string, InstructionKind> kinds{
        {"Call", InstructionKind::Call}, {"Trap", InstructionKind::Trap},     {"Return", InstructionKind::Return},
        {"Link", InstructionKind::Link}, {"Unlink", InstructionKind::Unlink}, {"Other", InstructionKind::Other}};
    std::vector<Form> forms;
    std::ifstream in(KORVAN_DEBUG_DATA "/forms.s");
    for (std::string line; std::getline(in, line);) {
        const std::size_t bar = line.find("\t| ");
        if (line.empty() || line[0] != '\t' || bar == std::string::npos) continue;
        forms.push_back({line.substr(1, line.find_last_not_of(' ', bar - 1)), kinds.at(line.substr(bar + 3))});
    }
    return forms;
}
const std::vector<Form> kForms = ReadForms();

// The forms assembled by GNU as, each at label fN: the bytes of each and the program as
// S-records loaded at base.
struct Assembled {
    std::vector<std::vector<uint8_t>> bytes;  // per form
    std::vector<uint32_t> offsets;            // per form, from the start of .text
    std::string srec;
};

constexpr uint32_t kBase = 0x802000;

Assembled AssembleForms(const debugtest::TempDir& dir) {
    std::string text = "\t.text\n";
    for (std::size_t i = 0; i < std::size(kForms); ++i)
        text += "f" + std::to_string(i) + ":\t" + kForms[i].source + "\n";
    text += "fend:\n";
    const std::string src = dir.write("forms.s", text), obj = dir.at("forms.o");
    Assembled a;
    a.srec = dir.at("forms.abs");
    debugtest::Run("m68k-linux-gnu-as", {"-mcpu=cpu32", src, "-o", obj});
    debugtest::Run("m68k-linux-gnu-objcopy",
                   {"-O", "srec", "--srec-forceS3", "--change-addresses", "0x802000", "-j", ".text", obj, a.srec});
    // The labels by address: f0, f1 ... fend, since every form takes some bytes.
    std::istringstream nm(debugtest::Run("m68k-linux-gnu-nm", {"-n", obj}).out);
    std::vector<uint32_t> labels;
    for (std::string addr, type, name; nm >> addr >> type >> name;)
        labels.push_back(static_cast<uint32_t>(std::stoul(addr, nullptr, 16)));
    EXPECT_EQ(labels.size(), std::size(kForms) + 1);
    labels.resize(std::size(kForms) + 1);
    korvan::debug::ProgramImage image;
    EXPECT_TRUE(image.load(a.srec)) << image.error();
    for (std::size_t i = 0; i < std::size(kForms); ++i) {
        a.offsets.push_back(labels[i]);
        a.bytes.push_back(image.read(kBase + labels[i], labels[i + 1] - labels[i]).value_or(std::vector<uint8_t>{}));
    }
    return a;
}

// Each form's kind, length and step-over target, and objdump's row for it, from the bytes GNU as
// gives it.
TEST(InstructionTest, KindsLengthsAndObjdumpRowsMatchGnuAs) {
    ASSERT_FALSE(kForms.empty()) << "data/forms.s not read";
    for (const std::string tool : {"as", "objcopy", "nm", "objdump"})
        if (!debugtest::Have("m68k-linux-gnu-" + tool)) GTEST_SKIP() << "no m68k-linux-gnu-" << tool;
    debugtest::TempDir dir;
    const Assembled a = AssembleForms(dir);
    ProgramDisassembly program{Disassembler("m68k-linux-gnu-objdump")};
    ASSERT_TRUE(program.load(a.srec)) << program.error();
    std::vector<uint8_t> all;
    for (std::size_t i = 0; i < std::size(kForms); ++i) {
        SCOPED_TRACE(kForms[i].source);
        const auto& bytes = a.bytes[i];
        ASSERT_FALSE(bytes.empty());
        const auto info = ClassifyInstruction(bytes.data(), bytes.size());
        EXPECT_EQ(info.kind, kForms[i].kind);
        if (info.kind != InstructionKind::Other) {
            EXPECT_EQ(info.length, static_cast<int>(bytes.size()));
            // One byte short of the instruction: its length cannot be told.
            EXPECT_EQ(ClassifyInstruction(bytes.data(), bytes.size() - 1).length, 0);
        }
        const auto over = korvan::debug::StepOverTarget(kBase, bytes.data(), bytes.size());
        const bool stepsOver = info.kind == InstructionKind::Call || info.kind == InstructionKind::Trap;
        EXPECT_EQ(over, stepsOver ? std::optional<uint32_t>(kBase + bytes.size()) : std::nullopt);
        if (kForms[i].source == "bkpt #0") {
            EXPECT_EQ(bytes[0] << 8 | bytes[1], korvan::debug::kBkptWord);
            EXPECT_TRUE(korvan::debug::IsBkpt(korvan::debug::kBkptWord));
        }
        const uint32_t address = kBase + a.offsets[i];
        const auto* row = program.rowAt(address + static_cast<uint32_t>(bytes.size()) - 1);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->address, address);
        EXPECT_EQ(row->bytes, bytes);
        // objdump's mnemonic begins with ours (it spells bsrs, movel, trapnew ...).
        EXPECT_EQ(row->text.substr(0, 3), kForms[i].source.substr(0, kForms[i].source.find_first_of(" .")).substr(0, 3))
            << row->text;
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    EXPECT_TRUE(korvan::debug::CanPlantBreakpoint(kBase));
    EXPECT_FALSE(korvan::debug::CanPlantBreakpoint(kBase + 1));
    EXPECT_FALSE(program.rowAt(kBase - 2));
    EXPECT_FALSE(program.rowAt(kBase + static_cast<uint32_t>(all.size())));

    // The same bytes read from memory give the same rows.
    const auto fromMemory = Disassembler().disassembleBytes(kBase, all.data(), all.size());
    ASSERT_TRUE(fromMemory.ok()) << fromMemory.error;
    ASSERT_EQ(fromMemory.rows.size(), program.rows().size());
    for (std::size_t i = 0; i < fromMemory.rows.size(); ++i)
        EXPECT_EQ(std::pair(fromMemory.rows[i].address, fromMemory.rows[i].text),
                  std::pair(program.rows()[i].address, program.rows()[i].text));
}

TEST(InstructionTest, ReturnAddressSlotOfTheCurrentFrame) {
    const uint8_t rts[] = {0x4E, 0x75}, link[] = {0x4E, 0x56, 0xFF, 0xF8}, nop[] = {0x4E, 0x71};
    korvan::debug::FrameState f;
    f.sp = 0x87FF00;
    f.a[6] = 0x87FF40;
    f.pc = 0x1010;
    f.atPc = ClassifyInstruction(nop, 2);
    EXPECT_FALSE(korvan::debug::ReturnAddressSlot(f));  // no known routine, no frame
    f.atPc = ClassifyInstruction(rts, 2);
    EXPECT_EQ(korvan::debug::ReturnAddressSlot(f), 0x87FF00u);
    f.routineStart = 0x1000;
    f.atRoutineStart = ClassifyInstruction(link, 4);
    f.atPc = ClassifyInstruction(nop, 2);
    EXPECT_EQ(korvan::debug::ReturnAddressSlot(f), 0x87FF44u);  // inside a LINK A6 frame
    f.pc = 0x1000;
    EXPECT_EQ(korvan::debug::ReturnAddressSlot(f), 0x87FF00u);  // before the LINK ran
}

TEST(DisassemblyTest, MissingObjdumpIsAnError) {
    debugtest::TempDir dir;
    const std::string file = dir.write("p.abs", "S309000010004E714E7117\n");
    const Disassembler missing(dir.at("no-such-objdump"));
    const auto result = missing.disassembleFile(file);
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.error.find("no-such-objdump"), std::string::npos) << result.error;
    ProgramDisassembly program{missing};
    EXPECT_FALSE(program.load(file));
    EXPECT_TRUE(program.rows().empty());
    // A program file that is not there: an error, not an empty success.
    EXPECT_FALSE(Disassembler().disassembleFile(dir.at("none.abs")).ok());
}

}  // namespace
