// Instruction lengths of the control-flow instructions, from their opcode words and, for the
// indexed modes, the extension word.
#include "instruction.h"

namespace korvan::debug {
namespace {

uint16_t WordAt(const uint8_t* code, std::size_t offset) {
    return static_cast<uint16_t>(code[offset] << 8 | code[offset + 1]);
}

// Bytes taken by an indexed mode's extension words, from the first of them:
//   brief  D/A REG W/L SCALE 0 DISP8                   (bit 8 clear): one word
//   full   D/A REG W/L SCALE 1 BS IS BDSIZE 0 I/IS     (bit 8 set): one word, the base
//          displacement (BDSIZE 1 none, 2 word, 3 long), the outer displacement (I/IS low
//          bits 2 word, 3 long).
int IndexExtensionLength(uint16_t ext) {
    if ((ext & 0x0100u) == 0) return 2;
    int length = 2;
    switch ((ext >> 4) & 3u) {
    case 0: return 0;  // reserved
    case 2: length += 2; break;
    case 3: length += 4; break;
    default: break;
    }
    switch (ext & 3u) {
    case 2: length += 2; break;
    case 3: length += 4; break;
    default: break;
    }
    return length;
}

// Length of a JSR: the opcode word and the extension words of its control mode; 0 when the
// mode is not a control mode or the bytes end too early.
int JsrLength(const uint8_t* code, std::size_t size, uint16_t op) {
    const unsigned mode = (op >> 3) & 7u;
    const unsigned reg = op & 7u;
    int ext;
    switch (mode) {
    case 2: ext = 0; break;   // (An)
    case 5: ext = 2; break;   // (d16,An)
    case 6: ext = -1; break;  // (d8,An,Xn) and (bd,An,Xn)
    case 7:
        if (reg == 0)
            ext = 2;  // abs.W
        else if (reg == 1)
            ext = 4;  // abs.L
        else if (reg == 2)
            ext = 2;  // (d16,PC)
        else if (reg == 3)
            ext = -1;  // (d8,PC,Xn) and (bd,PC,Xn)
        else
            return 0;
        break;
    default: return 0;
    }
    if (ext < 0) {
        if (size < 4) return 0;
        ext = IndexExtensionLength(WordAt(code, 2));
        if (ext == 0) return 0;
    }
    return 2 + ext;
}

}  // namespace

InstructionInfo ClassifyInstruction(const uint8_t* code, std::size_t size) {
    InstructionInfo info;
    if (!code || size < 2) return info;
    const uint16_t op = WordAt(code, 0);
    if ((op & 0xFFC0u) == 0x4E80u) {  // JSR <ea>
        info.kind = InstructionKind::Call;
        info.length = JsrLength(code, size, op);
    } else if ((op & 0xFF00u) == 0x6100u) {  // BSR: 8-bit, 16-bit (00) or 32-bit (FF) displacement
        info.kind = InstructionKind::Call;
        const unsigned disp = op & 0xFFu;
        info.length = disp == 0 ? 4 : disp == 0xFF ? 6 : 2;
    } else if ((op & 0xFFF0u) == 0x4E40u || op == 0x4E76u) {  // TRAP #n, TRAPV
        info.kind = InstructionKind::Trap;
        info.length = 2;
    } else if ((op & 0xF0F8u) == 0x50F8u && (op & 7u) >= 2 && (op & 7u) <= 4) {
        // TRAPcc: 010 word operand, 011 long operand, 100 none
        info.kind = InstructionKind::Trap;
        info.length = (op & 7u) == 2 ? 4 : (op & 7u) == 3 ? 6 : 2;
    } else if (op == 0x4E75u || op == 0x4E73u || op == 0x4E77u) {  // RTS, RTE, RTR
        info.kind = InstructionKind::Return;
        info.length = 2;
    } else if (op == 0x4E74u) {  // RTD #d
        info.kind = InstructionKind::Return;
        info.length = 4;
    } else if ((op & 0xFFF8u) == 0x4E50u || (op & 0xFFF8u) == 0x4808u) {  // LINK.W, LINK.L
        info.kind = InstructionKind::Link;
        info.length = (op & 0xFFF8u) == 0x4E50u ? 4 : 6;
        info.frameReg = op & 7;
    } else if ((op & 0xFFF8u) == 0x4E58u) {  // UNLK An
        info.kind = InstructionKind::Unlink;
        info.length = 2;
        info.frameReg = op & 7;
    }
    if (info.length > static_cast<int>(size)) info.length = 0;  // its words are not all there
    return info;
}

std::optional<uint32_t> StepOverTarget(uint32_t pc, const uint8_t* code, std::size_t size) {
    const InstructionInfo info = ClassifyInstruction(code, size);
    if ((info.kind != InstructionKind::Call && info.kind != InstructionKind::Trap) || info.length == 0)
        return std::nullopt;
    return pc + static_cast<uint32_t>(info.length);
}

std::optional<uint32_t> ReturnAddressSlot(const FrameState& frame) {
    if (frame.atPc.kind == InstructionKind::Return) return frame.sp;
    if (!frame.routineStart) return std::nullopt;
    if (frame.pc == *frame.routineStart) return frame.sp;
    const InstructionInfo& first = frame.atRoutineStart;
    // Past the LINK, up to and including its UNLK (after which the return is next).
    if (first.kind == InstructionKind::Link && first.frameReg >= 0 && first.frameReg < 7 &&
        frame.pc >= *frame.routineStart + static_cast<uint32_t>(first.length))
        return frame.a[first.frameReg] + 4;
    return std::nullopt;
}

}  // namespace korvan::debug
