// Benchmarks of the source colouring on a generated 20,000-line source: the plain scanner, the
// highlighter on a document and in an editor, whole-text colouring and one-character edits.
#include "syntax/source_highlighter.h"
#include "syntax/syntax_scanner.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <string>

namespace {

using korvan::shell::SourceHighlighter;
namespace syntax = korvan::shell::syntax;

constexpr int kLines = 20000;

// A C source of kLines lines with every construct the scanner handles: keywords, types,
// preprocessor lines, strings, character literals, line and block comments. Without block
// comments nothing ever closes a comment opened at the top: the worst case for an edit.
std::string generate(bool withBlockComments) {
    static const char* const kChunk[] = {
        "#include <stdio.h>",
        "/* Block comment over",
        "   three lines, with int and char inside",
        "   and a closing mark */",
        "static unsigned int counter_%d = 0; // running total",
        "typedef struct { WORD length; BYTE flags; ULONG crc; } packet_%d;",
        "int compute_%d(const char* name, long value)",
        "{",
        "    if (value < 0 && name[0] != '\\'') {",
        "        printf(\"negative value for %%s: %%ld\\n\", name, value);",
        "        return -1;",
        "    }",
        "    for (int i = 0; i < 16; ++i) value = (value * 31) ^ i;",
        "    switch (value & 3) { case 0: break; default: value++; }",
        "    return (int)value; /* inline comment */",
        "}",
        "",
        "\tMOVE.L  #$1234,D0      ; assembly line, it's coloured as C",
        "\tDC.B    'Hello',0",
        "#define LIMIT_%d (1 << 12)",
    };
    std::string out;
    out.reserve(static_cast<std::size_t>(kLines) * 40);
    char line[256];
    for (int n = 0; n < kLines; ++n) {
        const char* pattern = kChunk[n % std::size(kChunk)];
        if (!withBlockComments && std::string_view(pattern).find("/*") != std::string_view::npos)
            pattern = "    value = value + 1; // no block comment here";
        else if (!withBlockComments && std::string_view(pattern).find("*/") != std::string_view::npos)
            pattern = "    value = value - 1;";
        std::snprintf(line, sizeof line, pattern, n);
        out += line;
        out += '\n';
    }
    out.pop_back();
    return out;
}

const std::string& generatedSource() {
    static const std::string text = generate(true);
    return text;
}

const QString& generatedSourceQt() {
    static const QString text = QString::fromStdString(generatedSource());
    return text;
}

const QString& sourceWithoutBlockCommentsQt() {
    static const QString text = QString::fromStdString(generate(false));
    return text;
}

void setCounters(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kLines);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(generatedSource().size()));
}

// The scanner alone over the whole text, line by line with the carried state.
void BM_ScanText(benchmark::State& state) {
    const std::string& text = generatedSource();
    for (auto _ : state) {
        std::vector<syntax::Span> spans = syntax::scanText(text);
        benchmark::DoNotOptimize(spans.data());
    }
    setCounters(state);
}
BENCHMARK(BM_ScanText)->Unit(benchmark::kMillisecond);

// Loading the text into a document, without colouring: the baseline for the next one.
void BM_DocumentSetText_Uncoloured(benchmark::State& state) {
    for (auto _ : state) {
        QTextDocument doc;
        doc.documentLayout();
        doc.setPlainText(generatedSourceQt());
        benchmark::DoNotOptimize(doc.blockCount());
    }
    setCounters(state);
}
BENCHMARK(BM_DocumentSetText_Uncoloured)->Unit(benchmark::kMillisecond);

// Loading the text into a document with the highlighter attached: every line is coloured.
void BM_DocumentSetText_Coloured(benchmark::State& state) {
    for (auto _ : state) {
        QTextDocument doc;
        doc.documentLayout();
        new SourceHighlighter(&doc);
        doc.setPlainText(generatedSourceQt());
        benchmark::DoNotOptimize(doc.lastBlock().layout()->formats().size());
    }
    setCounters(state);
}
BENCHMARK(BM_DocumentSetText_Coloured)->Unit(benchmark::kMillisecond);

// Opening a file as the workbench does: the editor's document gets the text, the highlighter
// colours it, and the editor is shown and painted once.
void BM_EditorOpen_Coloured(benchmark::State& state) {
    for (auto _ : state) {
        QPlainTextEdit editor;
        editor.setFont(SourceHighlighter::editorFont());
        new SourceHighlighter(editor.document());
        editor.resize(800, 600);
        editor.setPlainText(generatedSourceQt());
        editor.show();
        editor.repaint();
        benchmark::DoNotOptimize(editor.document()->lastBlock().layout()->formats().size());
    }
    setCounters(state);
}
BENCHMARK(BM_EditorOpen_Coloured)->Unit(benchmark::kMillisecond);

// Attaching the highlighter to an editor that already holds the text: the whole text is
// coloured on the next pass of the event loop.
void BM_EditorAttachToLoadedText(benchmark::State& state) {
    QPlainTextEdit editor;
    editor.setPlainText(generatedSourceQt());
    for (auto _ : state) {
        auto* highlighter = new SourceHighlighter(editor.document());
        QCoreApplication::processEvents();
        state.PauseTiming();
        delete highlighter;
        state.ResumeTiming();
    }
    setCounters(state);
}
BENCHMARK(BM_EditorAttachToLoadedText)->Unit(benchmark::kMillisecond);

// Recolouring the whole loaded document of an editor. (On a bare QTextDocument with its rich
// text layout this is quadratic in Qt itself: every recoloured line relayouts the rest.)
void BM_EditorRehighlight(benchmark::State& state) {
    QPlainTextEdit editor;
    auto* highlighter = new SourceHighlighter(editor.document());
    editor.setPlainText(generatedSourceQt());
    for (auto _ : state) highlighter->rehighlight();
    setCounters(state);
}
BENCHMARK(BM_EditorRehighlight)->Unit(benchmark::kMillisecond);

// One keystroke in the middle of the loaded source in an editor, and its deletion: each
// recolours the edited line, and the following lines only if their entry state changed.
void typeAndErase(benchmark::State& state, const QString& text, int line, const QString& typed) {
    QPlainTextEdit editor;
    editor.setFont(SourceHighlighter::editorFont());
    new SourceHighlighter(editor.document());
    editor.resize(800, 600);
    editor.setPlainText(text);
    editor.show();
    QTextCursor cursor(editor.document()->findBlockByNumber(line));
    cursor.movePosition(QTextCursor::StartOfBlock);
    editor.setTextCursor(cursor);
    for (auto _ : state) {
        editor.insertPlainText(typed);
        for (int i = 0; i < typed.size(); ++i) editor.textCursor().deletePreviousChar();
    }
}

void BM_EditorTypeCharacter(benchmark::State& state) {
    typeAndErase(state, generatedSourceQt(), kLines / 2 + 6, QStringLiteral("x"));
}
BENCHMARK(BM_EditorTypeCharacter)->Unit(benchmark::kMicrosecond);

// A comment opener typed near the top recolours the lines down to the next "*/" (here within
// twenty lines), and its removal does so again.
void BM_EditorTypeCommentOpener(benchmark::State& state) {
    typeAndErase(state, generatedSourceQt(), 5, QStringLiteral("/*"));
}
BENCHMARK(BM_EditorTypeCommentOpener)->Unit(benchmark::kMicrosecond);

// Worst case: nothing closes the comment, so all 20,000 lines are recoloured, twice.
void BM_EditorTypeUnclosedCommentOpener(benchmark::State& state) {
    typeAndErase(state, sourceWithoutBlockCommentsQt(), 5, QStringLiteral("/*"));
}
BENCHMARK(BM_EditorTypeUnclosedCommentOpener)->Unit(benchmark::kMillisecond);

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
