// S-record reading and the headless run: exit statuses, output, input and refused files.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "../../support/process.h"
#include "headless.h"
#include "srecord.h"

namespace korvan::sim {
namespace {

using namespace std::chrono_literals;

using test::bytesOf;

// One record line, checksum computed.
std::string record(int type, std::uint32_t address, const std::vector<std::uint8_t>& data = {}) {
    return test::srecord(type, address, data) + "\n";
}

TEST(SRecords, Parse) {
    struct Row {
        const char* name;
        std::string text;
        std::string error;
        std::size_t blocks;
        std::uint32_t lastAddress;
        std::optional<std::uint32_t> entry;
    };
    const std::string s1 = record(1, 0x1234, {0xAA, 0xBB});
    std::string badSum = s1;
    badSum[badSum.size() - 2] = badSum[badSum.size() - 2] == '0' ? '1' : '0';
    // clang-format off
    const Row rows[] = {
        {"every width, S8 entry", "S00600004844521B\r\n" + s1 + record(2, 0x802000, {1}) + "\n" +
                                      record(3, 0x87FFFF, {2}) + record(8, 0x802000),
         "", 3, 0x87FFFF, 0x802000},
        {"S7 entry", record(3, 0x802000, {1}) + record(7, 0x802010), "", 1, 0x802000, 0x802010},
        {"zero entry is none", record(1, 0x2000, {1}) + record(9, 0), "", 1, 0x2000, std::nullopt},
        {"checksum", "\n" + badSum, "line 2: checksum error", 0, 0, std::nullopt},
        {"count", "S1050000FFFB\n", "line 1: the count does not match the record's length", 0, 0, std::nullopt},
        {"digit", "S1040000XXFB\n", "line 1: not a hexadecimal digit", 0, 0, std::nullopt},
        {"odd length", "S10400000FB\n", "line 1: odd number of hexadecimal digits", 0, 0, std::nullopt},
        {"type", "S4030000FC\n", "line 1: unknown record type S4", 0, 0, std::nullopt},
        {"not a record", "hello\n", "line 1: not an S-record", 0, 0, std::nullopt},
        {"short", "S10200FD\n", "line 1: record too short for its address", 0, 0, std::nullopt},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SRecordImage image = parseSRecords(row.text);
        EXPECT_EQ(image.error, row.error);
        if (!row.error.empty()) continue;
        ASSERT_EQ(image.blocks.size(), row.blocks);
        EXPECT_EQ(image.blocks.back().address, row.lastAddress);
        EXPECT_EQ(image.entry, row.entry);
    }
    const SRecordImage one = parseSRecords(s1);
    EXPECT_EQ(one.blocks.at(0).bytes, (std::vector<std::uint8_t>{0xAA, 0xBB}));
}

// Writes bytes to a pipe after a delay, then closes it: input that arrives while the program runs.
class DelayedInput {
public:
    DelayedInput(std::string bytes, std::chrono::milliseconds delay) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        m_read = fds[0];
        m_writer = std::thread([fd = fds[1], bytes = std::move(bytes), delay] {
            std::this_thread::sleep_for(delay);
            EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
            ::close(fd);
        });
    }
    ~DelayedInput() {
        m_writer.join();
        ::close(m_read);
    }
    int fd() const { return m_read; }

private:
    int m_read = -1;
    std::thread m_writer;
};

TEST(Headless, StatusOutputAndReport) {
    // Echoes one character read from the input in angle brackets, then ends with status 0.
    const std::string echo = record(
        3, 0x802000, bytesOf({0x7003, 0x4E4F, 0x7001, 0x1F01, 0x723C, 0x4E4F, 0x121F, 0x4E4F, 0x7200, 0x7000, 0x4E4F}));
    // As the run-time ends: main's value in D0 goes to D1, then TRAP #15 function 0. Here main
    // returns $103, of which the status is the low byte.
    const std::string mainReturns = record(3, 0x802000, bytesOf({0x4EB9, 0x0080, 0x2010, 0x2200, 0x7000, 0x4E4F})) +
                                    record(3, 0x802010, bytesOf({0x203C, 0x0000, 0x0103, 0x4E75}));
    // Poll until a character has arrived (kbhit, then the QSM's RDRF), read it, echo it, end.
    const std::string kbhit = record(
        3, 0x802000, bytesOf({0x7004, 0x4E4F, 0x4A81, 0x67F8, 0x7003, 0x4E4F, 0x7001, 0x4E4F, 0x7200, 0x7000, 0x4E4F}));
    const std::string rdrf = record(3, 0x802000,
                                    bytesOf({0x0839, 0x0006, 0x00FF, 0xFC0D, 0x67F6, 0x1239, 0x00FF, 0xFC0F, 0x13C1,
                                             0x00FF, 0xFC0F, 0x7200, 0x7000, 0x4E4F}));
    const auto program = [](std::initializer_list<std::uint16_t> words) { return record(3, 0x802000, bytesOf(words)); };
    struct Row {
        const char* name;
        std::string file;
        std::optional<std::uint64_t> limit;
        std::string input;
        int status;
        std::string out;
        std::string errStart;
        bool delayed = false;  // the input comes 100 ms after the start
    };
    // clang-format off
    const Row rows[] = {
        {"ends", echo, std::nullopt, "x", 0, "<x", ""},
        {"exit status 3", program({0x7203, 0x7000, 0x4E4F}), std::nullopt, "", 3, "", ""},
        {"exit status 255 from D1.B", program({0x72FF, 0x7000, 0x4E4F}), std::nullopt, "", 255, "", ""},
        {"main's value", mainReturns, std::nullopt, "", 3, "", ""},
        {"entry record used", record(3, 0x802100, bytesOf({0x7200, 0x7000, 0x4E4F})) + program({0x4AFC}) +
                                  record(7, 0x802100),
         std::nullopt, "", 0, "", ""},
        {"input ends", echo, std::nullopt, "", kRunStopped, "",
         "input ended while the program waits for a character\nD0=00000003"},
        {"ILLEGAL", program({0x4AFC}), std::nullopt, "", 132, "", "ILLEGAL instruction at $00802000\nD0="},
        {"BKPT", program({0x484B}), std::nullopt, "", 132, "", "breakpoint BKPT #3 at $00802000\n"},
        {"address error", program({0x41F9, 0x0080, 0x3001, 0x3010}), std::nullopt, "", 131, "",
         "address error: read of $00803001"},
        {"TRAP without handler", program({0x4E43}), std::nullopt, "", 128 + 35, "", "TRAP #3 without a handler"},
        {"unknown TRAP #15 function", program({0x7009, 0x4E4F}), std::nullopt, "", 175, "", "TRAP #15: no function 9\n"},
        {"STOP", program({0x4E72, 0x2700}), std::nullopt, "", kRunStopped, "", "STOP: "},
        {"limit", program({0x5280, 0x60FC}), 2001, "", 124, "",
         "instruction limit reached after 2001 instructions\nD0=000003E9"},
        {"bad record", "S1\n", std::nullopt, "", 125, "", "korvan-sim: "},
        {"outside memory", record(3, 0x7FFFFF, {1, 2}), std::nullopt, "", 125, "", "korvan-sim: "},
        {"kbhit sees input as it arrives", kbhit, 100'000'000, "k", 0, "k", "", true},
        {"RDRF sees input as it arrives", rdrf, 100'000'000, "k", 0, "k", "", true},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const test::TempDir dir;
        std::optional<DelayedInput> later;
        if (row.delayed) later.emplace(row.input, 100ms);
        const int inputFd = later ? later->fd() : ::open(dir.write("input", row.input).c_str(), O_RDONLY);
        ASSERT_GE(inputFd, 0);
        std::ostringstream out, err;
        const int status = runHeadless({dir.write("prog.abs", row.file), row.limit, inputFd}, out, err);
        if (!later) ::close(inputFd);
        EXPECT_EQ(status, row.status);
        EXPECT_EQ(out.str(), row.out);
        EXPECT_TRUE(err.str().starts_with(row.errStart)) << err.str();
        if (row.status == kRunCannotLoad) {
            const char* where = row.name == std::string("bad record") ? "line 1" : "$007FFFFF";
            EXPECT_NE(err.str().find(where), std::string::npos) << err.str();
        }
    }
    std::ostringstream out, err;
    EXPECT_EQ(runHeadless({"/nonexistent/prog.abs", std::nullopt, -1}, out, err), kRunCannotLoad);
    EXPECT_TRUE(err.str().starts_with("korvan-sim: cannot read /nonexistent/prog.abs")) << err.str();
}

}  // namespace
}  // namespace korvan::sim
