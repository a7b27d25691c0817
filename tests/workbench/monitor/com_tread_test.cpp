// Tests of the serial channel over a real pseudo-terminal: bytes both ways, pacing, acknowledgement,
// chunked draining, stopping, hang-up, missing device and refused settings.
#include "com_tread.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <fcntl.h>
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

#include "../../support/process.h"

using korvan::monitor::ComTread;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

long long msSince(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

template <class Pred> bool waitFor(Pred pred, std::chrono::milliseconds limit = 2000ms) {
    for (const auto until = Clock::now() + limit; !pred(); std::this_thread::sleep_for(2ms))
        if (Clock::now() > until) return false;
    return true;
}

// Records what the channel hands to the monitor document; can hold the next reception until
// released, so that more bytes pile up in the driver meanwhile.
struct FakeDocument : ComTread::Document {
    void ReceiveChars(const char* bytes, std::size_t count) override {
        std::unique_lock lock(mutex);
        text.append(bytes, count);
        chunks.push_back(count);
        cv.wait(lock, [this] { return !hold; });
    }
    void RefreshView() override { ++refreshes; }
    void LineLost() override { ++losses; }
    void ConfigureFailed(const std::string& port) override {
        std::lock_guard lock(mutex);
        failedPorts.push_back(port);
    }
    template <class T> T get(T FakeDocument::*field) {
        std::lock_guard lock(mutex);
        return this->*field;
    }
    void setHold(bool on) {
        {
            std::lock_guard lock(mutex);
            hold = on;
        }
        cv.notify_all();
    }

    std::mutex mutex;
    std::condition_variable cv;
    std::string text;
    std::vector<std::size_t> chunks;
    std::vector<std::string> failedPorts;
    bool hold = false;
    std::atomic<int> refreshes{0};
    std::atomic<int> losses{0};
};

// A started channel on the slave side of a fresh pseudo-terminal; the test plays the module
// on the master side.
struct Link {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    std::string slave = grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : "";
    FakeDocument doc;
    std::unique_ptr<ComTread> com = std::make_unique<ComTread>(doc, slave, 1);
    std::string opening = "Ouverture du port " + slave + "\n";

    Link() { com->Start(); }
    ~Link() {
        com.reset();
        closeMaster();
    }
    bool ready() {
        return waitFor([this] { return com->IsReceiving(); });
    }
    void closeMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }
    void send(const std::string& s) { ASSERT_EQ(::write(master, s.data(), s.size()), ssize_t(s.size())); }
    std::string received() { return doc.get(&FakeDocument::text).substr(opening.size()); }
    // What the channel sent, until `until` or the time is up.
    std::string read(std::string_view until, std::chrono::milliseconds limit = 2000ms) const {
        return korvan::test::Process::drain(master, limit, until);
    }
};

}  // namespace

TEST(ComTread, DevicePathMapsComNames) {
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"COM1", "/dev/ttyS0"}, {"COM4", "/dev/ttyS3"}, {"COM5", "COM5"}, {"com1", "com1"}, {"/dev/pts/7", "/dev/pts/7"}};
    for (const auto& [name, path] : cases) EXPECT_EQ(ComTread::DevicePath(name), path) << name;
}

// A command sent as soon as the channel starts is not lost to the purge that configuring the
// line performs: the sending thread waits for the line.
TEST(ComTread, CommandSentBeforeTheLineIsConfiguredArrives) {
    for (int i = 0; i < 20; ++i) {
        Link link;
        link.com->WriteBytes("ve\r");
        ASSERT_EQ(link.read("ve\r", 1000ms), "ve\r") << "attempt " << i;
    }
}

// A reception thread waiting for bytes takes no processor time. Bytes pass both ways
// untranslated; what goes out keeps its order, a write larger than the line's buffer whole, the
// paced characters at least 10 ms apart, without the caller ever waiting for the pauses. Dropped
// items never go out; reception stops at once when asked, and destroying the channel mid-string
// neither hangs nor runs what was queued. The line is held exclusively while the channel lives
// and given back when it goes, so that the next monitor window can open it again (a
// pseudo-terminal keeps the flag otherwise).
TEST(ComTread, BytesBothWaysPacingDroppingStoppingAndTheExclusiveLine) {
    Link link;
    ASSERT_TRUE(link.ready());
    timespec c0{}, c1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
    std::this_thread::sleep_for(300ms);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
    EXPECT_LT((c1.tv_sec - c0.tv_sec) * 1e3 + (c1.tv_nsec - c0.tv_nsec) / 1e6, 30.0);
    const int probe = ::open(link.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);  // root may still open it
    ASSERT_GE(probe, 0);
    int exclusive = -1;
    ASSERT_EQ(::ioctl(probe, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    EXPECT_EQ(link.com->DetectEnabled(), 1);
    link.send("ve\r\n>>->\x03\x7f");
    ASSERT_TRUE(waitFor([&] { return link.received().size() >= 10; }));
    EXPECT_EQ(link.received(), "ve\r\n>>->\x03\x7f");
    EXPECT_TRUE(waitFor([&] { return link.doc.refreshes.load() >= 1; }));
    std::string bulk = "a\r\nb\x11";
    for (int i = 0; bulk.size() < 200'000; ++i) bulk += std::to_string(i) + ' ';  // one write cannot take it all
    std::atomic<int> done{0};
    const auto t0 = Clock::now();
    link.com->SendString("0123456789", [&] { ++done; });
    link.com->WriteBytes(bulk);
    link.com->SendChar('c', [&] { ++done; });
    EXPECT_LT(msSince(t0), 20);
    EXPECT_TRUE(link.read(" c") == "0123456789" + bulk + "c");  // equal strings, without printing 200 kB
    ASSERT_TRUE(link.com->WaitIdle(2000));
    EXPECT_GE(msSince(t0), 110);  // 11 paced characters
    EXPECT_EQ(done.load(), 2);

    link.com->Pause(100);
    link.com->SendString("dropped", [&] { ++done; });
    link.com->DropPending();
    ASSERT_TRUE(link.com->WaitIdle(1000));
    EXPECT_EQ(link.read({}, 50ms), "");
    link.com->SendString(std::string(200, 'z'), [&] { ++done; });  // about two seconds of pacing
    link.com->WriteBlockAck("blk", [&](bool) { ++done; });
    std::this_thread::sleep_for(30ms);
    const auto t1 = Clock::now();
    link.com->StopReception();
    EXPECT_LT(msSince(t1), 100);
    EXPECT_FALSE(link.com->IsReceiving());
    link.com.reset();
    EXPECT_LT(msSince(t1), 200);
    EXPECT_EQ(done.load(), 2);
    ASSERT_EQ(::ioctl(probe, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(probe);
}

TEST(ComTread, AcknowledgementIsOnlyTheFirstByteOfAChunkWhileABlockWaits) {
    struct Case { const char* name; std::string before, reply; bool acknowledged; long long minMs, maxMs; };
    const std::vector<Case> cases = {
        {"dot first ends the wait at once", "", ".>>->", true, 0, 500},
        {"dot after an echo waits the full time", "", "x.", false, 1000, 1500},
        {"no answer waits the full time", "", "", false, 1000, 1500},
        {"dot while nothing waits sets nothing", ".", "", false, 1000, 1500},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Link link;
        ASSERT_TRUE(link.ready());
        link.send(c.before);
        ASSERT_TRUE(waitFor([&] { return link.received() == c.before; }));
        std::atomic<int> result{-1};
        std::atomic<long long> elapsed{0};
        const std::string block("\x00\x01\x00\x00\x00\x02\xAB\xCD", 8);
        const auto t0 = Clock::now();
        link.com->WriteBlockAck(block, [&](bool ack) {
            elapsed = msSince(t0);
            result = ack;
        });
        ASSERT_EQ(link.read(block), block);
        link.send(c.reply);
        ASSERT_TRUE(link.com->WaitIdle(3000));
        EXPECT_EQ(result.load(), c.acknowledged ? 1 : 0);
        EXPECT_GE(elapsed.load(), c.minMs);
        EXPECT_LT(elapsed.load(), c.maxMs);
    }
}

// What piles up in the driver while the document is busy is drained in chunks of at most 100
// bytes before one refresh. A block waits for those bytes to be read before it goes out, so the
// "." that answers it starts a chunk of its own and counts.
TEST(ComTread, DrainsInChunksOfAtMost100AndTheAcknowledgementAfterThem) {
    Link link;
    ASSERT_TRUE(link.ready());
    link.doc.setHold(true);
    link.send("A");
    ASSERT_TRUE(waitFor([&] { return link.doc.get(&FakeDocument::chunks).size() == 2; }));  // "A", held
    std::string burst;
    for (int i = 0; i < 250; ++i) burst += static_cast<char>('!' + i % 90);
    link.send(burst);
    std::this_thread::sleep_for(100ms);  // the whole burst waits in the driver
    std::atomic<int> ack{-1};
    link.com->WriteBlockAck("blk", [&](bool a) { ack = a; });
    std::thread release([&] {
        std::this_thread::sleep_for(100ms);
        link.doc.setHold(false);
    });
    EXPECT_EQ(link.read("blk"), "blk");
    link.send(".");
    release.join();
    ASSERT_TRUE(link.com->WaitIdle(3000));
    EXPECT_EQ(ack.load(), 1);
    ASSERT_TRUE(waitFor([&] { return link.doc.refreshes.load() >= 2; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(link.doc.get(&FakeDocument::chunks), (std::vector<std::size_t>{link.opening.size(), 1, 100, 100, 50, 1}));
    EXPECT_EQ(link.doc.refreshes.load(), 2);  // one for the burst, one for the "."
    EXPECT_EQ(link.received(), "A" + burst + ".");
}

TEST(ComTread, PortThatCannotBeUsedReportsAndKeepsThePauses) {
    struct Case {
        const char* name;
        std::string port, text;
        std::vector<std::string> failed;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"missing device", "/nonexistent/ttyQ9", "Open port number /nonexistent/ttyQ9\nImpossible to open !", {}},
        {"settings refused", "/dev/null", "Open port number /dev/null\n", {"/dev/null"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDocument doc;
        ComTread com(doc, c.port, 0, {"Open port number %s\n", "Impossible to open !"});
        EXPECT_EQ(doc.get(&FakeDocument::text), c.text);
        com.Start();
        EXPECT_TRUE(waitFor([&] { return !com.IsOpen(); }));
        const auto t0 = Clock::now();
        std::atomic<int> ack{-1};
        com.SendString("ab");
        com.WriteBlockAck("blk", [&](bool a) { ack = a; });
        ASSERT_TRUE(com.WaitIdle(3000));
        EXPECT_GE(msSince(t0), 1020);  // two paced characters, then the full acknowledgement wait
        EXPECT_EQ(ack.load(), 0);
        com.StopReception();
        EXPECT_EQ(doc.get(&FakeDocument::failedPorts), c.failed);
        EXPECT_FALSE(com.IsReceiving());
    }
}

// The module's end vanishing (the pseudo-terminal's master closed) is a lost line: said once in
// the terminal, the reception thread ends, the port is given back, and a block waiting for its
// acknowledgement gives up at once instead of waiting out its second.
TEST(ComTread, LostLineIsReportedOnceAndEndsTheAcknowledgementWait) {
    for (const bool blockWaiting : {false, true}) {
        SCOPED_TRACE(blockWaiting ? "block waiting" : "idle");
        Link link;
        ASSERT_TRUE(link.ready());
        std::atomic<int> ack{-1};
        std::atomic<long long> waited{0};
        const auto t0 = Clock::now();
        if (blockWaiting) {
            link.com->WriteBlockAck("blk", [&](bool a) {
                waited = msSince(t0);
                ack = a;
            });
            ASSERT_EQ(link.read("blk"), "blk");
        }
        link.closeMaster();
        ASSERT_TRUE(waitFor([&] { return !link.com->IsReceiving(); }));
        ASSERT_TRUE(link.com->WaitIdle(3000));
        EXPECT_TRUE(link.com->IsLineLost());
        EXPECT_FALSE(link.com->IsOpen());
        EXPECT_EQ(link.doc.losses.load(), 1);
        EXPECT_EQ(link.received(), "\r\nLiaison perdue avec le module (port " + link.slave + ").\r\n");
        if (blockWaiting) {
            EXPECT_EQ(ack.load(), 0);
            EXPECT_LT(waited.load(), 900);
        }
        link.com->WriteBytes("x");  // sending on a lost line does nothing, and says nothing more
        ASSERT_TRUE(link.com->WaitIdle(1000));
        EXPECT_EQ(link.doc.losses.load(), 1);
    }
}
