// What the debugger needs to know of a CPU32 instruction to step over calls, step out of a
// routine and plant breakpoints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace korvan::debug {

// BKPT #0: the CPU32 stops on it and the monitor takes over. A breakpoint is this word written
// over the first word of an instruction, always at an even address; the original word is put
// back when the breakpoint is removed or hit.
inline constexpr uint16_t kBkptWord = 0x4848;

inline constexpr bool CanPlantBreakpoint(uint32_t address) { return (address & 1u) == 0; }

// A BKPT #n word (n = 0..7).
inline constexpr bool IsBkpt(uint16_t word) { return (word & 0xFFF8u) == 0x4848u; }

enum class InstructionKind {
    Other,
    Call,    // JSR, BSR: step over runs to the next instruction
    Trap,    // TRAP #n, TRAPV, TRAPcc: may enter a handler that returns to the next instruction
    Return,  // RTS, RTD, RTR, RTE
    Link,    // LINK An,#d: opens a frame, the return address then sits at An + 4
    Unlink,  // UNLK An
};

struct InstructionInfo {
    InstructionKind kind = InstructionKind::Other;
    int length = 0;     // bytes, for Call, Trap, Return, Link and Unlink; 0 for Other or when the
                        // given bytes end before the words that decide the length
    int frameReg = -1;  // the address register of LINK and UNLK
};

// Classifies the instruction whose bytes (big-endian, as in memory) start at code.
InstructionInfo ClassifyInstruction(const uint8_t* code, std::size_t size);

// Step over: where the temporary breakpoint goes when the instruction at pc is a call or a
// trap (pc + its length); nothing when a single step does the job.
std::optional<uint32_t> StepOverTarget(uint32_t pc, const uint8_t* code, std::size_t size);

// What the debugger knows of the current routine when it stops, for step out.
struct FrameState {
    uint32_t pc = 0;
    uint32_t sp = 0;                       // A7
    uint32_t a[7] = {};                    // A0..A6
    InstructionInfo atPc;                  // the instruction at pc
    std::optional<uint32_t> routineStart;  // the routine's first address, when known (C)
    InstructionInfo atRoutineStart;        // the routine's first instruction
};

// The address of the memory long that holds the current routine's return address: at SP
// when pc is at the routine's first instruction or at a return; at An + 4 when the routine
// began with LINK An and pc is past it. Nothing when it cannot be told (a routine of
// unknown start that keeps no frame).
std::optional<uint32_t> ReturnAddressSlot(const FrameState& frame);

}  // namespace korvan::debug
