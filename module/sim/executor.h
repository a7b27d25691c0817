// The executor that runs downloaded code on the CPU32 core, with the monitor's vectors and services.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "machine.h"
#include "monitor.h"
#include "texts.h"

namespace cpu32 {
class Cpu;
}

namespace korvan::sim {

// The monitor's text for a stop on the given vector, from the exception frame on the
// supervisor stack (read through the machine, before the frame is removed).
std::string stopReason(Machine& machine, unsigned vector, Language language = Language::English);

class CpuExecutor final : public Executor {
public:
    explicit CpuExecutor(Language language = Language::English);
    ~CpuExecutor() override;
    CpuExecutor(const CpuExecutor&) = delete;
    CpuExecutor& operator=(const CpuExecutor&) = delete;

    Outcome step(Machine& machine) override;
    Outcome run(Machine& machine, std::uint32_t budget) override;
    void interrupted(Machine& machine) override;
    // Instructions executed so far, each one that took an exception included.
    std::uint64_t executed() const { return m_executed; }

private:
    class BusAdapter;
    void load(Machine& machine);
    void store(Machine& machine);
    // PC is in the monitor's area: performs the service or stops. Nothing when the program goes
    // on (the service is done and the frame removed). Without an exception there is no frame:
    // the program jumped there, and stops.
    std::optional<Outcome> enterMonitor(Machine& machine, bool byException);
    std::optional<Outcome> service(Machine& machine);
    // An output service finds the output buffer full: it is called again once there is room.
    std::optional<Outcome> waitForRoom(Machine& machine);
    // Whether PC is where a read service waits for its character (and forgets it).
    bool resumesService(const Machine& machine);

    std::unique_ptr<BusAdapter> m_bus;
    std::unique_ptr<cpu32::Cpu> m_cpu;
    Language m_language;  // of the stop reasons
    std::uint64_t m_executed = 0;
    std::optional<std::uint32_t> m_waitingAt;
    std::optional<std::uint32_t> m_stringAt;  // where a string written in parts goes on
};

}  // namespace korvan::sim
