// Diagnostics of an assembly run: one diagnostic (ErreurAsm), the list handed back to the
// caller (ListErreur), the named codes and the bilingual message catalogue.
#pragma once

#include <list>
#include <string>

#define QUBRIX_API __attribute__((visibility("default")))

namespace qubrix {

// Codes: 0x1xx warnings, 0x2xx instruction errors, 0x3xx symbol and data errors, 0x4xx errors
// that stop the line. The code is also the identifier of its catalogue text.
enum Code : int {
    kNoError = 0,
    kNothingRaised = 1,  // the engine's private mark for "nothing raised yet"
    kClassWarning = 0x100,
    kWarnAsciiTooLong = 0x101,
    kWarnNumberTooLong = 0x102,
    kWarnIncomplete = 0x103,
    kErrInvalidSize = 0x201,
    kErrInvalidAddressingMode = 0x202,
    kErrInvalidVector = 0x203,
    kErrBranchRange = 0x204,
    kErrDisplacementRange = 0x205,
    kErrAbsShortRange = 0x206,
    kErrImmediate8 = 0x207,
    kErrImmediate16 = 0x208,
    kErrOddOrigin = 0x209,
    kErrNotRegisterList = 0x20A,
    kErrRegisterListInExpr = 0x20B,
    kErrShiftCount = 0x20C,
    kErrMoveqRange = 0x20D,
    kErrForwardRef = 0x20E,
    kClassError = 0x300,
    kErrUndefinedSymbol = 0x301,
    kErrZeroDivision = 0x302,
    kErrMultipleDefinition = 0x303,
    kErrRegisterListUndefined = 0x305,
    kErrNotKnown = 0x306,
    kErrNegativeLength = 0x307,
    kErrOddOriginValue = 0x308,
    kClassFatal = 0x400,
    kErrSyntax = 0x401,
    kErrBadInstruction = 0x402,
    kErrInternalKind = 0x403,
    kErrLabelRequired = 0x404,
    kErrPhase = 0x405,
    kErrOpenFile = 0x406,
    kErrSectionOverlap = 0x407,
    kErrWriteFile = 0x408,  // an output file could not be written: the run failed
};

enum class Language { French, English };

// The catalogue language, library-wide; the library's entry points set it from the
// workbench's setting before each run.
QUBRIX_API void SetCatalogueLanguage(Language lang);
QUBRIX_API Language CatalogueLanguage();

// Text of a code in the given (or the current) language; empty for a code without text.
QUBRIX_API const char* CatalogueText(int code, Language lang);
QUBRIX_API const char* CatalogueText(int code);

// Texts that complete a diagnostic (ErreurAsm::SetDetail) and the run's report, in both
// languages. "%1" and "%2" stand for the arguments of DetailText.
enum class Detail {
    IncludeCycle,     // %1: the file already being included
    SelfInclude,      // %1: the file that includes itself
    IncludeTooDeep,   // %1: the most levels allowed
    IncludeTooLarge,  // %1: the most files, %2: the most MiB
};
QUBRIX_API const char* CatalogueDetail(Detail which, Language lang);
// The text in the current language with its arguments put in.
QUBRIX_API std::string DetailText(Detail which, const std::string& arg1, const std::string& arg2 = std::string());

// The class text appended to a listing line carrying a diagnostic: 0x300 above 0x300, 0x100
// for 0x101..0x300, the code itself otherwise.
QUBRIX_API const char* ListingAnnotation(int code);

inline bool IsWarning(int code) { return code > 0x100 && code <= 0x200; }
inline bool IsError(int code) { return code > 0x200; }

}  // namespace qubrix

// One diagnostic: code, line (1-based, -1 for none), file, text.
class QUBRIX_API ErreurAsm {
public:
    ErreurAsm();
    ErreurAsm(const ErreurAsm& other);  // copies code, line, file and detail; the text stays empty
    ErreurAsm& operator=(const ErreurAsm& other) = default;
    virtual ~ErreurAsm();

    void Init();               // line = -1, text and detail empty, code 0; file untouched
    void NewErreur(int code);  // taken only when (code & 0xF00) > current code
    void SetCode(int code) { m_code = code; }
    void SetLigne(int line) { m_line = line; }
    void SetNFichier(std::string file) { m_file = std::move(file); }
    void SetErreur(std::string text) { m_text = std::move(text); }
    // What the run knows beyond the code (the sections that overlap, the include cycle): the
    // text becomes the catalogue text, " : ", then this.
    void SetDetail(std::string detail) { m_detail = std::move(detail); }
    const std::string& LitDetail() const { return m_detail; }
    int LitCode() const { return m_code; }
    int LitLigne() const { return m_line; }
    std::string LitFichier() const { return m_file; }
    std::string LitErreur() const { return m_text; }
    bool TestErreur() const { return m_code > 0x400; }
    operator int() const { return m_code; }

private:
    std::string m_text;
    std::string m_file;
    std::string m_detail;
    int m_line = -1;
    int m_code = 0;
};

// The diagnostics of a run; newest first.
class QUBRIX_API ListErreur {
public:
    ListErreur();
    ListErreur(const ListErreur&) = delete;
    ListErreur& operator=(const ListErreur&) = delete;
    virtual ~ListErreur();

    void AddErreur(ErreurAsm err);
    ErreurAsm* GetFirstErreur();
    ErreurAsm* GetNextErreur();
    void RazErreur();
    // Every diagnostic gets its catalogue text in the current language, then its detail.
    void SetTextErreur();
    std::size_t Count() const { return m_items.size(); }

private:
    std::list<ErreurAsm> m_items;
    std::list<ErreurAsm>::iterator m_cursor;
    bool m_cursorValid = false;
};
