// Operand parsing into addressing modes, and the words an operand adds to an instruction.
#include "engine/operand.h"

#include <cstring>
#include <string_view>

#include "driver/diagnostics.h"
#include "driver/run_context.h"
#include "engine/engine.h"
#include "engine/expression.h"

namespace qubrix {

namespace {

// An operand ends at a blank, a comma or the end of the line.
bool IsEnd(char c) { return IsBlank(c) || c == ',' || c == '\0'; }
bool IsReg07(char c) { return c >= '0' && c <= '7'; }

// "An" or "SP" at p: the register number, or -1.
int AddressRegisterAt(const char* p) {
    if (p[0] == 'A' && IsReg07(p[1])) return p[1] - '0';
    if (p[0] == 'S' && p[1] == 'P') return 7;
    return -1;
}

// The index part after the comma: "Xn)" or "Xn.W)" / "Xn.L)". Returns the position after the
// closing parenthesis, or null (0x401 raised) when the form is not one of these.
const char* ParseIndex(const char* p, Operand& op, ErreurAsm& err) {
    if (!((p[0] == 'A' || p[0] == 'D') && IsReg07(p[1]))) {
        err.NewErreur(kErrSyntax);
        return nullptr;
    }
    op.index = static_cast<uint8_t>((p[1] - '0') + (p[0] == 'A' ? 8 : 0));
    if (p[2] == ')') {
        op.indexSize = 2;
        return p + 3;
    }
    if (p[2] == '.' && (p[3] == 'W' || p[3] == 'L') && p[4] == ')') {
        op.indexSize = p[3] == 'W' ? 2 : 4;
        return p + 5;
    }
    err.NewErreur(kErrSyntax);
    return nullptr;
}

void Word(RunContext& ctx, uint32_t w) {
    if (ctx.pass2()) EmitValue(ctx, w & 0xFFFF, 2);
    ctx.advance(2);
}

}  // namespace

const char* ParseOperand(RunContext& ctx, const char* s, Operand& op, ErreurAsm& err) {
    op = Operand{};

    // #expression
    if (s[0] == '#') {
        bool known = true;
        const char* p = EvalExpression(ctx, s + 1, op.value, known, err);
        if (!p) return nullptr;
        op.known = known;
        if (err.LitCode() < 0x400 && !IsEnd(*p)) {
            err.NewErreur(kErrSyntax);
            return nullptr;
        }
        op.kind = kImm;
        return p;
    }
    // Dn, An
    if ((s[0] == 'D' || s[0] == 'A') && IsReg07(s[1]) && IsEnd(s[2])) {
        op.kind = s[0] == 'D' ? kDn : kAn;
        op.reg = static_cast<uint8_t>(s[1] - '0');
        return s + 2;
    }
    // SP
    if (s[0] == 'S' && s[1] == 'P' && IsEnd(s[2])) {
        op.kind = kAn;
        op.reg = 7;
        return s + 2;
    }
    // (An), (An)+, (An,Xn)
    if (s[0] == '(') {
        int r = AddressRegisterAt(s + 1);
        if (r >= 0) {
            op.reg = static_cast<uint8_t>(r);
            if (s[3] == ')' && IsEnd(s[4])) {
                op.kind = kAnInd;
                return s + 4;
            }
            if (s[3] == ')' && s[4] == '+') {
                op.kind = kPostInc;
                return s + 5;
            }
            if (s[3] == ',' && (s[4] == 'A' || s[4] == 'D') && IsReg07(s[5])) {
                op.kind = kIndex;
                op.value = 0;
                return ParseIndex(s + 4, op, err);
            }
            op.reg = 0;
        }
    }
    // -(An)
    if (s[0] == '-' && s[1] == '(') {
        int r = AddressRegisterAt(s + 2);
        if (r >= 0 && s[4] == ')') {
            op.kind = kPreDec;
            op.reg = static_cast<uint8_t>(r);
            return s + 5;
        }
    }
    // (PC), (PC,Xn): target address 0
    if (s[0] == '(' && s[1] == 'P' && s[2] == 'C') {
        if (s[3] == ')') {
            op.kind = kPcDisp;
            return s + 4;
        }
        if (s[3] == ',' && (s[4] == 'A' || s[4] == 'D') && IsReg07(s[5])) {
            op.kind = kPcIndex;
            return ParseIndex(s + 4, op, err);
        }
    }
    // Special registers.
    struct Special {
        const char* name;
        uint8_t len;
        uint32_t kind;
    };
    static constexpr Special kSpecials[] = {{"SR", 2, kSR},   {"CCR", 3, kCCR}, {"USP", 3, kUSP},
                                            {"SFC", 3, kSFC}, {"DFC", 3, kDFC}, {"VBR", 3, kVBR}};
    if (s[0] == 'S' || s[0] == 'C' || s[0] == 'U' || s[0] == 'D' || s[0] == 'V') {  // the names' initials
        for (const Special& sp : kSpecials) {
            if (std::strncmp(s, sp.name, sp.len) == 0 && IsEnd(s[sp.len])) {
                op.kind = sp.kind;
                return s + sp.len;
            }
        }
    }
    // expression, expression(An), expression(An,Xn), expression(PC), expression(PC,Xn)
    bool known = true;
    const char* p = EvalExpression(ctx, s, op.value, known, err);
    if (!p || err.LitCode() >= 0x400) return nullptr;
    op.known = known;
    if (IsEnd(*p)) {
        bool fitsShort = op.value >= -32768 && op.value <= 32767;
        op.kind = (!known || !fitsShort || ctx.longAbsolute) ? kAbsLong : kAbsShort;
        return p;
    }
    if (p[0] == '(') {
        int r = AddressRegisterAt(p + 1);
        if (r >= 0) {
            op.reg = static_cast<uint8_t>(r);
            if (p[3] == ')') {
                op.kind = kDisp;
                return p + 4;
            }
            if (p[3] == ',') {
                op.kind = kIndex;
                return ParseIndex(p + 4, op, err);
            }
        } else if (p[1] == 'P' && p[2] == 'C') {
            if (p[3] == ')') {
                op.kind = kPcDisp;
                return p + 4;
            }
            if (p[3] == ',') {
                op.kind = kPcIndex;
                return ParseIndex(p + 4, op, err);
            }
        }
    }
    err.NewErreur(kErrSyntax);
    return nullptr;
}

uint16_t EaField(const Operand& op) {
    switch (op.kind) {
    case kDn: return 0x00 | op.reg;
    case kAn: return 0x08 | op.reg;
    case kAnInd: return 0x10 | op.reg;
    case kPostInc: return 0x18 | op.reg;
    case kPreDec: return 0x20 | op.reg;
    case kDisp: return 0x28 | op.reg;
    case kIndex: return 0x30 | op.reg;
    case kAbsShort: return 0x38;
    case kAbsLong: return 0x39;
    case kPcDisp: return 0x3A;
    case kPcIndex: return 0x3B;
    case kImm: return 0x3C;
    default: return 0;  // the instruction table never sends another kind here
    }
}

void EmitExtension(RunContext& ctx, const Operand& op, int size, ErreurAsm& err) {
    const bool pass2 = ctx.pass2();
    switch (op.kind) {
    case kDn:
    case kAn:
    case kAnInd:
    case kPostInc:
    case kPreDec: return;
    case kDisp:
    case kPcDisp: {
        int32_t d = op.value;
        if (op.kind == kPcDisp)
            d = static_cast<int32_t>(static_cast<uint32_t>(op.value) - static_cast<uint32_t>(ctx.location()));
        if (pass2 && (d < -32768 || d > 32767)) err.NewErreur(kErrDisplacementRange);
        Word(ctx, static_cast<uint32_t>(d));
        return;
    }
    case kIndex:
    case kPcIndex: {
        int32_t d = op.value;
        if (op.kind == kPcIndex)
            d = static_cast<int32_t>(static_cast<uint32_t>(op.value) - static_cast<uint32_t>(ctx.location()));
        if (pass2 && (d < -128 || d > 127)) err.NewErreur(kErrDisplacementRange);
        //  15..12  11   10..8  7..0
        // [ Xn  ][W/L][ 000 ][ d8 ]
        uint32_t w =
            (uint32_t{op.index} << 12) | (op.indexSize == 4 ? 0x0800u : 0u) | (static_cast<uint32_t>(d) & 0xFF);
        Word(ctx, w);
        return;
    }
    case kAbsShort:
        if (pass2 && static_cast<uint32_t>(op.value) > 0xFFFF) err.NewErreur(kErrAbsShortRange);
        Word(ctx, static_cast<uint32_t>(op.value));
        return;
    case kAbsLong:
        if (pass2) EmitValue(ctx, static_cast<uint32_t>(op.value), 4);
        ctx.advance(4);
        return;
    case kImm:
        if (size == 4) {
            if (pass2) EmitValue(ctx, static_cast<uint32_t>(op.value), 4);
            ctx.advance(4);
        } else if (size == 1 || size == 8) {
            // Byte data sits in the low byte of one word; an S suffix (refused with 0x201)
            // is treated like B so that both passes agree on the length.
            if (pass2 && static_cast<uint32_t>(op.value) > 0xFF) err.NewErreur(kErrImmediate8);
            Word(ctx, static_cast<uint32_t>(op.value) & 0xFF);
        } else {
            if (pass2 && static_cast<uint32_t>(op.value) > 0xFFFF) err.NewErreur(kErrImmediate16);
            Word(ctx, static_cast<uint32_t>(op.value));
        }
        return;
    default: err.NewErreur(kErrInternalKind); return;
    }
}

const char* ParseRegisterList(RunContext& ctx, const char* s, uint16_t& mask, ErreurAsm& err) {
    mask = 0;
    auto isItem = [](const char* p) { return (p[0] == 'A' || p[0] == 'D') && IsReg07(p[1]); };
    auto number = [](const char* p) { return (p[1] - '0') + (p[0] == 'A' ? 8 : 0); };

    if (isItem(s) && (s[2] == ',' || s[2] == '/' || s[2] == '-' || IsBlank(s[2]) || s[2] == '\0')) {
        const char* p = s;
        for (;;) {
            if (!isItem(p)) {
                err.NewErreur(kErrSyntax);
                return nullptr;
            }
            int n = number(p);
            if (p[2] == '/') {
                mask |= static_cast<uint16_t>(1u << n);
                p += 3;
                continue;
            }
            if (p[2] == '-') {
                if (!isItem(p + 3)) {
                    err.NewErreur(kErrSyntax);
                    return nullptr;
                }
                int m = number(p + 3);
                char after = p[5];
                if (!(after == ',' || after == '/' || IsBlank(after) || after == '\0')) {
                    err.NewErreur(kErrSyntax);
                    return nullptr;
                }
                int lo = n < m ? n : m, hi = n < m ? m : n;
                for (int i = lo; i <= hi; ++i) mask |= static_cast<uint16_t>(1u << i);
                if (after == '/') {
                    p += 6;
                    continue;
                }
                return p + 5;
            }
            mask |= static_cast<uint16_t>(1u << n);
            return p + 2;
        }
    }

    if (!(IsLetter(s[0]) || s[0] == '.')) {
        err.NewErreur(kErrSyntax);
        return nullptr;
    }
    const char* p = s;
    while (IsNameChar(*p)) ++p;
    if (!(IsBlank(*p) || *p == ',' || *p == '\0')) {
        err.NewErreur(kErrSyntax);
        return nullptr;
    }
    std::size_t len = static_cast<std::size_t>(p - s);
    const SymbolRecord* rec = ctx.symbols.find(std::string_view(s, len < 16 ? len : 16));
    if (!rec) {
        err.NewErreur(kErrUndefinedSymbol);
    } else if (!ctx.pass2() || (rec->flags & SymbolRecord::kDefinedThisPass)) {
        if (!(rec->flags & SymbolRecord::kRegisterList))
            err.NewErreur(kErrNotRegisterList);
        else
            mask = static_cast<uint16_t>(rec->value & 0xFFFF);
    } else {
        err.NewErreur(kErrRegisterListUndefined);
    }
    return p;
}

}  // namespace qubrix
