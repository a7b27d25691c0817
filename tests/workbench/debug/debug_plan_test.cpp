// The breakpoint table and its run and step plans over a program assembled by the real
// assembler (an include file among its sources), and the readers of the monitor's memory
// display and register dump.
#include <filesystem>
#include <map>
#include <sstream>

#include "debug_plan.h"
#include "debug_test_support.h"
#include "instruction.h"
#include "line_map.h"
#include "program_image.h"

namespace {

using namespace korvan::debug;

// One operation on the table and the plan it must give, written with source positions
// ("main:3") for addresses, "BKPT" or "orig" for the words written.
struct Op {
    enum Kind { Toggle, Download, Run, StepInto, StepOver, RunTo, AfterStop } kind;
    const char* file = nullptr;  // Toggle
    int line = 0;                // Toggle; the PC's line for the others
    int target = 0;              // RunTo: the line of main to run to
    const char* plan = "";
    const char* lines = nullptr;  // Toggle: the lines of file with a breakpoint afterwards
};

class PlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.copyData("plan");  // main.src, and sub.inc it includes
        debugtest::Run(KORVAN_QUBRIX, {"--lang", "en", "--code", "1000", dir.at("main.src")}, dir.at());
        std::string error;
        map = LineMap::FromListing(dir.at("main.src"), dir.at("main.lis"), {}, &error);
        ASSERT_TRUE(map) << error;
        ASSERT_TRUE(image.load(dir.at("main.abs"))) << image.error();
    }
    std::string path(const char* file) const { return dir.at(std::string(file) + (file[0] == 'm' ? ".src" : ".inc")); }
    uint32_t at(const char* file, int line) const { return map->addressOf(path(file), line)->addresses.at(0); }
    std::string where(uint32_t address) const {
        const auto loc = map->locationAt(address);
        if (!loc || map->lineAt(address)->start != address) return "?";
        return std::filesystem::path(loc->file).stem().string() + ":" + std::to_string(loc->line);
    }
    std::string text(const Plan& plan) const {
        std::ostringstream out;
        for (const MonitorStep& s : plan) {
            if (out.tellp() > 0) out << " | ";
            switch (s.kind) {
            case MonitorStep::Kind::Write:
                out << "write";
                for (const WordWrite& w : s.writes)
                    out << ' ' << where(w.address) << '='
                        << (w.word == kBkptWord               ? "BKPT"
                            : w.word == image.word(w.address) ? "orig"
                                                              : "?");
                break;
            case MonitorStep::Kind::SetPc: out << "pc=" << where(s.address); break;
            case MonitorStep::Kind::Step: out << "ss"; break;
            case MonitorStep::Kind::Go: out << "go " << (s.fromCurrentPc ? "pc" : where(s.address)); break;
            }
        }
        return out.str();
    }

    debugtest::TempDir dir;
    std::optional<LineMap> map;
    ProgramImage image;
};

TEST_F(PlanTest, BreakpointsRunsAndSteps) {
    // clang-format off
    const Op kOps[] = {
        {Op::Toggle, "main", 2, 0, "", "3"},                 // moves to the BSR
        {Op::Toggle, "sub", 1, 0, "", "2"},                  // in the include file
        {Op::Download, nullptr, 0, 0, "write main:3=BKPT sub:2=BKPT"},
        {Op::Run, nullptr, 1, 0, "go main:1"},               // nothing under the PC
        {Op::Run, nullptr, 3, 0, "write main:3=orig | ss | write main:3=BKPT | go pc"},
        {Op::AfterStop, nullptr, 0, 0, ""},                  // nothing temporary, nothing changed
        {Op::StepInto, nullptr, 2 /* sub:2 */, 0, "write sub:2=orig | ss | write sub:2=BKPT"},
        {Op::Toggle, "main", 3, 0, "", ""},                  // cleared: the word comes back
        {Op::StepOver, nullptr, 3, 0, "write main:3=orig main:4=BKPT | go main:3"},
        {Op::AfterStop, nullptr, 0, 0, "write main:4=orig"},
        {Op::StepOver, nullptr, 1, 0, "ss"},                 // not a call
        {Op::RunTo, nullptr, 1, 5, "write main:5=BKPT | go main:1"},
        {Op::Toggle, "main", 5, 0, "", "5"},                 // a user breakpoint on the temporary
        {Op::AfterStop, nullptr, 0, 0, ""},                  // stays planted
        {Op::Download, nullptr, 0, 0, "write main:5=BKPT sub:2=BKPT"},  // all planted again
    };
    // clang-format on
    BreakpointTable table;
    table.bind(&*map, &image, true);
    for (const Op& op : kOps) {
        SCOPED_TRACE(std::to_string(&op - kOps));
        Plan plan;
        const uint32_t pc = op.kind == Op::StepInto ? at("sub", op.line) : op.line ? at("main", op.line) : 0;
        switch (op.kind) {
        case Op::Toggle: {
            ASSERT_TRUE(table.toggle(path(op.file), op.line));
            std::string lines;
            for (int l : table.linesIn(path(op.file))) lines += (lines.empty() ? "" : ",") + std::to_string(l);
            EXPECT_EQ(lines, op.lines);
            break;
        }
        case Op::Download:
            table.bind(&*map, &image, true);
            plan = table.planAfterStop();
            break;
        case Op::Run: plan = table.planRun(pc, pc); break;
        case Op::StepInto: plan = table.planStepInto(pc); break;
        case Op::StepOver: {
            const auto code = image.read(pc, 6);
            plan = table.planStepOver(pc, code->data(), code->size());
            break;
        }
        case Op::RunTo: plan = table.planRunTo(pc, at("main", op.target)); break;
        case Op::AfterStop: plan = table.planAfterStop(); break;
        }
        EXPECT_EQ(text(plan), op.plan);
    }
}

TEST_F(PlanTest, TableHoldsItsLimitAndRunsFromAnotherAddressUnderABreakpoint) {
    BreakpointTable table;
    table.bind(&*map, &image, true);
    for (std::size_t i = 0; i < BreakpointTable::kMaxLines; ++i) ASSERT_TRUE(table.toggle("other.src", int(i) + 1));
    EXPECT_FALSE(table.toggle(path("main"), 1));
    EXPECT_TRUE(table.toggle("other.src", 1));  // removing still works
    EXPECT_TRUE(table.toggle(path("main"), 1));
    table.planAfterStop();
    EXPECT_EQ(text(table.planRun(at("main", 1), at("main", 4))),
              "write main:1=orig | pc=main:1 | ss | write main:1=BKPT | go pc");
}

TEST(MonitorTextTest, MemoryDisplayAndInstructionWords) {
    const auto from = [](uint32_t address, std::vector<uint8_t> bytes) {
        std::map<uint32_t, uint8_t> at;
        for (uint8_t b : bytes) at[address++] = b;
        return at;
    };
    const std::pair<const char*, std::map<uint32_t, uint8_t>> kCases[] = {
        {"md 802000 12\r\n"
         "00802000  41 F9 00 80 30 00 70 00 32 3C 00 0F 34 00 C4 C2  A...0.p.2<..4...\r\n"
         "00802010  48 48                                            HH\r\n>>-> ",
         from(0x802000, {0x41, 0xF9, 0x00, 0x80, 0x30, 0x00, 0x70, 0x00, 0x32, 0x3C, 0x00, 0x0F, 0x34, 0x00, 0xC4, 0xC2,
                         0x48, 0x48})},
        // Unreadable bytes are left out; a character column that looks like bytes is not read.
        {"00FFFFFE  12 -- --                                         .  \r\n", from(0xFFFFFE, {0x12})},
        {"0000100A  41 42                                            AB CD EF\r\n", from(0x100A, {0x41, 0x42})},
        {"?? unknown command \"md 1\"\r\n>>-> ", {}},
    };
    for (const auto& [text, bytes] : kCases) EXPECT_EQ(ParseMemoryDisplay(text), bytes) << text;

    const char* dump =
        "PC=00802004 SR=2700 SS=00880000 US=0087C000\r\n"
        "VBR=00800000 SFC=000 DFC=000\r\n"
        "00802004  6100 0014 4E71 ----\r\n>>-> ";
    EXPECT_EQ(ParseInstructionBytes(dump, 0x802004), (std::vector<uint8_t>{0x61, 0x00, 0x00, 0x14, 0x4E, 0x71}));
    EXPECT_TRUE(ParseInstructionBytes(dump, 0x802000).empty());
}

}  // namespace
