// Directive handlers: location, symbols, data, sections and listing control.
#pragma once

#include <string_view>

class ErreurAsm;

namespace qubrix {

struct RunContext;

#define QUBRIX_DIRECTIVE(name) \
    void name(RunContext& ctx, int size, std::string_view label, const char* operands, ErreurAsm& err)

QUBRIX_DIRECTIVE(DirDc);
QUBRIX_DIRECTIVE(DirDcb);
QUBRIX_DIRECTIVE(DirDs);
QUBRIX_DIRECTIVE(DirEnd);
QUBRIX_DIRECTIVE(DirEqu);
QUBRIX_DIRECTIVE(DirList);
QUBRIX_DIRECTIVE(DirNolist);
QUBRIX_DIRECTIVE(DirOrg);
QUBRIX_DIRECTIVE(DirReg);
QUBRIX_DIRECTIVE(DirSection);
QUBRIX_DIRECTIVE(DirSet);
QUBRIX_DIRECTIVE(DirTtl);
QUBRIX_DIRECTIVE(DirXdef);
QUBRIX_DIRECTIVE(DirXref);
// MOVEM parses its register list itself.
QUBRIX_DIRECTIVE(AsmMovem);

}  // namespace qubrix
