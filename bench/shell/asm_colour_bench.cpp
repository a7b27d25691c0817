// Colouring a 20,000-line assembly source: the assembly scanner against the C scanner that
// coloured assembly sources before, alone and through the editor's highlighter.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

#include <string>

#include "syntax/asm_scanner.h"
#include "syntax/source_highlighter.h"
#include "syntax/syntax_scanner.h"

namespace {

using korvan::shell::SourceHighlighter;
namespace syntax = korvan::shell::syntax;

constexpr int kLines = 20000;

// A teaching-style source: comment blocks, labels, every operand form, strings with doubled
// quotes, comments after the operands with apostrophes.
std::string generate() {
    static const char* const kChunk[] = {
        "* Boucle principale : lecture du port et affichage de l'octet lu",
        "*",
        "BOUCLE%d  MOVE.L  #$00FFF000,A0     l'adresse du port",
        "        MOVE.W  (A0)+,D0          valeur suivante",
        "        CMP.W   #10,D0",
        "        BNE.S   BOUCLE%d            on recommence tant qu'il y en a",
        "        MOVEM.L D0-D7/A0-A6,-(SP)",
        "        LEA     8(PC,D1.W),A1",
        "        ANDI.W  #%%1010,CCR",
        "        DC.B    'l''octet lu',13,10,0",
        "        JSR     AFFICHE",
        "FIN%d:   RTS                       retour à l'appelant",
        "TAILLE  EQU     @177",
    };
    std::string out;
    out.reserve(static_cast<std::size_t>(kLines) * 40);
    char line[256];
    for (int n = 0; n < kLines; ++n) {
        std::snprintf(line, sizeof line, kChunk[n % std::size(kChunk)], n);
        out += line;
        out += '\n';
    }
    out.pop_back();
    return out;
}

const std::string& source() {
    static const std::string text = generate();
    return text;
}

const QString& sourceQt() {
    static const QString text = QString::fromStdString(source());
    return text;
}

void setCounters(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kLines);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source().size()));
}

// The plain scanners over the whole text.
void BM_ScanText_Assembly(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<syntax::Span> spans = syntax::scanAssemblyText(source());
        benchmark::DoNotOptimize(spans.data());
    }
    setCounters(state);
}
BENCHMARK(BM_ScanText_Assembly)->Unit(benchmark::kMillisecond);

void BM_ScanText_AsC(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<syntax::Span> spans = syntax::scanText(source());
        benchmark::DoNotOptimize(spans.data());
    }
    setCounters(state);
}
BENCHMARK(BM_ScanText_AsC)->Unit(benchmark::kMillisecond);

// Opening the source as the editor does: the language is chosen, the text set and coloured,
// the editor shown and painted once. Argument: 1 assembly colouring, 0 the C colouring.
void BM_EditorOpen(benchmark::State& state) {
    const auto language = state.range(0) ? syntax::SourceLanguage::Assembly : syntax::SourceLanguage::C;
    for (auto _ : state) {
        QPlainTextEdit editor;
        editor.setFont(SourceHighlighter::editorFont());
        (new SourceHighlighter(editor.document()))->setLanguage(language);
        editor.resize(800, 600);
        editor.setPlainText(sourceQt());
        editor.show();
        editor.repaint();
        if (editor.document()->lastBlock().layout()->formats().isEmpty())
            state.SkipWithError("the last line is not coloured");
    }
    setCounters(state);
}
BENCHMARK(BM_EditorOpen)->ArgName("assembly")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One character typed in the middle of the source and erased again.
void BM_EditorTypeCharacter(benchmark::State& state) {
    const auto language = state.range(0) ? syntax::SourceLanguage::Assembly : syntax::SourceLanguage::C;
    QPlainTextEdit editor;
    editor.setFont(SourceHighlighter::editorFont());
    (new SourceHighlighter(editor.document()))->setLanguage(language);
    editor.resize(800, 600);
    editor.setPlainText(sourceQt());
    editor.show();
    QTextCursor cursor(editor.document()->findBlockByNumber(kLines / 2 + 2));
    cursor.movePosition(QTextCursor::EndOfBlock);
    editor.setTextCursor(cursor);
    for (auto _ : state) {
        editor.insertPlainText(QStringLiteral("'"));
        editor.textCursor().deletePreviousChar();
    }
}
BENCHMARK(BM_EditorTypeCharacter)->ArgName("assembly")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
