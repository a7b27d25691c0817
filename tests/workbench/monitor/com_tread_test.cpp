// Tests of the serial channel over a real pseudo-terminal: bytes both ways, pacing, acknowledgement,
// chunked draining, stopping, hang-up, missing device and refused settings.
#include "com_tread.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using korvan::monitor::ComTread;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

long long msSince(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

template <class Pred>
bool waitFor(Pred pred, std::chrono::milliseconds limit = 2000ms) {
    const auto until = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Records what the channel hands to the monitor document. Optionally holds the next reception
// until released, so that more bytes pile up in the driver meanwhile.
class FakeDocument : public ComTread::Document {
public:
    void ReceiveChars(const char* bytes, std::size_t count) override {
        std::unique_lock lock(m_mutex);
        m_text.append(bytes, count);
        m_chunks.push_back(count);
        if (m_hold) m_cv.wait(lock, [this] { return !m_hold; });
    }
    void RefreshView() override { ++refreshes; }
    void ConfigureFailed(const std::string& port) override {
        std::lock_guard lock(m_mutex);
        m_failedPorts.push_back(port);
    }
    std::string text() { std::lock_guard lock(m_mutex); return m_text; }
    std::vector<std::size_t> chunks() { std::lock_guard lock(m_mutex); return m_chunks; }
    std::vector<std::string> failedPorts() { std::lock_guard lock(m_mutex); return m_failedPorts; }
    void holdNext() { std::lock_guard lock(m_mutex); m_hold = true; }
    void release() { { std::lock_guard lock(m_mutex); m_hold = false; } m_cv.notify_all(); }
    std::atomic<int> refreshes{0};

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::string m_text;
    std::vector<std::size_t> m_chunks;
    std::vector<std::string> m_failedPorts;
    bool m_hold = false;
};

// A pseudo-terminal: the channel opens the slave path, the test plays the module on the master.
class Pty {
public:
    Pty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0) m_slave = ptsname(m_master);
    }
    ~Pty() { closeMaster(); }
    const std::string& slave() const { return m_slave; }
    void write(const std::string& s) { ASSERT_EQ(::write(m_master, s.data(), s.size()), static_cast<ssize_t>(s.size())); }
    // Reads until `count` bytes came or the limit passed.
    std::string read(std::size_t count, std::chrono::milliseconds limit = 2000ms) {
        std::string got;
        const auto until = Clock::now() + limit;
        while (got.size() < count && Clock::now() < until) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
                char buf[512];
                const ssize_t n = ::read(m_master, buf, sizeof buf);
                if (n > 0) got.append(buf, static_cast<std::size_t>(n));
            }
        }
        return got;
    }
    void closeMaster() { if (m_master >= 0) ::close(m_master); m_master = -1; }

private:
    int m_master = -1;
    std::string m_slave;
};

// A started channel on a fresh pty, receiving.
struct Link {
    Pty pty;
    FakeDocument doc;
    std::unique_ptr<ComTread> com;
    std::string opening;
    Link() {
        com = std::make_unique<ComTread>(doc, pty.slave(), 1);
        opening = "Ouverture du port " + pty.slave() + "\n";
        com->Start();
    }
    bool ready() { return waitFor([this] { return com->IsReceiving(); }); }
};

}  // namespace

TEST(ComTread, DevicePathMapsComNames) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"COM1", "/dev/ttyS0"}, {"COM4", "/dev/ttyS3"}, {"COM5", "COM5"}, {"COM", "COM"},
        {"/dev/pts/7", "/dev/pts/7"}, {"com1", "com1"}};
    for (const auto& [name, path] : cases) EXPECT_EQ(ComTread::DevicePath(name), path) << name;
}

TEST(ComTread, BytesPassBothWaysUntranslated) {
    Link link;
    ASSERT_TRUE(link.ready());
    EXPECT_EQ(link.com->DetectEnabled(), 1);
    link.pty.write("ve\r\n>>->\x03\x7f");
    ASSERT_TRUE(waitFor([&] { return link.doc.text().size() >= link.opening.size() + 10; }));
    EXPECT_EQ(link.doc.text(), link.opening + "ve\r\n>>->\x03\x7f");
    EXPECT_TRUE(waitFor([&] { return link.doc.refreshes.load() >= 1; }));

    link.com->WriteBytes("a\r\nb\x11");
    EXPECT_EQ(link.pty.read(5), "a\r\nb\x11");
}

TEST(ComTread, PacedSendingKeepsOrderWithoutBlockingCaller) {
    Link link;
    ASSERT_TRUE(link.ready());
    std::atomic<int> done{0};
    const auto t0 = Clock::now();
    link.com->SendString("0123456789", [&] { ++done; });
    link.com->WriteBytes("X");
    link.com->SendChar('c', [&] { ++done; });
    EXPECT_LT(msSince(t0), 20);  // the caller never waits for the pauses
    EXPECT_EQ(link.pty.read(12), "0123456789Xc");
    ASSERT_TRUE(link.com->WaitIdle(2000));
    EXPECT_GE(msSince(t0), 110);  // 11 paced characters, at least 10 ms each
    EXPECT_EQ(done.load(), 2);
}

TEST(ComTread, AcknowledgementIsOnlyTheFirstByteOfAChunkWhileABlockWaits) {
    struct Case {
        const char* name;
        std::string before;  // received before the block is sent
        std::string reply;   // the module's answer once the block arrived, one write
        bool acknowledged;
        long long minMs, maxMs;
    };
    const std::vector<Case> cases = {
        {"dot first ends the wait at once", "", ".", true, 0, 500},
        {"dot first with more after it", "", ".>>->", true, 0, 500},
        {"dot after an echo waits the full time", "", "x.", false, 1000, 1500},
        {"no answer waits the full time", "", "", false, 1000, 1500},
        {"dot while nothing waits sets nothing", ".", "", false, 1000, 1500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Link link;
        ASSERT_TRUE(link.ready());
        if (!c.before.empty()) {
            link.pty.write(c.before);
            ASSERT_TRUE(waitFor([&] { return link.doc.text().size() == link.opening.size() + c.before.size(); }));
        }
        std::atomic<int> result{-1};
        std::atomic<long long> elapsed{0};
        const auto t0 = Clock::now();
        link.com->WriteBlockAck(std::string("\x00\x01\x00\x00\x00\x02\xAB\xCD", 8), [&](bool ack) {
            elapsed = msSince(t0);
            result = ack;
        });
        ASSERT_EQ(link.pty.read(8).size(), 8u);
        if (!c.reply.empty()) link.pty.write(c.reply);
        ASSERT_TRUE(link.com->WaitIdle(3000));
        EXPECT_EQ(result.load(), c.acknowledged ? 1 : 0);
        EXPECT_GE(elapsed.load(), c.minMs);
        EXPECT_LT(elapsed.load(), c.maxMs);
    }
}

TEST(ComTread, DrainsInChunksOfAtMost100BeforeOneRefresh) {
    Link link;
    ASSERT_TRUE(link.ready());
    link.doc.holdNext();
    link.pty.write("A");
    ASSERT_TRUE(waitFor([&] { return link.doc.chunks().size() == 2; }));  // opening line + "A", held
    std::string burst;
    for (int i = 0; i < 250; ++i) burst += static_cast<char>('!' + i % 90);
    link.pty.write(burst);
    std::this_thread::sleep_for(100ms);  // the whole burst waits in the driver
    link.doc.release();
    ASSERT_TRUE(waitFor([&] { return link.doc.refreshes.load() >= 1; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(link.doc.chunks(), (std::vector<std::size_t>{link.opening.size(), 1, 100, 100, 50}));
    EXPECT_EQ(link.doc.refreshes.load(), 1);
    EXPECT_EQ(link.doc.text(), link.opening + "A" + burst);
}

TEST(ComTread, StopReceptionReturnsPromptlyWhileBlocked) {
    Link link;
    ASSERT_TRUE(link.ready());
    std::this_thread::sleep_for(20ms);  // the loop sits in poll()
    const auto t0 = Clock::now();
    link.com->StopReception();
    EXPECT_LT(msSince(t0), 100);
    EXPECT_FALSE(link.com->IsReceiving());
    link.pty.write("late");
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(link.doc.text(), link.opening);
}

TEST(ComTread, HungUpLineDoesNotSpinAndStillStops) {
    Link link;
    ASSERT_TRUE(link.ready());
    link.pty.closeMaster();
    timespec c0{}, c1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
    std::this_thread::sleep_for(300ms);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
    const double cpuMs = (c1.tv_sec - c0.tv_sec) * 1e3 + (c1.tv_nsec - c0.tv_nsec) / 1e6;
    EXPECT_LT(cpuMs, 100.0);  // a spinning loop would burn about 300 ms here
    const auto t0 = Clock::now();
    link.com->StopReception();
    EXPECT_LT(msSince(t0), 100);
}

TEST(ComTread, MissingDeviceReportsAndKeepsPauses) {
    FakeDocument doc;
    ComTread com(doc, "/nonexistent/ttyQ9", 0, {"Open port number %s\n", "Impossible to open !"});
    EXPECT_EQ(doc.text(), "Open port number /nonexistent/ttyQ9\nImpossible to open !");
    EXPECT_FALSE(com.IsOpen());
    com.Start();
    const auto t0 = Clock::now();
    std::atomic<int> ack{-1};
    com.SendString("ab");
    com.WriteBlockAck("blk", [&](bool a) { ack = a; });
    ASSERT_TRUE(com.WaitIdle(3000));
    EXPECT_GE(msSince(t0), 1020);  // two paced characters, then the full acknowledgement wait
    EXPECT_EQ(ack.load(), 0);
    com.StopReception();
    EXPECT_TRUE(doc.failedPorts().empty());
}

TEST(ComTread, RefusedSettingsReportOnceAndClose) {
    FakeDocument doc;
    ComTread com(doc, "/dev/null", 1);
    EXPECT_EQ(doc.text(), "Ouverture du port /dev/null\n");
    EXPECT_TRUE(com.IsOpen());
    com.Start();
    ASSERT_TRUE(waitFor([&] { return !com.IsOpen(); }));
    const auto t0 = Clock::now();
    com.StopReception();
    EXPECT_LT(msSince(t0), 100);
    EXPECT_EQ(doc.failedPorts(), std::vector<std::string>{"/dev/null"});
    EXPECT_FALSE(com.IsReceiving());
}

TEST(ComTread, DropAndDestructionForgetQueuedItems) {
    std::atomic<int> done{0};
    Pty pty;
    FakeDocument doc;
    auto com = std::make_unique<ComTread>(doc, pty.slave(), 1);
    com->Start();
    ASSERT_TRUE(waitFor([&] { return com->IsReceiving(); }));
    com->Pause(100);
    com->SendString("dropped", [&] { ++done; });
    com->DropPending();
    ASSERT_TRUE(com->WaitIdle(1000));
    EXPECT_EQ(pty.read(1, 50ms), "");

    com->SendString(std::string(200, 'z'), [&] { ++done; });  // about two seconds of pacing
    com->WriteBlockAck("blk", [&](bool) { ++done; });
    std::this_thread::sleep_for(30ms);
    const auto t0 = Clock::now();
    com.reset();  // destroyed mid-string: must not hang
    EXPECT_LT(msSince(t0), 200);
    EXPECT_EQ(done.load(), 0);
}
