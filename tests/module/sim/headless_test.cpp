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
#include "../../support/table.h"
#include "headless.h"
#include "srecord.h"

namespace korvan::sim {
namespace {

using namespace std::chrono_literals;

// One record line, checksum computed.
std::string record(int type, std::uint32_t address, const std::vector<std::uint8_t>& data = {}) {
    return test::srecord(type, address, data) + "\n";
}

TEST(SRecords, Parse) {
    struct Row {
        const char* name;
        std::string text;
        std::size_t blocks;
        std::uint32_t lastAddress;
        std::optional<std::uint32_t> entry;
    };
    const std::string s1 = record(1, 0x1234, {0xAA, 0xBB});
    // clang-format off
    const Row rows[] = {
        {"every width, S8 entry", "S00600004844521B\r\n" + s1 + record(2, 0x802000, {1}) + "\n" +
                                      record(3, 0x87FFFF, {2}) + record(8, 0x802000), 3, 0x87FFFF, 0x802000},
        {"S7 entry", record(3, 0x802000, {1}) + record(7, 0x802010), 1, 0x802000, 0x802010},
        {"zero entry is none", record(1, 0x2000, {1}) + record(9, 0), 1, 0x2000, std::nullopt},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SRecordImage image = parseSRecords(row.text);
        EXPECT_EQ(image.error, "");
        ASSERT_EQ(image.blocks.size(), row.blocks);
        EXPECT_EQ(image.blocks.back().address, row.lastAddress);
        EXPECT_EQ(image.entry, row.entry);
    }
    EXPECT_EQ(parseSRecords(s1).blocks.at(0).bytes, (std::vector<std::uint8_t>{0xAA, 0xBB}));
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/srecord_errors.txt", 3)) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(parseSRecords(row[1]).error, row[2]);
    }
}

// Input that arrives while the program runs: bytes written to a pipe after a delay, then closed.
struct DelayedInput {
    int fds[2] = {-1, -1};
    std::thread writer;
    DelayedInput(std::string bytes, std::chrono::milliseconds delay) {
        EXPECT_EQ(::pipe(fds), 0);
        writer = std::thread([fd = fds[1], bytes = std::move(bytes), delay] {
            std::this_thread::sleep_for(delay);
            EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
            ::close(fd);
        });
    }
    ~DelayedInput() {
        writer.join();
        ::close(fds[0]);
    }
};

// An S-record file from its description in the table: "ADDRESS: words", "entry ADDRESS" or a
// line as written, separated by "; ".
std::string fileOf(const std::string& description) {
    std::string file, part;
    for (std::istringstream parts(description); std::getline(parts >> std::ws, part, ';');) {
        const std::size_t colon = part.find(':');
        if (part.starts_with("entry "))
            file += record(7, test::hex(part.substr(6)));
        else if (colon != std::string::npos)
            file += record(3, test::hex(part.substr(0, colon)), test::bytesOf(test::words(part.substr(colon + 1))));
        else
            file += part + "\n";
    }
    return file;
}

TEST(Headless, StatusOutputAndReport) {
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/headless_runs.txt", 8)) {
        SCOPED_TRACE(row[0]);
        const test::TempDir dir;
        std::optional<DelayedInput> later;
        if (row[7] == "yes") later.emplace(row[3], 100ms);
        const int inputFd = later ? later->fds[0] : ::open(dir.write("input", row[3]).c_str(), O_RDONLY);
        ASSERT_GE(inputFd, 0);
        std::ostringstream out, err;
        const std::optional<std::uint64_t> limit =
            row[2] == "-" ? std::nullopt : std::optional<std::uint64_t>(std::stoull(row[2]));
        const int status = runHeadless({dir.write("prog.abs", fileOf(row[1])), limit, inputFd}, out, err);
        if (!later) ::close(inputFd);
        EXPECT_EQ(status, std::stoi(row[4]));
        EXPECT_EQ(out.str(), row[5]);
        EXPECT_TRUE(err.str().starts_with(row[6])) << err.str();
        if (status == kRunCannotLoad) {
            const char* where = row[0] == "bad record" ? "line 1" : "$007FFFFF";
            EXPECT_NE(err.str().find(where), std::string::npos) << err.str();
        }
    }
}

}  // namespace
}  // namespace korvan::sim
