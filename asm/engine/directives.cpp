// Directive handlers. Those whose effect on the location must be the same in both passes
// (ORG, EQU, SET, DCB, DS) refuse operands that use symbols defined further down.
#include "engine/directives.h"

#include <cstring>
#include <string>

#include "driver/diagnostics.h"
#include "driver/run_context.h"
#include "engine/encoders.h"
#include "engine/engine.h"
#include "engine/expression.h"
#include "engine/instruction_table.h"
#include "engine/operand.h"

namespace qubrix {

namespace {

// A DCB that would lay down more than the CPU32's 16 MiB address space is refused as an
// invalid block length instead of writing gigabytes of records.
constexpr int64_t kMaxBlockBytes = 0x1000000;
constexpr std::size_t kSectionNameMax = 7;

bool EndOfField(char c) { return IsBlank(c) || c == '\0'; }

void NoSuffix(int size, ErreurAsm& err) {
    if (size != kSizeNone) err.NewErreur(kErrInvalidSize);
}

// DC, DCB and DS: B, W or L; none means W; S is refused and taken as W.
int DataSize(int size, ErreurAsm& err) {
    if (size == kSizeNone) return kSizeW;
    if (size == kSizeS) {
        err.NewErreur(kErrInvalidSize);
        return kSizeW;
    }
    return size;
}

void RestartListing(RunContext& ctx) {
    if (ctx.pass2()) ctx.listing.startLine(static_cast<uint32_t>(ctx.location()));
}

// Words and long words start at even addresses; then the label takes the location.
void AlignAndLabel(RunContext& ctx, int size, std::string_view label, ErreurAsm& err) {
    if ((size == kSizeW || size == kSizeL) && (ctx.location() & 1)) {
        ctx.advance(1);
        RestartListing(ctx);
    }
    if (!label.empty()) ctx.symbols.define(label, ctx.location(), ctx.pass, err);
}

// After the last operand only a blank (then a comment) or the end of the line may follow.
bool EndOfOperand(const char* p, ErreurAsm& err) {
    if (EndOfField(*p)) return true;
    err.NewErreur(kErrSyntax);
    return false;
}

// A value that must be known: a forward reference gives 0x306 and the directive stops.
bool RequireKnown(bool known, ErreurAsm& err) {
    if (!known && err.LitCode() < 0x400) {
        err.NewErreur(kErrNotKnown);
        return false;
    }
    return true;
}

bool Empty(const char* operands, ErreurAsm& err) {
    if (*operands != '\0') return false;
    err.NewErreur(kErrSyntax);
    return true;
}

void EmitData(RunContext& ctx, uint32_t value, int size) {
    if (ctx.pass2()) EmitValue(ctx, value, size);
    ctx.advance(size);
}

// Shows the value of an equate in the listing line.
void ListEquate(RunContext& ctx, int32_t value) {
    if (ctx.pass2() && ctx.listing.on) ctx.listing.addEquate(static_cast<uint32_t>(value));
}

// ORG, EQU and SET: no suffix, one expression whose value must be known. Null when the
// directive stops there.
const char* KnownOperand(RunContext& ctx, int size, const char* operands, int32_t& value, ErreurAsm& err) {
    NoSuffix(size, err);
    if (Empty(operands, err)) return nullptr;
    bool known = true;
    const char* p = EvalExpression(ctx, operands, value, known, err);
    if (!p || !RequireKnown(known, err)) return nullptr;
    return p;
}

// DCB and DS: data size, alignment and label, then a count whose value must be known. Null
// when the directive stops there.
const char* KnownCount(RunContext& ctx, int& size, std::string_view label, const char* operands, int32_t& count,
                       ErreurAsm& err) {
    size = DataSize(size, err);
    AlignAndLabel(ctx, size, label, err);
    bool known = true;
    const char* p = EvalExpression(ctx, operands, count, known, err);
    if (!p || !RequireKnown(known, err)) return nullptr;
    return p;
}

}  // namespace

void DirOrg(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err) {
    int32_t value = 0;
    const char* p = KnownOperand(ctx, size, operands, value, err);
    if (!p) return;
    if (err.LitCode() >= 0x300 || !EndOfOperand(p, err)) return;
    if (value & 1) {
        err.NewErreur(kErrOddOrigin);
        value = static_cast<int32_t>(static_cast<uint32_t>(value) + 1);
    }
    ctx.sections->setAbsolute(value);
    if (!label.empty()) ctx.symbols.define(label, ctx.location(), ctx.pass, err);
    RestartListing(ctx);
}

void DirEnd(RunContext& ctx, int size, std::string_view, const char*, ErreurAsm& err) {
    NoSuffix(size, err);
    ctx.endFlag = true;
}

void DirEqu(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err) {
    int32_t value = 0;
    const char* p = KnownOperand(ctx, size, operands, value, err);
    if (!p) return;
    if (err.LitCode() >= 0x300) {
        err.NewErreur(kErrSyntax);
        return;
    }
    if (!EndOfOperand(p, err)) return;
    if (label.empty()) {
        err.NewErreur(kErrLabelRequired);
        return;
    }
    ctx.symbols.define(label, value, ctx.pass, err);
    if (err.LitCode() < 0x200) ListEquate(ctx, value);
}

void DirSet(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err) {
    int32_t value = 0;
    const char* p = KnownOperand(ctx, size, operands, value, err);
    if (!p) return;
    if (err.LitCode() >= 0x300 || !EndOfOperand(p, err)) return;
    if (label.empty()) {
        err.NewErreur(kErrLabelRequired);
        return;
    }
    ErreurAsm priv;
    SymbolRecord* rec = ctx.symbols.find(label);
    if (rec && !(rec->flags & SymbolRecord::kSet)) {
        err.NewErreur(kErrMultipleDefinition);
        return;
    }
    if (!rec) rec = ctx.symbols.findOrCreate(label, true, priv);
    rec->value = value;
    rec->flags |= SymbolRecord::kSet;
    if (ctx.pass2()) rec->flags |= SymbolRecord::kDefinedThisPass;
    ListEquate(ctx, value);
}

void DirDc(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err) {
    size = DataSize(size, err);
    AlignAndLabel(ctx, size, label, err);
    if (Empty(operands, err)) return;

    const char* p = operands;
    for (;;) {
        if (*p == '\'') {
            // Characters packed into units of the data size, first character highest; a
            // last partial unit is filled with zero bytes on the right.
            ++p;
            uint32_t unit = 0;
            int filled = 0;
            bool closed = false;
            while (*p != '\0') {
                if (*p == '\'') {
                    if (p[1] != '\'') {
                        closed = true;
                        ++p;
                        break;
                    }
                    ++p;  // a doubled quote stands for one quote character
                }
                unit = (unit << 8) | static_cast<unsigned char>(*p);
                ++p;
                if (++filled == size) {
                    EmitData(ctx, unit, size);
                    unit = 0;
                    filled = 0;
                }
            }
            if (filled > 0) EmitData(ctx, unit << (8 * (size - filled)), size);
            if (!closed || !(*p == ',' || EndOfField(*p))) {
                err.NewErreur(kErrSyntax);
                return;
            }
        } else {
            int32_t value = 0;
            bool known = true;
            const char* q = EvalExpression(ctx, p, value, known, err);
            if (!q || err.LitCode() > 0x400) return;
            p = q;
            if (!(*p == ',' || EndOfField(*p))) {
                err.NewErreur(kErrSyntax);
                return;
            }
            if (ctx.pass2()) {
                if (size == kSizeB && (value < -128 || value > 255)) err.NewErreur(kErrImmediate8);
                if (size == kSizeW && (value < -32768 || value > 65535)) err.NewErreur(kErrImmediate16);
            }
            EmitData(ctx, static_cast<uint32_t>(value), size);
        }
        if (*p == ',' && p[1] != '\0') {
            ++p;
            continue;
        }
        break;
    }
    if (!EndOfOperand(p, err)) return;
    ctx.sections->evenOut();
}

void DirDcb(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err) {
    int32_t count = 0;
    const char* p = KnownCount(ctx, size, label, operands, count, err);
    if (!p) return;
    if (err.LitCode() <= 0x400) {
        if (*p != ',') {
            err.NewErreur(kErrSyntax);
            return;
        }
        if (count < 0 || int64_t{count} * size > kMaxBlockBytes) {
            err.NewErreur(kErrNegativeLength);
            ctx.sections->evenOut();
            return;
        }
        int32_t fill = 0;
        bool fillKnown = true;
        const char* q = EvalExpression(ctx, p + 1, fill, fillKnown, err);
        if (q && err.LitCode() < 0x400 && EndOfOperand(q, err)) {
            if (!ctx.pass2()) {
                ctx.advance(count * size);
            } else {
                // The repeated values go to the object file only, not to the listing.
                for (int32_t i = 0; i < count; ++i) {
                    if (ctx.objectEnabled && ctx.obj.isOpen() &&
                        !ctx.obj.output(static_cast<uint32_t>(ctx.location()), static_cast<uint32_t>(fill), size))
                        ctx.internalFault = true;
                    ctx.advance(size);
                }
            }
        }
    }
    ctx.sections->evenOut();
}

void DirDs(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err) {
    int32_t count = 0;
    const char* p = KnownCount(ctx, size, label, operands, count, err);
    if (!p) return;
    if (err.LitCode() <= 0x400) {
        if (!EndOfOperand(p, err)) return;
        if (count < 0) {
            err.NewErreur(kErrNegativeLength);
            return;
        }
        ctx.advance(static_cast<int32_t>(static_cast<uint32_t>(count) * static_cast<uint32_t>(size)));
        ctx.sections->evenOut();
    }
}

void DirSection(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err) {
    NoSuffix(size, err);
    if (Empty(operands, err)) return;
    const char* end = operands;
    while (!EndOfField(*end)) ++end;
    std::size_t len = static_cast<std::size_t>(end - operands);
    std::string name(operands, len < kSectionNameMax ? len : kSectionNameMax);
    if (name == "CODE")
        name = "9";
    else if (name == "VAR")
        name = "15";
    if (!ctx.sections->select(name)) {
        err.NewErreur(kErrNotKnown);
        return;
    }
    if (!label.empty()) ctx.symbols.define(label, ctx.location(), ctx.pass, err);
}

void DirReg(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err) {
    NoSuffix(size, err);
    if (Empty(operands, err)) return;
    uint16_t mask = 0;
    const char* end = ParseRegisterList(ctx, operands, mask, err);
    if (err.LitCode() >= 0x400 || !EndOfOperand(end, err)) return;
    if (label.empty()) {
        err.NewErreur(kErrLabelRequired);
        return;
    }
    ErreurAsm priv;
    SymbolRecord* rec = ctx.symbols.define(label, mask, ctx.pass, priv);
    err.NewErreur(priv.LitCode());
    if (rec && priv.LitCode() < 0x300) rec->flags |= SymbolRecord::kRegisterList;
}

void DirList(RunContext& ctx, int, std::string_view, const char*, ErreurAsm&) {
    if (ctx.listing.isOpen()) ctx.listing.on = true;
}

void DirNolist(RunContext& ctx, int, std::string_view, const char*, ErreurAsm&) { ctx.listing.on = false; }

void DirTtl(RunContext&, int, std::string_view, const char*, ErreurAsm&) {}

void DirXdef(RunContext&, int, std::string_view, const char* operands, ErreurAsm& err) { Empty(operands, err); }

void DirXref(RunContext&, int, std::string_view, const char* operands, ErreurAsm& err) { Empty(operands, err); }

void AsmMovem(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err) {
    //  15..11  10   9..7  6    5..0
    // [01001 ][dr][001 ][sz][ EA ]   then the register mask, then the EA's extension words
    uint16_t skel = 0x4880;
    if (size == kSizeL)
        skel = 0x48C0;
    else if (size != kSizeNone && size != kSizeW)
        err.NewErreur(kErrInvalidSize);
    if (!label.empty()) ctx.symbols.define(label, ctx.location(), ctx.pass, err);

    // Register list first: MOVEM list,<ea>. Only a list read without any diagnostic counts:
    // a name that is not a register list (a data label, say) is a memory operand instead.
    ErreurAsm listErr;
    uint16_t mask = 0;
    const char* p = ParseRegisterList(ctx, operands, mask, listErr);
    if (p && listErr.LitCode() == 0 && *p == ',') {
        Operand dst;
        const char* end = ParseOperand(ctx, p + 1, dst, err);
        if (end && err.LitCode() < 0x300) {
            constexpr uint32_t kAllowed = kAnInd | kPreDec | kDisp | kIndex | kAbsShort | kAbsLong;
            static_assert(kAllowed == 0x1F4);
            if (!(dst.kind & kAllowed)) {
                err.NewErreur(kErrInternalKind);
            } else if (EndOfOperand(end, err)) {
                if (dst.kind == kPreDec) {
                    // The predecrement form stores the mask end for end: A7 in bit 0.
                    uint16_t reversed = 0;
                    for (int i = 0; i < 16; ++i)
                        if (mask & (1u << i)) reversed |= static_cast<uint16_t>(1u << (15 - i));
                    mask = reversed;
                }
                EmitWord(ctx, skel | EaField(dst));
                EmitWord(ctx, mask);
                EmitExtension(ctx, dst, 0, err);
            }
        }
        return;
    }

    // Memory first: MOVEM <ea>,list. When this fails too, the register list's own diagnostic
    // (not a register list, list used before its REG line) says best what is wrong.
    ErreurAsm memErr;
    Operand src;
    const char* q = ParseOperand(ctx, operands, src, memErr);
    if (q && memErr.LitCode() < 0x300 && *q == ',') {
        constexpr uint32_t kAllowed = kAnInd | kPostInc | kDisp | kIndex | kAbsShort | kAbsLong | kPcDisp | kPcIndex;
        static_assert(kAllowed == 0x7EC);
        const char* end = nullptr;
        if (!(src.kind & kAllowed))
            memErr.NewErreur(kErrInternalKind);
        else
            end = ParseRegisterList(ctx, q + 1, mask, memErr);
        if (end && memErr.LitCode() < 0x400 && EndOfOperand(end, memErr)) {
            err.NewErreur(memErr.LitCode());
            EmitWord(ctx, skel | 0x0400 | EaField(src));
            EmitWord(ctx, mask);
            EmitExtension(ctx, src, 0, err);
            return;
        }
    }
    err.NewErreur(listErr.LitCode() != 0 ? listErr.LitCode() : memErr.LitCode());
    if (err.LitCode() == 0) err.NewErreur(kErrSyntax);
}

}  // namespace qubrix
