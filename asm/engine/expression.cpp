// Operator-precedence evaluation with two small stacks; parentheses and unary operators
// start fresh evaluations.
#include "engine/expression.h"

#include <string_view>

#include "driver/diagnostics.h"
#include "driver/run_context.h"

namespace qubrix {

namespace {

// Deeper nesting than this is refused as a syntax error rather than exhausting the stack.
constexpr int kMaxNesting = 256;
constexpr int kSignificantName = 16;

const char* EvalExpressionAt(RunContext& ctx, const char* text, int32_t& value, bool& known, ErreurAsm& err, int depth);

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int DigitIn(char c, unsigned base) {
    if (c < '0' || c > '9') return -1;
    int d = c - '0';
    return d < static_cast<int>(base) ? d : -1;
}

const char* EvalTerm(RunContext& ctx, const char* p, int32_t& value, bool& known, ErreurAsm& err, int depth) {
    // Unary minus and complement apply to the next term only; apply them innermost first.
    const char* ops = p;
    while (*p == '-' || *p == '~') ++p;
    const char* opsEnd = p;
    if (opsEnd - ops > kMaxNesting) {
        err.NewErreur(kErrSyntax);
        return nullptr;
    }

    uint32_t v = 0;
    known = true;
    char c = *p;
    if (c == '(') {
        if (depth >= kMaxNesting) {
            err.NewErreur(kErrSyntax);
            return nullptr;
        }
        int32_t inner = 0;
        const char* q = EvalExpressionAt(ctx, p + 1, inner, known, err, depth + 1);
        if (err.LitCode() > 0x400 || !q) return nullptr;
        if (*q != ')') {
            err.NewErreur(kErrSyntax);
            return nullptr;
        }
        v = static_cast<uint32_t>(inner);
        p = q + 1;
    } else if (c == '$' && HexDigit(p[1]) >= 0) {
        ++p;
        int d;
        while ((d = HexDigit(*p)) >= 0) {
            if (v > 0x0FFFFFFFu) err.NewErreur(kWarnNumberTooLong);
            v = v * 16 + static_cast<uint32_t>(d);
            ++p;
        }
    } else if (c == '%' || c == '@' || IsDigit(c)) {
        unsigned base = 10;
        if (c == '%')
            base = 2, ++p;
        else if (c == '@')
            base = 8, ++p;
        if (DigitIn(*p, base) < 0) {
            err.NewErreur(kErrSyntax);
            return nullptr;
        }
        int d;
        while ((d = DigitIn(*p, base)) >= 0) {
            if (v > (0xFFFFFFFFu - static_cast<uint32_t>(d)) / base) err.NewErreur(kWarnNumberTooLong);
            v = v * base + static_cast<uint32_t>(d);
            ++p;
        }
    } else if (c == '\'') {
        ++p;
        int count = 0;
        for (;;) {
            if (*p == '\0') {  // no closing quote before the end of the line
                err.NewErreur(kErrSyntax);
                return nullptr;
            }
            if (*p == '\'') {
                if (p[1] != '\'') break;
                ++p;  // a doubled quote stands for one quote character
            }
            v = (v << 8) | static_cast<unsigned char>(*p);
            ++count;
            ++p;
        }
        ++p;  // the closing quote
        if (count == 0) {
            err.NewErreur(kErrSyntax);
            return nullptr;
        }
        if (count == 3) v <<= 8;
        if (count > 4) err.NewErreur(kWarnAsciiTooLong);
    } else if (IsLetter(c) || c == '.' || c == '_') {
        const char* start = p;
        while (IsNameChar(*p)) ++p;
        std::size_t len = static_cast<std::size_t>(p - start);
        std::string_view name(start, len < kSignificantName ? len : kSignificantName);
        const SymbolRecord* rec = ctx.symbols.find(name);
        if (ctx.reuseLines && !ctx.pass2()) ctx.reads.note(rec);
        if (rec) {
            if (rec->flags & SymbolRecord::kRegisterList) {
                v = 0;
                err.NewErreur(kErrRegisterListInExpr);
            } else {
                v = static_cast<uint32_t>(rec->value);
                if (ctx.pass2()) known = (rec->flags & SymbolRecord::kDefinedThisPass) != 0;
            }
        } else {
            err.NewErreur(ctx.pass2() ? kErrUndefinedSymbol : kWarnIncomplete);
            known = false;
        }
    } else {
        err.NewErreur(kErrSyntax);
        return nullptr;
    }

    for (const char* o = opsEnd; o != ops;) {
        --o;
        v = (*o == '-') ? 0u - v : ~v;
    }
    value = static_cast<int32_t>(v);
    return p;
}

int LevelOf(char c) { return OperatorLevel(c); }

const char* EvalExpressionAt(RunContext& ctx, const char* p, int32_t& value, bool& known, ErreurAsm& err, int depth) {
    // With four levels reduced left to right, pending operators have strictly rising levels:
    // at most four operators and five values are ever stacked.
    int32_t values[5];
    char ops[4];
    int nv = 0, no = 0;
    bool ok = true;
    known = true;

    for (;;) {
        ErreurAsm termErr;
        int32_t tv = 0;
        bool tk = true;
        const char* q = EvalTerm(ctx, p, tv, tk, termErr, depth);
        err.NewErreur(termErr.LitCode());
        if (!q) return nullptr;
        int tcode = termErr.LitCode();
        if (!tk && (tcode > 0x300 || tcode == kWarnIncomplete)) {
            ok = false;
            known = false;
        } else {
            if (err.LitCode() > 0x400) return nullptr;
            if (ok) values[nv++] = tv;
            known = known && tk;
        }
        p = q;

        char c = *p;
        if (c == '<' || c == '>') {
            if (p[1] != c) {
                err.NewErreur(kErrSyntax);
                return nullptr;
            }
        }
        int r = LevelOf(c);
        while (no > 0 && ok && r <= LevelOf(ops[no - 1])) {
            int32_t right = values[--nv];
            int32_t left = values[--nv];
            char op = ops[--no];
            int32_t result = 0;
            int rc = ApplyOperator(left, right, op, result);
            if (rc == 1) {
                values[nv++] = result;
            } else {
                err.NewErreur(ctx.pass2() ? rc : kWarnIncomplete);
                ok = false;
                known = false;
            }
        }
        if (r == 0) break;
        if (ok) ops[no++] = c;
        p += (c == '<' || c == '>') ? 2 : 1;
    }

    char c = *p;
    if (!(c == ',' || c == '(' || c == ')' || IsBlank(c) || c == '\0')) {
        err.NewErreur(kErrSyntax);
        return nullptr;
    }
    value = (ok && nv > 0) ? values[nv - 1] : 0;
    return p;
}

}  // namespace

int OperatorLevel(char c) {
    switch (c) {
    case '<':
    case '>': return 4;
    case '!':
    case '&': return 3;
    case '*':
    case '/':
    case '\\': return 2;
    case '+':
    case '-': return 1;
    default: return 0;
    }
}

int ApplyOperator(int32_t left, int32_t right, char op, int32_t& result) {
    uint32_t l = static_cast<uint32_t>(left), r = static_cast<uint32_t>(right);
    switch (op) {
    case '<': result = static_cast<int32_t>(l << (r & 31)); return 1;
    case '>': result = left >> (r & 31); return 1;
    case '!': result = static_cast<int32_t>(l | r); return 1;
    case '&': result = static_cast<int32_t>(l & r); return 1;
    case '*': result = static_cast<int32_t>(l * r); return 1;
    case '+': result = static_cast<int32_t>(l + r); return 1;
    case '-': result = static_cast<int32_t>(l - r); return 1;
    case '/':
    case '\\':
        if (right == 0) return kErrZeroDivision;
        if (left == INT32_MIN && right == -1) {  // the one quotient that does not fit
            result = op == '/' ? INT32_MIN : 0;
            return 1;
        }
        result = op == '/' ? left / right : left % right;
        return 1;
    default: return kErrSyntax;
    }
}

const char* EvalExpression(RunContext& ctx, const char* text, int32_t& value, bool& known, ErreurAsm& err) {
    return EvalExpressionAt(ctx, text, value, known, err, 0);
}

}  // namespace qubrix
