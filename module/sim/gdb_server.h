// The simulated module behind GDB's remote protocol on a loopback TCP port.
#pragma once

#include <cstdint>

#include "line.h"
#include "machine.h"

namespace korvan::sim {

// Listens on 127.0.0.1 only (never another address) and serves one debugger at a time; a
// connection that arrives meanwhile is closed at once. Every debugger finds the module as it was
// handed over (reset, the program loaded, nothing run). While the program runs, its serial
// output goes to outputFd and what inputFd brings is its serial input; the connection is served
// between slices of the run, so that an interrupt from the debugger stops it.
class GdbServer {
public:
    // Port 0 takes any free port. Throws std::system_error when the port cannot be had.
    GdbServer(std::uint16_t port, const Machine& module);
    std::uint16_t port() const { return m_port; }
    // Serves debuggers until stopFd becomes readable.
    void run(int stopFd, int inputFd, int outputFd);

private:
    // One debugger's connection; false when stopFd ended it.
    bool serve(FileDescriptor client, int stopFd, int inputFd, int outputFd);

    const Machine& m_module;
    FileDescriptor m_listener;
    std::uint16_t m_port = 0;
};

}  // namespace korvan::sim
