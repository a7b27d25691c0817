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

// Pass 2 of a line pass 1 parsed: when it starts where it started in pass 1 and every symbol
// it read has been defined again in this pass, its operands are what pass 1 found and only
// the encoding is left. False when the line must be assembled from its text.
bool ReassembleParsed(RunContext& ctx, const char* line, ErreurAsm& err) {
    const std::size_t index = static_cast<std::size_t>(ctx.lineSequence);
    if (index >= ctx.parsedIndex.size() || ctx.parsedIndex[index] == 0) return false;
    const ParsedLine& pl = ctx.parsed[ctx.parsedIndex[index] - 1];
    if (pl.location != ctx.location() || pl.section != ctx.sections->currentIndex()) return false;
    for (int i = 0; i < pl.symbolCount; ++i)
        if (!(pl.symbols[i]->flags & SymbolRecord::kDefinedThisPass)) return false;

    if (ctx.location() & 1) {
        ctx.advance(1);
        ctx.listing.startLine(static_cast<uint32_t>(ctx.location()));
    }
    if (pl.labelLength != 0) {
        ctx.symbols.define(std::string_view(line + pl.labelOffset, pl.labelLength), ctx.location(), ctx.pass, err);
        if (err.LitCode() > 0x400) return true;
    }
    Encode(ctx, pl.family, pl.skeleton, pl.size, pl.src, pl.dst, err);
    return true;
}

// Keeps what pass 1 found for an instruction line that assembled without any diagnostic
// and read no symbol whose value pass 2 could see differently.
void KeepParsed(RunContext& ctx, const char* line, std::string_view label, int32_t location, int section, Family family,
                uint16_t skeleton, int size, const Operand& src, const Operand& dst, const ErreurAsm& err) {
    if (err.LitCode() != 0 || ctx.reads.unusable || ctx.lineSequence < 0) return;
    ParsedLine pl;
    pl.src = src;
    pl.dst = dst;
    pl.symbolCount = ctx.reads.count;
    for (int i = 0; i < pl.symbolCount; ++i) pl.symbols[i] = ctx.reads.symbols[i];
    pl.location = location;
    pl.section = section;
    pl.skeleton = skeleton;
    pl.size = static_cast<uint8_t>(size);
    pl.family = family;
    if (!label.empty()) {
        pl.labelOffset = static_cast<uint8_t>(label.data() - line);
        pl.labelLength = static_cast<uint8_t>(label.size());
        if (pl.labelOffset != label.data() - line) return;  // a label far along a long line
    }
    const std::size_t index = static_cast<std::size_t>(ctx.lineSequence);
    if (index >= ctx.parsedIndex.size()) ctx.parsedIndex.resize(index + index / 2 + 1024, 0);
    ctx.parsed.push_back(pl);
    ctx.parsedIndex[index] = static_cast<uint32_t>(ctx.parsed.size());
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
    if (ctx.reuseLines) {
        if (ctx.pass2()) {
            if (ReassembleParsed(ctx, line, err)) return;
        } else {
            ctx.reads = SymbolReads{};
        }
    }
    const int32_t startLocation = ctx.reuseLines ? ctx.location() : 0;

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
            const uint16_t skeleton = SelectSkeleton(size, v, err);
            Encode(ctx, v.family, skeleton, 0, src, dst, err);
            if (ctx.reuseLines && !ctx.pass2())
                KeepParsed(ctx, line, label, startLocation, ctx.sections->currentIndex(), v.family, skeleton, 0, src,
                           dst, err);
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
        const uint16_t skeleton = SelectSkeleton(size, *chosen, err);
        Encode(ctx, chosen->family, skeleton, size, src, dst, err);
        if (ctx.reuseLines && !ctx.pass2())
            KeepParsed(ctx, line, label, startLocation, ctx.sections->currentIndex(), chosen->family, skeleton, size,
                       src, dst, err);
        return;
    }
    err.NewErreur(kErrInvalidAddressingMode);
}

}  // namespace qubrix
