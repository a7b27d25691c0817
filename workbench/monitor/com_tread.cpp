// The serial channel to the resident monitor: termios port, poll()-based reception, queued sending.
#include "com_tread.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstdio>

namespace korvan::monitor {

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kHangupNapMs = 20;    // a hung-up line keeps polling readable: nap instead of spinning
constexpr int kWritePollMs = 10;    // a full output buffer is retried at this rhythm
constexpr int kDrainLimitMs = 250;  // longest wait for the reception thread to read what came before a block

// A read or write error that means the line is gone rather than busy for a moment.
bool lineGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

// The channel's threads sleep until a byte or a request comes, and the next block waits on their
// answer: short turns on the processor let them run as soon as they wake rather than when a busy
// processor's current task has used up its turn. Kernels without per-task turn lengths, and
// refusals, leave things as they were.
void askForShortTurns() {
    struct {  // the kernel's sched_attr, first version
        uint32_t size, policy;
        uint64_t flags;
        int32_t nice;
        uint32_t priority;
        uint64_t runtime, deadline, period;
    } attr{};
    attr.size = sizeof attr;
    attr.policy = SCHED_OTHER;
    attr.nice = ::getpriority(PRIO_PROCESS, 0);
    attr.runtime = 100'000;  // ns, the shortest turn allowed
    ::syscall(SYS_sched_setattr, 0, &attr, 0);
}

std::string formatOpening(const std::string& text, const std::string& portName) {
    std::string line = text;
    if (const auto at = line.find("%s"); at != std::string::npos) line.replace(at, 2, portName);
    return line;
}
}  // namespace

ComTread::ComTread(Document& doc, std::string portName, int detectEnabled, Texts texts)
    : m_doc(doc), m_portName(std::move(portName)), m_detectEnabled(detectEnabled), m_texts(std::move(texts)) {
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) m_wakePipe[0] = m_wakePipe[1] = -1;

    const std::string opening = formatOpening(m_texts.opening, m_portName);
    m_doc.ReceiveStatus(opening.data(), opening.size());

    // Non-blocking so that the open does not wait for a carrier and a stalled line never
    // blocks the sending thread for good; no O_CREAT: only an existing device is opened.
    const int fd = ::open(DevicePath(m_portName).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_doc.ReceiveStatus(m_texts.cannotOpen.data(), m_texts.cannotOpen.size());
    } else {
        ::ioctl(fd, TIOCEXCL);  // nobody else may open the line while we hold it
        m_fd.store(fd);
    }
    m_sender = std::thread(&ComTread::SendLoop, this);
}

ComTread::~ComTread() {
    StopReception();
    {
        std::lock_guard lock(m_queueMutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_queueCv.notify_all();
    {
        std::lock_guard lock(m_ackMutex);  // pairs with the sender's predicate check
    }
    m_ackCv.notify_all();
    if (m_sender.joinable()) m_sender.join();
    ClosePort();
    for (int& end : m_wakePipe)
        if (end >= 0) ::close(end);
}

std::string ComTread::DevicePath(const std::string& portName) {
    if (portName.size() == 4 && portName.compare(0, 3, "COM") == 0 && portName[3] >= '1' && portName[3] <= '4')
        return "/dev/ttyS" + std::string(1, static_cast<char>(portName[3] - 1));
    return portName;
}

void ComTread::Start() {
    if (m_reception.joinable() || m_stopRequested.load()) return;
    m_reception = std::thread([this] {
        askForShortTurns();
        const bool configured = ConfigurePort();
        SettleLine();
        if (configured) ReceiveLoop();
    });
}

void ComTread::SettleLine() {
    std::lock_guard lock(m_queueMutex);
    m_lineSettled = true;
    m_queueCv.notify_all();
}

void ComTread::StopReception() {
    m_stopRequested.store(true);
    SettleLine();
    if (m_wakePipe[1] >= 0) {
        const char wake = 1;
        [[maybe_unused]] const auto written = ::write(m_wakePipe[1], &wake, 1);
    }
    if (m_reception.joinable() && m_reception.get_id() != std::this_thread::get_id()) m_reception.join();
}

bool ComTread::ConfigurePort() {
    const int fd = m_fd.load();
    if (fd < 0) return false;
    termios tio{};
    bool ok = ::tcgetattr(fd, &tio) == 0;
    if (ok) {
        // 57600 baud, 8 data bits, no parity, one stop bit, binary: no byte is translated,
        // swallowed or echoed. Flow control and the special characters stay as the port has them.
        cfsetispeed(&tio, B57600);
        cfsetospeed(&tio, B57600);
        tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB)) | CS8 | CREAD;
        tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | INPCK);
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tio.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN);
        ok = ::tcsetattr(fd, TCSANOW, &tio) == 0;
    }
    if (!ok) {
        ClosePort();
        m_doc.ConfigureFailed(m_portName);
        return false;
    }
    ::tcflush(fd, TCIOFLUSH);
    m_running.store(true);
    return true;
}

void ComTread::ReceiveLoop() {
    const int fd = m_fd.load();
    char buffer[kChunk];
    bool lost = false;
    while (!m_stopRequested.load() && !lost) {
        pollfd fds[2] = {{m_wakePipe[0], POLLIN, 0}, {fd, POLLIN, 0}};
        // Without a wake-up pipe the stop step can only be seen by polling with a time-out.
        if (::poll(fds, 2, m_wakePipe[0] >= 0 ? -1 : kHangupNapMs) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0) {
            // The stop step, or the sending thread after a failed write: back to the loop test.
            char drain[16];
            while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {}
            lost = m_writeFailed.load();
            continue;
        }
        if (fds[1].revents == 0) continue;
        bool any = false;
        for (std::size_t n; (n = ReadAvailable(buffer, kChunk)) > 0;) {
            any = true;
            m_doc.ReceiveChars(buffer, n);
            // Only the first byte of a chunk counts as the acknowledgement, and only while a
            // block waits for it: an echo followed by "." in the same chunk is no answer.
            if (buffer[0] == '.') {
                std::lock_guard lock(m_ackMutex);
                if (m_ackWanted) {
                    m_ackReceived = true;
                    m_ackCv.notify_all();
                }
            }
        }
        if (any) {
            m_doc.RefreshView();
            std::lock_guard lock(m_ackMutex);  // a block waiting for the input to be read goes on
            m_ackCv.notify_all();
        }
        // The other end hung up (a pseudo-terminal's master closed, a USB adapter pulled out) or
        // the device failed: what was waiting has been read, nothing more will come.
        lost = m_readFailed.load() || (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        if (!any && !lost) {
            // Readable with nothing to read: wait a little for the stop step instead of spinning.
            pollfd wake{m_wakePipe[0], POLLIN, 0};
            ::poll(&wake, 1, kHangupNapMs);
        }
    }
    if (lost && !m_stopRequested.load()) ReportLineLost();
    m_running.store(false);
}

void ComTread::ReportLineLost() {
    m_lineLost.store(true);
    {
        std::lock_guard lock(m_ackMutex);  // a block waiting for its acknowledgement gives up now
        m_ackCv.notify_all();
    }
    ClosePort();
    const std::string text = formatOpening(m_texts.lineLost, m_portName);
    m_doc.ReceiveStatus(text.data(), text.size());
    m_doc.RefreshView();
    m_doc.LineLost();
}

std::size_t ComTread::ReadAvailable(char* buffer, std::size_t max) {
    const int fd = m_fd.load();
    int waiting = 0;
    if (fd < 0 || max == 0) return 0;
    if (::ioctl(fd, FIONREAD, &waiting) != 0) {
        if (lineGone(errno)) m_readFailed.store(true);
        return 0;
    }
    if (waiting <= 0) return 0;
    const std::size_t n = std::min(static_cast<std::size_t>(waiting), max);
    const ssize_t got = ::read(fd, buffer, n);
    if (got < 0) {
        if (lineGone(errno))
            m_readFailed.store(true);
        else if (errno != EAGAIN && errno != EINTR)
            std::fputs("\nErreur de lecture", stderr);
        return 0;
    }
    if (got == 0) m_readFailed.store(true);  // end of file on a terminal: it was hung up
    return static_cast<std::size_t>(got);
}

bool ComTread::InputWaiting() {
    std::lock_guard lock(m_portMutex);
    const int fd = m_fd.load();
    int waiting = 0;
    return fd >= 0 && ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0;
}

void ComTread::ClosePort() {
    std::lock_guard lock(m_portMutex);
    const int fd = m_fd.exchange(-1);
    if (fd < 0) return;
    ::tcflush(fd, TCIOFLUSH);
    // A pseudo-terminal keeps the exclusive flag after its holder closed it; give the line back
    // so that the next monitor window (run by a user without special rights) can open it.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

// ---- sending ---------------------------------------------------------------------------------

void ComTread::SendChar(char ch, std::function<void()> done) {
    Enqueue({Item::Kind::Chars, std::string(1, ch), 0, std::move(done), {}});
}

void ComTread::SendString(std::string s, std::function<void()> done) {
    Enqueue({Item::Kind::Chars, std::move(s), 0, std::move(done), {}});
}

void ComTread::WriteBytes(std::string bytes, std::function<void()> done) {
    Enqueue({Item::Kind::Bytes, std::move(bytes), 0, std::move(done), {}});
}

void ComTread::WriteBlockAck(std::string block, std::function<void(bool)> done) {
    Enqueue({Item::Kind::BlockAck, std::move(block), 0, {}, std::move(done)});
}

void ComTread::Pause(int ms, std::function<void()> done) { Enqueue({Item::Kind::Pause, {}, ms, std::move(done), {}}); }

void ComTread::DropPending() {
    std::lock_guard lock(m_queueMutex);
    m_queue.clear();
    m_queueCv.notify_all();
}

bool ComTread::WaitIdle(int timeoutMs) {
    std::unique_lock lock(m_queueMutex);
    return m_queueCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_queue.empty() && !m_busy; });
}

void ComTread::Enqueue(Item item) {
    {
        std::lock_guard lock(m_queueMutex);
        if (Stopping()) return;
        m_queue.push_back(std::move(item));
    }
    m_queueCv.notify_all();
}

void ComTread::SendLoop() {
    askForShortTurns();
    std::unique_lock lock(m_queueMutex);
    for (;;) {
        m_queueCv.wait(lock, [this] { return Stopping() || (m_lineSettled && !m_queue.empty()); });
        if (Stopping()) return;
        Item item = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        RunItem(item);
        lock.lock();
        m_busy = false;
        m_queueCv.notify_all();
    }
}

bool ComTread::SleepUnlessStopping(int ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock lock(m_queueMutex);
    return !m_queueCv.wait_until(lock, until, [this] { return Stopping(); });
}

void ComTread::RunItem(Item& item) {
    switch (item.kind) {
    case Item::Kind::Chars:
        // Each character is followed by its pause so that the monitor can echo and process it;
        // the write result is not looked at: a dead line only leaves the pauses.
        for (char ch : item.data) {
            WriteAll(&ch, 1);
            if (!SleepUnlessStopping(kCharPauseMs)) return;
        }
        break;
    case Item::Kind::Bytes: WriteAll(item.data.data(), item.data.size()); break;
    case Item::Kind::Pause:
        if (!SleepUnlessStopping(item.pauseMs)) return;
        break;
    case Item::Kind::BlockAck: {
        // What arrived before the block (a late echo of "LO") is read first, so that the answer
        // to the block starts a chunk of its own even when the reception thread lags behind. The
        // reception thread says when it has read a burst, so this costs no more than the reading.
        {
            std::unique_lock lock(m_ackMutex);
            m_ackCv.wait_until(lock, Clock::now() + std::chrono::milliseconds(kDrainLimitMs),
                               [this] { return Stopping() || m_lineLost.load() || !InputWaiting(); });
            if (Stopping()) return;
            m_ackWanted = true;
            m_ackReceived = false;
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(kAckTimeoutMs);
        WriteAll(item.data.data(), item.data.size());
        bool acknowledged = false;
        {
            std::unique_lock lock(m_ackMutex);
            m_ackCv.wait_until(lock, deadline, [this] { return m_ackReceived || Stopping() || m_lineLost.load(); });
            acknowledged = m_ackReceived;
            m_ackWanted = false;
            m_ackReceived = false;
        }
        if (Stopping()) return;
        if (item.ackDone) item.ackDone(acknowledged);
        return;
    }
    }
    if (item.done && !Stopping()) item.done();
}

bool ComTread::WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
        {
            std::lock_guard lock(m_portMutex);
            const int fd = m_fd.load();
            if (fd < 0) return false;
            const ssize_t n = ::write(fd, data, size);
            if (n > 0) {
                data += n;
                size -= static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                if (lineGone(errno) && !m_writeFailed.exchange(true) && m_wakePipe[1] >= 0) {
                    // The reception thread reports the loss (it alone talks to the document).
                    const char wake = 2;
                    [[maybe_unused]] const auto written = ::write(m_wakePipe[1], &wake, 1);
                }
                return false;
            }
            pollfd out{fd, POLLOUT, 0};
            ::poll(&out, 1, kWritePollMs);
        }
        if (Stopping()) return false;
    }
    return true;
}

}  // namespace korvan::monitor
