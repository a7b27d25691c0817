// One assembly run without any user interface: the output files, the two passes over the
// source and its includes, the memory map, the overlap test and the summary.
#include "driver/run.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "driver/run_context.h"
#include "driver/source_reader.h"
#include "engine/engine.h"

namespace qubrix {
namespace {

std::string g_workDir;

// The include named by the first failed file of the tree, in scan order.
std::string failedInclude(const Fichier& f) {
    if (f.openFailed()) return f.failedInclude();
    for (std::size_t i = 0; i < f.childCount(); ++i)
        if (std::string name = failedInclude(f.child(i)); !name.empty()) return name;
    return std::string();
}

// True when both paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Removes a regular file left at path; true when there was one to remove.
bool RemoveStale(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && std::remove(path.c_str()) == 0;
}

}  // namespace

void SetWorkingDirectory(const std::string& dir) {
    g_workDir = dir;
    if (!g_workDir.empty() && g_workDir.back() != '/') g_workDir += '/';
}

const std::string& WorkingDirectory() { return g_workDir; }

std::string OutputBase(const std::string& path) {
    // Only the last component's extension goes, so a dotted folder name never shortens the
    // path; a name without an extension, or a hidden name like ".asm", is kept whole.
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) return path;
    return path.substr(0, dot);
}

AssemblyRun::AssemblyRun(const RunSettings& settings, ListErreur* results)
    : m_settings(settings), m_ctx(std::make_unique<RunContext>()) {
    RunContext& ctx = *m_ctx;
    ctx.objectEnabled = true;
    ctx.longAbsolute = true;
    ctx.srecType = '3';
    ctx.codeOrigin = settings.codeOrigin;
    ctx.varOrigin = settings.varOrigin;
    ctx.workDir = WorkingDirectory();
    ctx.startAddress = static_cast<uint32_t>(settings.codeOrigin);
    ctx.results = results;
    ctx.listing.on = settings.listing;
    // Both passes read the same lines in the same order: pass 2 may reuse pass 1's parse.
    ctx.reuseLines = true;
}

AssemblyRun::~AssemblyRun() {
    if (m_ctx->message) std::fclose(m_ctx->message);
}

void AssemblyRun::message(const char* format, ...) {
    if (!m_ctx->message) return;
    std::va_list args;
    va_start(args, format);
    std::vfprintf(m_ctx->message, format, args);
    va_end(args);
}

void AssemblyRun::openFiles(const std::string& sourcePath) {
    RunContext& ctx = *m_ctx;
    m_source = sourcePath;
    if (ctx.message) std::fclose(ctx.message);
    // Without a message file the run goes on; its lines are simply not written.
    ctx.message = std::fopen("message.txt", "wb");
    message(" Assemblage du fichier : %s\r\n", sourcePath.c_str());

    ctx.symbols.clear();

    const std::string base = OutputBase(sourcePath);
    m_listPath = base + ".lis";
    m_objPath = base + ".abs";
    // A derived name equal to the source (a source called prog.lis) would truncate the
    // source before it is read, and an empty source path would give the hidden files ".lis"
    // and ".abs": such files are reported as impossible to create.
    const bool unusable = base.empty() || base.back() == '/';
    if (m_settings.listing) {
        if (unusable || m_listPath == sourcePath || !ctx.listing.open(m_listPath))
            message("impossible d'ouvrir le fichier %s\r\n", m_listPath.c_str());
    }
    if (ctx.objectEnabled) {
        if (unusable || m_objPath == sourcePath || !ctx.obj.open(m_objPath)) {
            message("impossible d'ouvrir le fichier %s\r\n", m_objPath.c_str());
            // Without its object file the run has failed (a source path that names no file
            // fails on its own); an object file left by an earlier run must not be taken for
            // this run's output.
            // It is reported once the source is known to open: a source that cannot be read
            // fails the run by itself.
            if (!unusable) {
                m_openErrno = m_objPath == sourcePath ? EEXIST : ctx.obj.errorNumber();
                if (m_objPath != sourcePath && RemoveStale(m_objPath))
                    message("Object file %s removed: it is out of date\r\n", m_objPath.c_str());
                m_objectOpenFailed = true;
            }
        } else {
            m_objectOpened = true;
            ctx.obj.init();
        }
    }
}

void AssemblyRun::reportFault(Fault fault, const ErreurAsm* where) {
    RunContext& ctx = *m_ctx;
    const unsigned bit = 1u << static_cast<unsigned>(fault);
    if (m_reported & bit) return;
    m_reported |= bit;

    std::string text;
    switch (fault) {
    case Fault::ObjectOpen: text = "Cannot create object file " + m_objPath + ": " + std::strerror(m_openErrno); break;
    case Fault::AddressRange:
        text = "Code runs past address $FFFFFFFF";
        m_objectIncomplete = true;
        break;
    case Fault::ObjectWrite:
        text = "Error writing to object file " + m_objPath + ": " + std::strerror(ctx.obj.errorNumber());
        m_objectIncomplete = true;
        break;
    case Fault::ListingWrite:
        text = "Error writing to listing file " + m_listPath + ": " + std::strerror(ctx.listing.errorNumber());
        break;
    case Fault::ObjectSize:
        text = "outputObj: INVALID SIZE CODE!";
        m_objectIncomplete = true;
        break;
    case Fault::ListingSize:
        text = "LISTOBJ: INVALID SIZE CODE!";
        m_objectIncomplete = true;
        break;
    case Fault::Engine:
        text = ctx.internalFaultText ? ctx.internalFaultText : "Internal fault of the assembler";
        m_objectIncomplete = true;
        break;
    }
    message("%s\r\n", text.c_str());
    if (m_failure.empty()) m_failure = text;

    ErreurAsm diag;
    diag.SetCode(kErrWriteFile);
    if (where) {
        diag.SetLigne(where->LitLigne());
        diag.SetNFichier(where->LitFichier());
    }
    ++ctx.errorCount;
    if (ctx.results) ctx.results->AddErreur(diag);
}

bool AssemblyRun::checkFaults(const ErreurAsm* where) {
    RunContext& ctx = *m_ctx;
    bool stop = false;
    if (ctx.obj.sizeFault()) {
        reportFault(Fault::ObjectSize, where);
        stop = true;
    }
    if (ctx.listing.sizeFault()) {
        reportFault(Fault::ListingSize, where);
        stop = true;
    }
    if (ctx.sections->pastTop() || ctx.obj.addressFault()) {
        reportFault(Fault::AddressRange, where);
        stop = true;
    } else if (ctx.internalFault) {
        if (!stop) reportFault(Fault::Engine, where);
        stop = true;
    }
    if (ctx.obj.failed()) {
        reportFault(Fault::ObjectWrite, where);
        stop = true;
    }
    if (ctx.listing.failed()) {
        reportFault(Fault::ListingWrite, where);
        stop = true;
    }
    return stop;
}

void AssemblyRun::runPasses() {
    RunContext& ctx = *m_ctx;
    ErreurAsm err;
    ctx.pass = 0;
    ctx.sections.emplace(ctx.codeOrigin, ctx.varOrigin);
    m_passesStarted = true;
    {
        Fichier tree(m_source, ctx.workDir);
        std::string failedFile;
        int failedLine = 0;
        OpenFailure why = OpenFailure::None;
        if (tree.FindOpenError(failedFile, failedLine, &why)) {
            // Why the tree could not be read, when that is more than a file that does not
            // open: said after the diagnostic's text and in the report, in the catalogue
            // language.
            std::string reason;
            switch (why) {
            case OpenFailure::TooDeep:
                reason = DetailText(Detail::IncludeTooDeep, std::to_string(Fichier::kMaxIncludeDepth));
                break;
            case OpenFailure::Cycle: {
                const std::string included = failedInclude(tree);
                reason =
                    DetailText(SameFile(included, failedFile) ? Detail::SelfInclude : Detail::IncludeCycle, included);
                break;
            }
            case OpenFailure::TooLarge:
                reason = DetailText(Detail::IncludeTooLarge, std::to_string(Fichier::kMaxIncludeFiles),
                                    std::to_string(Fichier::kMaxTreeBytes >> 20));
                break;
            default: break;
            }
            err.Init();
            err.NewErreur(kErrOpenFile);
            err.SetLigne(failedLine);
            err.SetNFichier(failedFile);
            err.SetDetail(reason);
            ++ctx.errorCount;
            if (ctx.results) ctx.results->AddErreur(err);
            if (why == OpenFailure::TooDeep)
                message("Erreur %d: Trop de fichier Include (Max %d)\r\n", ctx.errorCount, Fichier::kMaxIncludeDepth);
            else if (reason.empty())
                message("Impossible d'ouvrir les fichier!\r\n");
            if (!reason.empty()) {
                m_openFailure = failedFile + ":" + std::to_string(failedLine) + ": " + reason;
                message("%s\r\n", m_openFailure.c_str());
            }
        } else {
            if (m_objectOpenFailed) reportFault(Fault::ObjectOpen, nullptr);
            // Room for what pass 1 keeps of each line for pass 2, numbered from 1.
            const std::size_t lines = tree.treeLineCount() + 2;
            ctx.parsed.clear();
            ctx.parsed.reserve(lines);
            ctx.parsedIndex.assign(lines, 0);
            const int earlyErrors = ctx.errorCount;  // an object file that could not be created
            bool stopped = false;
            for (int pass = 0; pass < 2 && !stopped; ++pass) {
                ctx.sections->resetForPass();
                ctx.lineSequence = 1;
                ctx.endFlag = false;
                ctx.warningCount = 0;
                ctx.errorCount = earlyErrors;
                bool last = false;
                const std::string* currentFile = nullptr;
                SourceLine line;
                while (!ctx.endFlag && !last) {
                    if (m_cancel.load(std::memory_order_relaxed)) {
                        // Stopped by the user between two lines: the outputs lack the rest.
                        message("Assembly cancelled by the user\r\n");
                        stopped = m_cancelled = m_objectIncomplete = true;
                        break;
                    }
                    last = tree.GetLine(line);
                    err.Init();
                    err.SetLigne(line.number);
                    if (line.file != currentFile) {  // the file name only changes at includes
                        currentFile = line.file;
                        err.SetNFichier(*currentFile);
                    }
                    if (ctx.pass2() && ctx.listing.on) ctx.listing.startLine(static_cast<uint32_t>(ctx.location()));
                    AssembleLine(ctx, line.text, err);
                    if (ctx.pass2()) {
                        const int code = err.LitCode();
                        if (code > 0x200)
                            ++ctx.errorCount;
                        else if (code > 0x100)
                            ++ctx.warningCount;
                        if (ctx.listing.on) ctx.listing.writeLine(ctx.lineSequence, line.view(), code);
                        if (code > 0 && ctx.results) ctx.results->AddErreur(err);
                    }
                    if (checkFaults(&err)) {
                        // The lines after this one are never assembled: the object file
                        // would lack them.
                        stopped = true;
                        m_objectIncomplete = true;
                        break;
                    }
                    ++ctx.lineSequence;
                }
                if (pass == 0) ctx.pass = 1;
                tree.Rewind();
            }
        }

        ctx.sections->select("9");
        ctx.startAddress = static_cast<uint32_t>(ctx.sections->value(1));
        ctx.sections->writeMap(ctx.message);
        if (ctx.sections->overlapTest()) {
            ++ctx.errorCount;
            ErreurAsm overlap;
            overlap.SetCode(kErrSectionOverlap);
            overlap.SetDetail(ctx.sections->overlapText());
            if (ctx.results) ctx.results->AddErreur(overlap);
        }
    }  // the include tree goes here, every source file with it
    ctx.sections.reset();
    if (ctx.results) ctx.results->SetTextErreur();
}

int AssemblyRun::errorCount() const { return m_ctx->errorCount; }

int AssemblyRun::warningCount() const { return m_ctx->warningCount; }

void AssemblyRun::writeSummary() {
    RunContext& ctx = *m_ctx;
    if (m_summaryWritten) return;
    m_summaryWritten = true;
    const unsigned reportedBefore = m_reported;
    if (m_objectOpenFailed && !m_passesStarted) reportFault(Fault::ObjectOpen, nullptr);

    if (ctx.objectEnabled && ctx.obj.isOpen()) {
        ctx.obj.finish(ctx.startAddress);
        if (ctx.obj.failed()) reportFault(Fault::ObjectWrite, nullptr);
    }
    ctx.symbols.clear();
    if (ctx.listing.isOpen()) {
        // A cancelled run's listing stops where the run did, without a summary that would make
        // it look complete.
        if (!m_cancelled) ctx.listing.writeSummary(ctx.errorCount, ctx.warningCount);
        ctx.listing.close();
        if (ctx.listing.failed()) reportFault(Fault::ListingWrite, nullptr);
    }
    if (m_objectIncomplete && ctx.obj.isOpen()) ctx.obj.close();
    if (m_objectIncomplete && m_objectOpened && std::remove(m_objPath.c_str()) == 0)
        // An object file that lacks part of the code must never be downloaded.
        message("Object file %s removed: it is incomplete\r\n", m_objPath.c_str());
    if (m_reported != reportedBefore && ctx.results) ctx.results->SetTextErreur();
    if (ctx.message) {
        std::fclose(ctx.message);
        ctx.message = nullptr;
    }
}

bool AssemblyRun::failed() const { return !m_failure.empty(); }

std::string AssemblyRun::failureMessage() const { return m_failure; }

}  // namespace qubrix
