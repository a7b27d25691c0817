// korvan-sim --gdb: the remote protocol packet by packet through a socket, and a real gdb session.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <sys/socket.h>

#include "../../support/process.h"
#include "../../support/table.h"
#include "gdb_stub.h"
#include "line.h"

namespace korvan::sim {
namespace {

using test::Simulator;
using test::TempDir;

// The program of the packet tests, at $802000: MOVEQ #$41,D2; ADDQ.L #1,D2 (at 802002); MOVEQ #1,D0;
// MOVE.L D2,D1 (802006); TRAP #15, writing "B" (802008); MOVEQ #0,D0; MOVEQ #7,D1; TRAP #15, ending
// with status 7.
std::string programRecords() {
    return test::srecord(2, 0x802000, test::bytesOf({0x7441, 0x5282, 0x7001, 0x2202, 0x4E4F, 0x7000, 0x7207, 0x4E4F})) +
           "\n" + test::srecord(8, 0x802000) + "\n";
}

// The debugger's end of the connection: framed packets out, acknowledged replies in.
class Client {
public:
    explicit Client(std::uint16_t port) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        if (::connect(m_fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("connect");
        const int on = 1;  // as gdb does: small packets and acknowledgements go out at once
        ::setsockopt(m_fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }

    void raw(std::string_view bytes) {
        ASSERT_EQ(::send(m_fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }
    // The next byte outside a packet ('+' or '-'), or nothing in time.
    std::optional<char> ack() {
        if (!fill()) return std::nullopt;
        const char c = m_in[0];
        m_in.erase(0, 1);
        return c;
    }
    // Frames and sends a packet: whether it was acknowledged.
    bool sent(std::string_view payload) {
        unsigned sum = 0;
        for (char c : payload) sum += static_cast<unsigned char>(c);
        char tail[4];
        std::snprintf(tail, sizeof tail, "#%02x", sum & 0xFF);
        raw("$" + std::string(payload) + tail);
        return ack() == '+';
    }
    // The next reply after the acknowledgement, 'O' console packets collected on the way.
    std::string packet(std::string_view payload) { return sent(payload) ? reply() : "<no acknowledgement>"; }
    std::string reply() {
        for (;;) {
            std::size_t end;
            while ((end = m_in.find('#')) == std::string::npos || m_in.size() < end + 3)
                if (!fill()) return "<no reply>";
            std::string payload;
            for (std::size_t i = m_in.find('$') + 1; i < end; ++i)
                payload += m_in[i] == '}' ? static_cast<char>(m_in[++i] ^ 0x20) : m_in[i];
            m_in.erase(0, end + 3);
            raw("+");
            if (!payload.starts_with('O') || payload == "OK") return payload;
            for (std::size_t i = 1; i + 1 < payload.size(); i += 2)
                console += static_cast<char>(std::stoi(payload.substr(i, 2), nullptr, 16));
        }
    }
    bool closed() {
        while (fill()) {}
        return m_eof;
    }

    std::string console;

private:
    bool fill() {
        pollfd p{m_fd.get(), POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) return false;
        char buf[4096];
        const ssize_t n = ::recv(m_fd.get(), buf, sizeof buf, 0);
        m_eof = n <= 0;
        if (n > 0) m_in.append(buf, static_cast<std::size_t>(n));
        return n > 0;
    }

    FileDescriptor m_fd;
    std::string m_in;
    bool m_eof = false;
};

std::uint16_t listeningPort(Simulator& sim) {
    const std::string line = sim.firstLine();
    const std::string prefix = "listening on 127.0.0.1:";
    if (!line.starts_with(prefix)) throw std::runtime_error("first line: " + line);
    return static_cast<std::uint16_t>(std::stoi(line.substr(prefix.size())));
}

// One session in order: every reply as the debugger would see it.
TEST(GdbServer, Packets) {
    TempDir dir;
    Simulator sim({"--gdb", "0", "--load", dir.write("prog.abs", programRecords())});
    Client gdb(listeningPort(sim));
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/gdb_packets.txt", 3)) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(gdb.packet(row[1]), row[2]);
    }
    EXPECT_TRUE(gdb.closed());
    EXPECT_EQ(sim.terminate(), 0);
    EXPECT_EQ(sim.output(), "B");
}

// An interrupt stops a running program, framing errors are refused, and the server outlives
// a debugger that goes away while the program runs. Every connection after it finds the module
// reset; each stop has its signal and the monitor's reason.
TEST(GdbServer, InterruptsBadInputAndStopsBySignal) {
    Simulator sim({"--gdb", "0"});
    const std::uint16_t port = listeningPort(sim);
    {
        Client gdb(port);
        ASSERT_EQ(gdb.packet("M802000,2:60fe"), "OK");  // BRA.S to itself
        EXPECT_TRUE(gdb.sent("c"));
        EXPECT_EQ(gdb.packet("g"), "E03") << "only the interrupt is taken while running";
        gdb.raw("\x03");
        EXPECT_EQ(gdb.reply(), "T02");
        EXPECT_EQ(gdb.packet("p11"), "00802000");

        gdb.raw("$g#00");
        EXPECT_EQ(gdb.ack(), '-') << "bad checksum";
        gdb.raw("$" + std::string(GdbStub::kPacketSize + 1, 'm') + "#00");
        EXPECT_EQ(gdb.ack(), '-') << "packet larger than announced";
        gdb.raw("-");
        EXPECT_EQ(gdb.reply(), "00802000") << "the last reply again";
        EXPECT_EQ(gdb.packet("qXfer:features:read:target.xml:0,f"), "m<?xml version=\"");
        const std::string xml = gdb.packet("qXfer:features:read:target.xml:0,fff");
        EXPECT_TRUE(xml.starts_with("l<?xml")) << xml;
        EXPECT_NE(xml.find("<feature name=\"org.gnu.gdb.m68k.core\">"), std::string::npos) << xml;
        EXPECT_EQ(xml.find("fp0"), std::string::npos) << "no floating point on the CPU32";
        EXPECT_EQ(gdb.packet("qXfer:features:read:other.xml:0,fff"), "E00");

        // Waiting for a character (standard input is empty): the interrupt leaves PC on the
        // TRAP, so that continuing calls the service again.
        ASSERT_EQ(gdb.packet("M802000,4:70034e4f"), "OK");  // MOVEQ #3,D0; TRAP #15
        ASSERT_EQ(gdb.packet("P11=802000"), "OK");
        EXPECT_TRUE(gdb.sent("c"));
        gdb.raw("\x03");
        EXPECT_EQ(gdb.reply(), "T02");
        EXPECT_EQ(gdb.packet("p11"), "00802002");

        EXPECT_TRUE(gdb.sent("c"));
    }  // gone while the program runs
    for (const test::Row& row : test::readTable(KORVAN_SIM_TEST_DATA "/gdb_stops.txt", 4)) {
        SCOPED_TRACE(row[0]);
        Client gdb(port);
        ASSERT_EQ(gdb.packet("?"), "S05");
        ASSERT_EQ(gdb.packet("p11"), "00802000");
        ASSERT_EQ(gdb.packet("m802000,2"), "0000") << "a fresh module for every debugger";
        ASSERT_EQ(gdb.packet("M802000," + std::to_string(row[1].size() / 2) + ":" + row[1]), "OK");
        EXPECT_EQ(gdb.packet("c"), row[2]);
        EXPECT_EQ(gdb.console, row[3]);
        EXPECT_EQ(gdb.packet("?"), row[2]);
    }
    EXPECT_EQ(sim.terminate(), 0);
}

// gdb-multiarch debugs a C program (data/gdb_main.c) built with debug information, at source level.
TEST(GdbServer, GdbSession) {
    const std::string gdbPath = test::onPath("gdb-multiarch");
    const std::string gcc = KORVAN_M68K_GCC;
    if (gdbPath.empty()) GTEST_SKIP() << "gdb-multiarch is not installed";
    if (gcc.empty()) GTEST_SKIP() << "no m68k-elf toolchain and run-time";
    TempDir dir;
    std::filesystem::copy_file(KORVAN_SIM_TEST_DATA "/gdb_main.c", dir.path / "main.c");
    const std::string objcopy = (std::filesystem::path(gcc).parent_path() / "m68k-elf-objcopy").string();
    const std::string build = "cd '" + dir.path.string() + "' && '" + gcc +
                              "' -specs=" KORVAN_RUNTIME_DIR "/korvan.specs -O0 -g main.c -o main.elf && '" + objcopy +
                              "' -O srec main.elf main.abs";
    ASSERT_EQ(std::system(build.c_str()), 0) << build;

    Simulator sim({"--gdb", "0", "--load", (dir.path / "main.abs").string()});
    const std::uint16_t port = listeningPort(sim);
    const std::filesystem::path log = dir.path / "gdb.txt";
    const std::string session = "'" + gdbPath + "' -batch -nx -ex 'target remote 127.0.0.1:" + std::to_string(port) +
                                "' -ex 'break main' -ex continue -ex next -ex 'print total' -ex step -ex finish "
                                "-ex next -ex 'print total' -ex 'info registers' -ex continue '" +
                                (dir.path / "main.elf").string() + "' > '" + log.string() + "' 2>&1 < /dev/null";
    EXPECT_EQ(std::system(("timeout 60 " + session).c_str()), 0);
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // clang-format off
    const char* expected[] = {
        "Breakpoint 1, main () at main.c:9",
        "\n10\t    total += square(3);",
        "$1 = 5",
        "square (x=3) at main.c:4",
        "Value returned is $2 = 9",
        "$3 = 14",
        "\nps             0x2700",
        "exited with code 016",
    };
    // clang-format on
    std::size_t at = 0;
    for (const char* want : expected) {
        const std::size_t found = text.find(want, at);
        EXPECT_NE(found, std::string::npos) << "\"" << want << "\" in order in:\n" << text;
        if (found != std::string::npos) at = found;
    }
    EXPECT_EQ(text.find("fp0"), std::string::npos) << text;
    EXPECT_EQ(sim.terminate(), 0);
    EXPECT_EQ(sim.output(), "total 14\r\n");  // the run-time ends lines for a terminal
}

}  // namespace
}  // namespace korvan::sim
