// Assembly of one source line: label, mnemonic and size, then a directive handler or the
// operands matched against the mnemonic's variants.
#include <string_view>

#include "driver/diagnostics.h"
#include "driver/run_context.h"
#include "engine/directives.h"
#include "engine/encoders.h"
#include "engine/engine.h"
#include "engine/expression.h"
#include "engine/instruction_table.h"
#include "engine/operand.h"

namespace qubrix {

namespace {

constexpr std::size_t kLabelMax = 16;

bool EndOfField(char c) { return IsBlank(c) || c == '\0'; }

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

// Does a variant accept the operands already parsed?
bool Accepts(const InstrVariant& v, const Operand& src, const Operand& dst, bool haveDst) {
    if (!(src.kind & v.src)) return false;
    if (v.dst == 0) return !haveDst;
    return haveDst && (dst.kind & v.dst);
}

}  // namespace

void EmitValue(RunContext& ctx, uint32_t value, int size) {
    if (ctx.listing.on && !ctx.listing.listObj(value, size)) ctx.internalFault = true;
    if (ctx.objectEnabled && ctx.obj.isOpen() && !ctx.obj.output(static_cast<uint32_t>(ctx.location()), value, size))
        ctx.internalFault = true;
}

void AssembleLine(RunContext& ctx, const char* line, ErreurAsm& err) {
    const char* p = SkipBlanks(line);
    if (*p == '\0' || *p == '*') return;

    // A candidate label: the first character whatever it is, then name characters.
    const char* start = p;
    ++p;
    while (IsNameChar(*p)) ++p;
    std::size_t len = static_cast<std::size_t>(p - start);
    std::string_view label;
    if (*p == ':' || (start == line && EndOfField(*p))) {
        label = std::string_view(start, len < kLabelMax ? len : kLabelMax);
        if (*p == ':') ++p;
        p = SkipBlanks(p);
        if (*p == '\0' || *p == '*') {
            ctx.symbols.define(label, ctx.location(), ctx.pass, err);
            return;
        }
    } else {
        p = start;
    }

    const InstrEntry* entry = nullptr;
    int size = kSizeNone;
    p = FindMnemonic(p, entry, size, err);
    if (!p || err.LitCode() > 0x400) return;
    const char* operands = SkipBlanks(p);

    // Instructions start at even addresses, MOVEM too although it parses its own operands.
    if ((entry->parseOperands || entry->handler == AsmMovem) && (ctx.location() & 1)) {
        ctx.advance(1);
        if (ctx.pass2()) ctx.listing.startLine(static_cast<uint32_t>(ctx.location()));
    }
    if (!entry->parseOperands) {
        entry->handler(ctx, size, label, operands, err);
        return;
    }
    if (!label.empty()) {
        ctx.symbols.define(label, ctx.location(), ctx.pass, err);
        if (err.LitCode() > 0x400) return;
    }

    Operand src, dst;
    bool srcParsed = false, dstParsed = false;
    const char* afterSrc = nullptr;
    const InstrVariant* variants = entry->variants;
    const int count = entry->variantCount;
    for (int i = 0; i < count; ++i) {
        const InstrVariant& v = variants[i];
        if (v.src == 0) {
            Encode(ctx, v.family, SelectSkeleton(size, v, err), 0, src, dst, err);
            return;
        }
        if (!srcParsed) {
            srcParsed = true;
            afterSrc = ParseOperand(ctx, operands, src, err);
            if (!afterSrc || err.LitCode() > 0x400) return;
        }
        if (v.dst != 0 && !dstParsed) {
            dstParsed = true;
            if (*afterSrc != ',') {
                err.NewErreur(kErrSyntax);
                return;
            }
            const char* afterDst = ParseOperand(ctx, afterSrc + 1, dst, err);
            if (!afterDst || err.LitCode() > 0x400) return;
            if (!EndOfField(*afterDst)) {
                err.NewErreur(kErrSyntax);
                return;
            }
        }
        if (!(src.kind & v.src)) continue;
        if (v.dst == 0) {
            if (!EndOfField(*afterSrc)) {
                err.NewErreur(kErrSyntax);
                return;
            }
        } else if (!(dst.kind & v.dst)) {
            continue;
        }

        // A written size the first matching variant refuses is taken by a later variant with
        // the same operand kinds that allows it, when there is one.
        const InstrVariant* chosen = &v;
        if (size != kSizeNone && (size & v.sizes) == 0) {
            for (int j = i + 1; j < count; ++j) {
                const InstrVariant& w = variants[j];
                if (w.src != 0 && (size & w.sizes) && Accepts(w, src, dst, v.dst != 0)) {
                    chosen = &w;
                    break;
                }
            }
        }
        // A byte operation on an address register does not exist on the CPU; refuse it
        // rather than emit a word the processor rejects (MOVES moves a byte of An legally).
        if (size == kSizeB && chosen->family != Family::Moves && (src.kind == kAn || (v.dst != 0 && dst.kind == kAn))) {
            err.NewErreur(kErrInvalidAddressingMode);
            return;
        }
        Encode(ctx, chosen->family, SelectSkeleton(size, *chosen, err), size, src, dst, err);
        return;
    }
    err.NewErreur(kErrInvalidAddressingMode);
}

}  // namespace qubrix
