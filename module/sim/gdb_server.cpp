// The GDB server's socket side: a loopback listener, one connection at a time, the run in slices.
#include "gdb_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

#include "executor.h"
#include "gdb_stub.h"
#include "headless.h"

namespace korvan::sim {

namespace {

// Instructions per slice: the connection and the input are looked at between slices.
constexpr std::uint32_t kSlice = 1u << 16;
// An instruction writes at most one byte, so a slice never finds this buffer full.
constexpr std::size_t kOutputCapacity = kSlice;
constexpr int kChunksPerRound = 16;     // reads from the debugger before the program goes on
constexpr timeval kSendTimeout{10, 0};  // a debugger that stops reading is dropped

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

// All of it, or false when the other side is gone (or stopped reading).
bool writeAll(int fd, std::string_view bytes, bool socket) {
    while (!bytes.empty()) {
        const ssize_t n =
            socket ? ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) : ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

GdbServer::GdbServer(std::uint16_t port, const Machine& module) : m_module(module) {
    m_listener = FileDescriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!m_listener) fail("socket");
    const int on = 1;
    ::setsockopt(m_listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(m_listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        fail(("cannot listen on 127.0.0.1:" + std::to_string(port)).c_str());
    if (::listen(m_listener.get(), 1) != 0) fail("listen");
    socklen_t length = sizeof address;
    if (::getsockname(m_listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) fail("getsockname");
    m_port = ntohs(address.sin_port);
}

void GdbServer::run(int stopFd, int inputFd, int outputFd) {
    for (;;) {
        pollfd fds[2] = {{stopFd, POLLIN, 0}, {m_listener.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            fail("poll");
        }
        if (fds[0].revents != 0) return;
        if (fds[1].revents == 0) continue;
        FileDescriptor client(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!client) continue;
        if (!serve(std::move(client), stopFd, inputFd, outputFd)) return;
    }
}

bool GdbServer::serve(FileDescriptor client, int stopFd, int inputFd, int outputFd) {
    const int on = 1;
    ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(client.get(), SOL_SOCKET, SO_SNDTIMEO, &kSendTimeout, sizeof kSendTimeout);

    Machine machine = m_module;
    machine.setOutputCapacity(kOutputCapacity);
    CpuExecutor executor;
    GdbStub stub(machine, executor);
    bool inputEnded = false;
    for (;;) {
        if (!machine.serialOut().empty()) {
            writeAll(outputFd, machine.serialOut(), false);
            machine.serialOut().clear();
        }
        if (const std::string reply = stub.takeOutput(); !reply.empty() && !writeAll(client.get(), reply, true))
            stub.disconnected();
        if (stub.closing()) return true;

        const bool reading = stub.running() && !inputEnded;
        const bool busy = stub.running() && (!stub.waiting() || !machine.serialIn().empty());
        pollfd fds[4] = {{stopFd, POLLIN, 0},
                         {client.get(), POLLIN, 0},
                         {m_listener.get(), POLLIN, 0},
                         {reading ? inputFd : -1, POLLIN, 0}};
        if (::poll(fds, 4, busy ? 0 : -1) < 0) {
            if (errno == EINTR) continue;
            fail("poll");
        }
        if (fds[0].revents != 0) return false;
        // What the debugger sent, its end included; looked at too when another debugger knocks,
        // since one that follows the last one at once comes after that one's end.
        if (fds[1].revents != 0 || fds[2].revents != 0) {
            for (int chunk = 0; chunk < kChunksPerRound; ++chunk) {
                char buf[4096];
                const ssize_t n = ::recv(client.get(), buf, sizeof buf, MSG_DONTWAIT);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
                if (n <= 0) {
                    stub.disconnected();
                    return true;
                }
                stub.feed(std::string_view(buf, static_cast<std::size_t>(n)));
            }
        }
        // Another debugger while this one is served: refused by closing its connection.
        if (fds[2].revents != 0) {
            const FileDescriptor other(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        }
        if (fds[3].revents != 0) inputEnded = !takeInput(inputFd, machine, false);
        if (stub.running() && (!stub.waiting() || !machine.serialIn().empty())) stub.service(kSlice);
    }
}

}  // namespace korvan::sim
