// Pseudo-terminal, link, trace and the paced serving loop of the simulated module's line.
#include "line.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sched.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace korvan::sim {

namespace {

[[noreturn]] void throwErrno(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

constexpr std::size_t kChunk = 4096;
// While no program runs, input is not read once this much of the monitor's answer waits: it
// echoes what it reads, and a flood of commands must not pile up answers nobody takes.
constexpr std::size_t kBacklogLimit = 64 * 1024;
constexpr int kClosedPollMs = 20;  // how often a closed line is checked for a new opener

// Bytes waiting to be read from a descriptor.
bool inputWaiting(int fd) {
    int waiting = 0;
    return ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0;
}

// The line is served at a byte's notice: short turns on the processor let the server run as
// soon as it wakes rather than when a busy processor's current task has used up its turn.
// Kernels without per-task turn lengths, and refusals, leave things as they were.
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

timespec toTimespec(Clock::duration wait) {
    // Rounded up to the nanosecond, so that the next byte is due when ppoll returns.
    const auto ns = std::chrono::ceil<std::chrono::nanoseconds>(std::max(wait, Clock::duration::zero())).count();
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

FileDescriptor::~FileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
}

int FileDescriptor::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

PseudoTerminal::PseudoTerminal() {
    m_master = FileDescriptor(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m_master) throwErrno("posix_openpt");
    if (::grantpt(m_master.get()) != 0 || ::unlockpt(m_master.get()) != 0) throwErrno("unlockpt");
    char name[128];
    if (::ptsname_r(m_master.get(), name, sizeof name) != 0) throwErrno("ptsname");
    m_slavePath = name;
    const int flags = ::fcntl(m_master.get(), F_GETFL);
    if (flags < 0 || ::fcntl(m_master.get(), F_SETFL, flags | O_NONBLOCK) != 0) throwErrno("fcntl");

    // Raw mode on the slave: no echo, no line editing, no CR/LF translation, 8 bits. The
    // settings belong to the pair, so they hold for whoever opens the slave later.
    const FileDescriptor slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave) throwErrno(std::string("open ") + name);
    termios settings{};
    if (::tcgetattr(slave.get(), &settings) != 0) throwErrno("tcgetattr");
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B57600);
    ::cfsetospeed(&settings, B57600);
    if (::tcsetattr(slave.get(), TCSANOW, &settings) != 0) throwErrno("tcsetattr");
}

SymbolicLink::SymbolicLink(std::string path, std::string target)
    : m_path(std::move(path)), m_target(std::move(target)) {
    struct stat st {};
    if (::lstat(m_path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        throw std::runtime_error(m_path + " exists and is not a symbolic link; it is left alone");
    // Made under a temporary name and renamed over the old link, so the path never dangles.
    const std::string temporary = m_path + ".korvan-sim-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(m_target.c_str(), temporary.c_str()) != 0) throwErrno("symlink " + temporary);
    if (::rename(temporary.c_str(), m_path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        throwErrno("rename " + m_path);
    }
}

SymbolicLink::~SymbolicLink() {
    char buf[4096];
    const ssize_t n = ::readlink(m_path.c_str(), buf, sizeof buf);
    if (n >= 0 && std::string_view(buf, static_cast<std::size_t>(n)) == m_target) ::unlink(m_path.c_str());
}

Trace::Trace(const std::string& path) {
    m_file = std::fopen(path.c_str(), "ae");
    if (m_file == nullptr) throwErrno("open " + path);
}

Trace::~Trace() { std::fclose(m_file); }

void Trace::record(std::string_view direction, std::string_view bytes) {
    timeval tv{};
    ::gettimeofday(&tv, nullptr);
    tm local{};
    ::localtime_r(&tv.tv_sec, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    std::string text = stamp;
    char part[16];
    std::snprintf(part, sizeof part, ".%06ld ", static_cast<long>(tv.tv_usec));
    text += part;
    text += direction;
    for (char c : bytes) {
        std::snprintf(part, sizeof part, " %02X", static_cast<unsigned char>(c));
        text += part;
    }
    text += '\n';
    std::fputs(text.c_str(), m_file);
    std::fflush(m_file);
}

Pacer::Pacer(unsigned bitsPerSecond) {
    // Rounded up: the simulated line may be slower than the real one by a fraction of a
    // nanosecond a byte, never faster.
    if (bitsPerSecond > 0)
        m_byteTime = std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds((10'000'000'000LL + bitsPerSecond - 1) / bitsPerSecond));
}

void Pacer::begin(Clock::time_point from) {
    if (!m_idle) return;
    m_idle = false;
    m_start = std::max(from, crossed());
    m_count = 0;
}

std::size_t Pacer::available(Clock::time_point now, std::size_t wanted) const {
    if (!paced()) return wanted;
    if (m_idle || now < m_start) return 0;
    const auto crossed = static_cast<std::size_t>((now - m_start) / m_byteTime);
    return crossed > m_count ? std::min(crossed - m_count, wanted) : 0;
}

void Pacer::consumed(std::size_t count, bool more) {
    if (!paced()) return;
    m_count += count;
    if (!more) m_idle = true;
}

Clock::duration Pacer::wait(Clock::time_point now) const {
    if (!paced() || m_idle) return Clock::duration::zero();
    const Clock::time_point next = due();
    return next > now ? next - now : Clock::duration::zero();
}

LineServer::LineServer(PseudoTerminal& pty, Monitor& monitor, LineOptions options, Trace* trace)
    : m_pty(pty),
      m_monitor(monitor),
      m_options(options),
      m_trace(trace),
      m_rx(options.bitsPerSecond),
      m_tx(options.bitsPerSecond) {
    // Our own descriptor is opened before the watch starts, so that it is not counted.
    m_opens = FileDescriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (m_opens) m_slave = FileDescriptor(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!m_slave ||
        ::inotify_add_watch(m_opens.get(), pty.slavePath().c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        m_slave = FileDescriptor();
        m_opens = FileDescriptor();
    }
}

// Openers and closers of the slave since the last look.
void LineServer::checkOpens() {
    if (!m_opens) return;
    alignas(inotify_event) char buf[4096];
    bool opened = false, closed = false;
    ssize_t n;
    while ((n = ::read(m_opens.get(), buf, sizeof buf)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buf + at);
            if ((event->mask & IN_OPEN) != 0) {
                ++m_holders;
                opened = true;
            }
            if ((event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) != 0) {
                m_holders = std::max(m_holders - 1, 0);  // lost events must not leave it negative
                closed = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (closed && m_holders == 0) {
        // As a serial port whose last holder closed it: not exclusive, nothing stale queued.
        ::ioctl(m_slave.get(), TIOCNXCL);
        ::tcflush(m_slave.get(), TCIFLUSH);
    }
    if (opened || (closed && m_holders == 0)) {
        dropOutput();  // meant for a holder that is gone
        m_monitor.lineOpened();
    }
}

void LineServer::dropOutput() {
    m_pending.clear();
    m_monitor.takeOutput();
    m_tx.idle();
}

void LineServer::lineClosed() {
    m_open = false;
    m_rx.idle();
    dropOutput();
    m_monitor.lineOpened();  // greets the next opener with a banner, in command mode
}

// Returns false when the line turned out to be closed.
bool LineServer::readInput(Clock::time_point now, bool paced) {
    char buf[kChunk];
    if (paced) m_rx.begin(now);
    const std::size_t want = paced ? m_rx.available(now, sizeof buf) : sizeof buf;
    if (want == 0) return true;
    const ssize_t n = ::read(m_pty.master(), buf, want);
    if (n < 0) return errno == EAGAIN || errno == EINTR;  // EIO: nobody holds the slave any more
    if (n == 0) return false;
    const std::string_view bytes(buf, static_cast<std::size_t>(n));
    if (m_trace != nullptr) m_trace->record("in ", bytes);
    if (paced) m_rx.consumed(bytes.size(), inputWaiting(m_pty.master()));
    if (!m_options.silent) m_monitor.feed(bytes);
    return true;
}

// Output is taken from the monitor only as the line can send it, so that a running program's
// output waits in the machine's bounded buffer (and the program waits while it is full). An
// answer may start crossing when the byte it answers was through, however late the loop woke.
void LineServer::writeOutput(Clock::time_point now, Clock::time_point answerFrom) {
    if (m_slave && m_holders == 0) {  // nobody listens
        dropOutput();
        return;
    }
    if (m_pending.empty() && !m_monitor.hasOutput()) return;
    m_tx.begin(answerFrom);
    if (m_pending.empty()) m_pending = m_monitor.takeOutput(m_tx.available(now, kChunk));
    if (m_pending.empty()) return;
    const std::size_t count = m_tx.available(now, m_pending.size());
    if (count == 0) return;
    const ssize_t n = ::write(m_pty.master(), m_pending.data(), count);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR)
            m_tx.idle();  // nothing crossed meanwhile: what follows starts a burst of its own
        else
            lineClosed();
        return;
    }
    if (m_trace != nullptr) m_trace->record("out", std::string_view(m_pending).substr(0, static_cast<std::size_t>(n)));
    m_pending.erase(0, static_cast<std::size_t>(n));
    m_tx.consumed(static_cast<std::size_t>(n), !m_pending.empty() || m_monitor.hasOutput());
}

// While nobody holds the slave the master reports a hang-up; this waits for it to clear, a
// running program going on meanwhile. Returns false when asked to stop.
bool LineServer::waitForOpen(int stopFd) {
    pollfd stop{stopFd, POLLIN, 0};
    const bool busy = m_monitor.running() && !m_monitor.waiting();  // output is dropped below
    if (::poll(&stop, 1, busy ? 0 : kClosedPollMs) > 0 && (stop.revents & POLLIN) != 0) return false;
    if (m_monitor.running()) {
        m_monitor.service();
        dropOutput();  // nobody listens
    }
    pollfd master{m_pty.master(), POLLIN, 0};
    if (::poll(&master, 1, 0) >= 0 && (master.revents & (POLLHUP | POLLERR)) == 0) m_open = true;
    return true;
}

void LineServer::run(int stopFd) {
    if (m_options.bitsPerSecond > 0) askForShortTurns();
    const bool paced = m_options.bitsPerSecond > 0;
    m_monitor.lineOpened();
    // Without a slave descriptor of our own, the master reports a hang-up until someone opens
    // the slave (it was opened and closed once to set raw mode).
    m_open = static_cast<bool>(m_slave);
    for (;;) {
        if (!m_open) {
            if (!waitForOpen(stopFd)) return;
            continue;
        }
        Clock::time_point now = Clock::now();
        const Clock::duration rxWait = paced ? m_rx.wait(now) : Clock::duration::zero();
        const Clock::duration txWait = paced ? m_tx.wait(now) : Clock::duration::zero();
        pollfd fds[3] = {{stopFd, POLLIN, 0}, {m_pty.master(), 0, 0}, {m_opens.get(), POLLIN, 0}};
        // The time-out is the nearest due byte, to the nanosecond: a wake-up rounded to whole
        // milliseconds would leave the line idle for part of every one.
        std::optional<Clock::duration> timeout;
        const auto shorten = [&timeout](Clock::duration wait) { timeout = timeout ? std::min(*timeout, wait) : wait; };
        const bool takesInput = m_monitor.running() || m_monitor.backlog() < kBacklogLimit;
        if (!takesInput) m_rx.idle();  // what waits meanwhile crosses the line afterwards, at its pace
        if (rxWait == Clock::duration::zero())
            fds[1].events |= takesInput ? POLLIN : 0;
        else
            shorten(rxWait);
        if (!m_pending.empty() || m_monitor.hasOutput()) {
            if (txWait == Clock::duration::zero())
                fds[1].events |= POLLOUT;
            else
                shorten(txWait);
        }
        // A program waiting for a character sleeps until the line brings one, and a program
        // waiting for room for its output until the line has sent some.
        if (m_monitor.running() && !m_monitor.waiting() && !m_monitor.blocked()) timeout = Clock::duration::zero();

        const timespec limit = toTimespec(timeout.value_or(Clock::duration::zero()));
        if (::ppoll(fds, m_opens ? 3 : 2, timeout ? &limit : nullptr, nullptr) < 0) {
            if (errno == EINTR) continue;
            throwErrno("ppoll");
        }
        if ((fds[0].revents & POLLIN) != 0) return;
        now = Clock::now();
        checkOpens();  // before the bytes: the open was queued before the opener wrote them
        const short events = fds[1].revents;
        if ((events & (POLLHUP | POLLERR)) != 0) {
            // The last holder of the slave closed it: whatever it sent before is still taken.
            while (readInput(now, false) && !m_monitor.running()) {
                pollfd more{m_pty.master(), POLLIN, 0};
                if (::poll(&more, 1, 0) <= 0 || (more.revents & POLLIN) == 0) break;
            }
            lineClosed();
            continue;
        }
        const Clock::time_point before = m_rx.crossed();
        if ((events & POLLIN) != 0 && !readInput(now, paced)) {
            lineClosed();
            continue;
        }
        const Clock::time_point answerFrom = m_rx.crossed() != before ? m_rx.crossed() : now;
        if (m_monitor.running()) m_monitor.service();
        writeOutput(now, answerFrom);
    }
}

}  // namespace korvan::sim
