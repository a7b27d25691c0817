// The simulated module's end of the line: a pseudo-terminal served at the pace of a serial line.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "monitor.h"

namespace korvan::sim {

using Clock = std::chrono::steady_clock;

// An owned file descriptor, closed on destruction.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    int get() const { return m_fd; }
    int release();
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// A pseudo-terminal pair whose slave is in raw mode: the slave is the module's serial port as
// the workbench sees it; the simulator talks through the master.
class PseudoTerminal {
public:
    // Throws std::system_error when no pseudo-terminal can be had.
    PseudoTerminal();
    int master() const { return m_master.get(); }
    const std::string& slavePath() const { return m_slavePath; }

private:
    FileDescriptor m_master;
    std::string m_slavePath;
};

// PATH as a symbolic link to a target for the lifetime of the object. An existing symbolic link
// at PATH is replaced; anything else there is left alone and refused. The link is removed at
// the end only when it still points at the target.
class SymbolicLink {
public:
    // Throws std::system_error (or std::runtime_error for a path held by something else).
    SymbolicLink(std::string path, std::string target);
    SymbolicLink(const SymbolicLink&) = delete;
    SymbolicLink& operator=(const SymbolicLink&) = delete;
    ~SymbolicLink();

private:
    std::string m_path;
    std::string m_target;
};

// One line per chunk received or sent: wall-clock time, direction, hex bytes. Appends and
// flushes every line so that a reader sees the conversation as it happens.
class Trace {
public:
    explicit Trace(const std::string& path);  // throws std::system_error
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;
    ~Trace();
    void record(std::string_view direction, std::string_view bytes);

private:
    std::FILE* m_file = nullptr;
};

// One direction of a serial line at a given speed, 10 bits a byte. Byte n of a burst is due when
// it would have crossed a real line: start + (n + 1) byte times. A burst starts when bytes are
// seen on an idle line and lasts while more wait, so a late wake-up is caught up (the bytes due
// meanwhile pass at once) while idle time is never saved up for a burst faster than the line.
class Pacer {
public:
    explicit Pacer(unsigned bitsPerSecond);  // 0: no pacing
    bool paced() const { return m_byteTime != Clock::duration::zero(); }
    // Bytes wait to cross the line since `from` (an answer, since the byte it answers crossed):
    // on an idle line a burst starts then, or when the line's last byte crossed if that is later.
    void begin(Clock::time_point from);
    // When the last byte that crossed was through (the start of time before any).
    Clock::time_point crossed() const { return m_start + m_byteTime * static_cast<Clock::rep>(m_count); }
    // How many of `wanted` bytes are due by now (all of them without pacing).
    std::size_t available(Clock::time_point now, std::size_t wanted) const;
    // `count` bytes crossed; `more`: others still wait, so the burst goes on. Without them the
    // line falls idle and the next bytes start a burst of their own.
    void consumed(std::size_t count, bool more);
    void idle() { m_idle = true; }  // nothing is taken from the line for now
    // How long until the next byte is due; zero when one is due now or the line is idle.
    Clock::duration wait(Clock::time_point now) const;

private:
    Clock::time_point due() const { return m_start + m_byteTime * static_cast<Clock::rep>(m_count + 1); }

    Clock::duration m_byteTime{};
    Clock::time_point m_start{};  // when the burst started
    std::size_t m_count = 0;      // bytes of the burst that crossed
    bool m_idle = true;
};

struct LineOptions {
    unsigned bitsPerSecond = 57600;
    bool silent = false;  // read everything, answer nothing
};

// Serves the monitor on the master side of the pseudo-terminal until stopFd becomes readable.
// Survives the other side closing and reopening the slave: the next opener is greeted as on a
// fresh line, and output meant for a holder that is gone is dropped. Openers and closers are
// seen through inotify on the slave (an open is queued before the opener can write a byte, so
// even a quick close and reopen is noticed), while the server holds a slave descriptor of its
// own: with it, it clears the exclusive-use flag that the last holder may have set, which on a
// pseudo-terminal would otherwise outlive that holder and refuse every later open. Without
// inotify, the master's hang-up tells when nobody holds the line.
class LineServer {
public:
    LineServer(PseudoTerminal& pty, Monitor& monitor, LineOptions options, Trace* trace);
    void run(int stopFd);

private:
    bool readInput(Clock::time_point now, bool paced);
    void writeOutput(Clock::time_point now, Clock::time_point answerFrom);
    void lineClosed();
    void dropOutput();
    bool waitForOpen(int stopFd);
    void checkOpens();

    PseudoTerminal& m_pty;
    Monitor& m_monitor;
    LineOptions m_options;
    Trace* m_trace;
    FileDescriptor m_opens;  // inotify on the slave, when available
    FileDescriptor m_slave;  // held while m_opens watches
    int m_holders = 0;       // descriptors of the slave open elsewhere
    Pacer m_rx;
    Pacer m_tx;
    std::string m_pending;  // taken from the monitor for the line, not yet written
    bool m_open = false;
};

}  // namespace korvan::sim
