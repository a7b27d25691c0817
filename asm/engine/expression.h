// Expressions: 32-bit values with a known flag, four precedence levels, numbers in four
// bases, character constants and symbols.
#pragma once

#include <cstdint>

class ErreurAsm;

namespace qubrix {

struct RunContext;

// Evaluates the expression at text. Returns the position after it, or null after a syntax
// error (0x401) or when the error code of err rose above 0x400. known tells whether every
// symbol used already had its final value at this point of the source.
const char* EvalExpression(RunContext& ctx, const char* text, int32_t& value, bool& known, ErreurAsm& err);

int OperatorLevel(char c);
// 1 on success, 0x302 for a division or remainder by zero, 0x401 for a non-operator.
int ApplyOperator(int32_t left, int32_t right, char op, int32_t& result);

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }
inline bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Characters that continue a name after its first character.
inline bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '.' || c == '_' || c == '$'; }

}  // namespace qubrix
