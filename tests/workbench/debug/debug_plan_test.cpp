// The breakpoint table and its run and step plans over a program assembled by the real
// assembler (an include file among its sources), and the readers of the monitor's memory
// display and register dump.
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "../../support/table.h"
#include "debug_plan.h"
#include "debug_test_support.h"
#include "instruction.h"
#include "line_map.h"
#include "program_image.h"

namespace {

using namespace korvan::debug;
using korvan::test::readTable;
using korvan::test::Row;

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
            if (out.tellp() > 0) out << " ; ";
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

// The operations of data/plan_steps.txt in order, each giving its plan.
TEST_F(PlanTest, BreakpointsRunsAndSteps) {
    BreakpointTable table;
    table.bind(&*map, &image, true);
    for (const Row& op : readTable(KORVAN_DEBUG_DATA "/plan_steps.txt", 3)) {
        SCOPED_TRACE(op[0] + " " + op[1]);
        std::istringstream places(op[1]);
        std::string file;
        int line = 0, target = 0;
        if (op[1] != "-") std::getline(places, file, ':') >> line >> target;
        if (op[0] == "toggle") {
            ASSERT_TRUE(table.toggle(path(file.c_str()), line));
            std::string lines;
            for (int l : table.linesIn(path(file.c_str()))) lines += (lines.empty() ? "" : ",") + std::to_string(l);
            EXPECT_EQ(lines, op[2]);
            continue;
        }
        const uint32_t pc = line ? at(file.c_str(), line) : 0;
        const std::map<std::string, std::function<Plan()>> plans = {
            {"download", [&] { return table.bind(&*map, &image, true), table.planAfterStop(); }},
            {"after stop", [&] { return table.planAfterStop(); }},
            {"run", [&] { return table.planRun(pc, target ? at("main", target) : pc); }},
            {"step into", [&] { return table.planStepInto(pc); }},
            {"step over", [&] { return table.planStepOver(pc, image.read(pc, 6)->data(), 6); }},
            {"run to", [&] { return table.planRunTo(pc, at("main", target)); }}};
        ASSERT_TRUE(plans.count(op[0])) << op[0];
        EXPECT_EQ(text(plans.at(op[0])()), op[2]);
    }
}

TEST(BreakpointTableTest, HoldsNoMoreLinesThanItsLimit) {
    BreakpointTable table;
    for (std::size_t i = 0; i < BreakpointTable::kMaxLines; ++i) ASSERT_TRUE(table.toggle("other.src", int(i) + 1));
    EXPECT_FALSE(table.toggle("main.src", 1));
    EXPECT_TRUE(table.toggle("other.src", 1));  // removing still works
    EXPECT_TRUE(table.toggle("main.src", 1));
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
