// Opening a 20,000-line source in the workbench and typing into it, opening files at the
// editor's size and line-length limits, and how long the event loop stops while a million-line
// source is opened and typed into, measured in the real main window (offscreen unless a
// display platform is chosen).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QElapsedTimer>

#include "korvan_app.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "main_frame.h"
#include "source_file.h"
#include "syntax/source_highlighter.h"

using namespace korvan::shell;

namespace {

QTemporaryDir* g_dir = nullptr;
CKorvanApp* g_app = nullptr;

// A source mixing assembly, C-like comments, strings and keywords, lineCount lines long.
QString makeSource(int lineCount) {
    static const char* const kLines[] = {
        "; boucle principale : lecture du port et affichage",
        "BOUCLE  MOVE.L  #$00FFF000,A0     ; adresse du port",
        "        MOVE.W  (A0)+,D0",
        "        CMP.W   #10,D0",
        "        BNE.S   BOUCLE",
        "/* bloc de commentaire",
        "   sur deux lignes */",
        "int compte = 0; char *texte = \"message \\\"entre guillemets\\\"\";",
        "        DC.B    'texte',0",
        "        JSR     AFFICHE",
        "#define TAILLE 128",
        "static unsigned long table[TAILLE]; // tableau de mesures",
    };
    QString text;
    text.reserve(lineCount * 40);
    for (int i = 0; i < lineCount; ++i) {
        text += QString::fromUtf8(kLines[i % std::size(kLines)]);
        text += QStringLiteral("\r\n");
    }
    return text;
}

QString sourcePath() {
    const QString path = g_dir->filePath(QStringLiteral("grand.src"));
    if (!QFile::exists(path)) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(makeSource(20000).toUtf8());
    }
    return path;
}

SourceHighlighter* highlighterOf(CKorvanDoc* doc) { return doc->textDocument()->findChild<SourceHighlighter*>(); }

// Turns the event loop until the whole text is in the document and coloured.
void untilLoadedAndColoured(CKorvanDoc* doc) {
    SourceHighlighter* highlighter = highlighterOf(doc);
    while (doc->isLoading() || (highlighter && highlighter->colouringPending())) QCoreApplication::processEvents();
}

void closeAll() {
    for (QMdiSubWindow* w : g_app->mainFrame()->mdiArea()->subWindowList()) {
        if (auto* view = qobject_cast<CKorvanView*>(w->widget())) view->document()->setClosingConfirmed(true);
        w->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Open through the application's command path, shown and coloured, first screen painted.
void BM_OpenColoured20000Lines(benchmark::State& state) {
    const QString path = sourcePath();
    for (auto _ : state) {
        CKorvanDoc* doc = g_app->openSourceDocument(path);
        untilLoadedAndColoured(doc);
        CKorvanView* view = g_app->mainFrame()->activeSourceView();
        view->viewport()->repaint();
        const QTextBlock last = doc->textDocument()->lastBlock().previous();
        if (last.layout()->formats().isEmpty()) state.SkipWithError("the last line is not coloured");
        state.PauseTiming();
        closeAll();
        state.ResumeTiming();
    }
    state.counters["lines"] = 20000;
}
BENCHMARK(BM_OpenColoured20000Lines)->Unit(benchmark::kMillisecond)->Iterations(5);

// A file at the editor's limits: as large as it opens, once with source lines, once with every
// line as long as it may be. Opened, shown, coloured and painted, at the start and at the end.
QString limitPath(bool longLines) {
    const QString path =
        g_dir->filePath(longLines ? QStringLiteral("limite-lignes.src") : QStringLiteral("limite.src"));
    if (QFile::exists(path)) return path;
    const uint64_t max = kEditorLimits.maxBytes;
    QByteArray bytes;
    bytes.reserve(qsizetype(max));
    if (longLines) {
        QByteArray line(qsizetype(kEditorLimits.maxLineBytes), 'a');
        for (qsizetype i = 0; i + 18 <= line.size(); i += 40) line.replace(i, 18, "  MOVE.L #$10,D0 ;");
        while (uint64_t(bytes.size()) + line.size() + 2 <= max) bytes += line + "\r\n";
    } else {
        const QByteArray source = makeSource(20000).toUtf8();
        while (uint64_t(bytes.size()) + source.size() <= max) bytes += source;
    }
    // Short comment lines up to the exact size.
    while (uint64_t(bytes.size()) < max) {
        const qsizetype n = std::min<qsizetype>(64, qsizetype(max) - bytes.size());
        bytes += n >= 2 ? QByteArray(n - 2, ';') + "\r\n" : QByteArray(n, ';');
    }
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

void BM_OpenAtTheLimits(benchmark::State& state) {
    const QString path = limitPath(state.range(0) != 0);
    for (auto _ : state) {
        CKorvanDoc* doc = g_app->openSourceDocument(path);
        if (!doc) return state.SkipWithError("refused");
        untilLoadedAndColoured(doc);
        CKorvanView* view = g_app->mainFrame()->activeSourceView();
        view->viewport()->repaint();
        view->moveCursor(QTextCursor::End);
        view->viewport()->repaint();
        state.PauseTiming();
        closeAll();
        state.ResumeTiming();
    }
    state.counters["bytes"] = double(kEditorLimits.maxBytes);
}
BENCHMARK(BM_OpenAtTheLimits)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// One key press in the middle of the large source: editing, recolouring and repainting.
void BM_KeystrokeIn20000Lines(benchmark::State& state) {
    untilLoadedAndColoured(g_app->openSourceDocument(sourcePath()));
    CKorvanView* view = g_app->mainFrame()->activeSourceView();
    QTextCursor c(view->document()->textDocument()->findBlockByNumber(10000));
    view->setTextCursor(c);
    view->centerCursor();
    int n = 0;
    for (auto _ : state) {
        const QString ch = (n++ % 40 == 39) ? QStringLiteral("\r") : QStringLiteral("a");
        const int key = ch == QStringLiteral("\r") ? Qt::Key_Return : Qt::Key_A;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, ch);
        QApplication::sendEvent(view, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, ch);
        QApplication::sendEvent(view, &release);
        view->viewport()->repaint();
    }
    closeAll();
}
BENCHMARK(BM_KeystrokeIn20000Lines)->Unit(benchmark::kMicrosecond);

// Typing that opens a block comment recolours the lines after it as far as the comment runs.
void BM_OpenBlockCommentKeystroke(benchmark::State& state) {
    untilLoadedAndColoured(g_app->openSourceDocument(sourcePath()));
    CKorvanView* view = g_app->mainFrame()->activeSourceView();
    QTextCursor c(view->document()->textDocument()->findBlockByNumber(100));
    view->setTextCursor(c);
    for (auto _ : state) {
        for (const char* t : {"/", "*"}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromLatin1(t));
            QApplication::sendEvent(view, &press);
        }
        view->viewport()->repaint();
        state.PauseTiming();
        view->undo();
        view->undo();
        state.ResumeTiming();
    }
    closeAll();
}
BENCHMARK(BM_OpenBlockCommentKeystroke)->Unit(benchmark::kMillisecond);

// A million short lines (the editor takes 4 MB at most): code, strings, line comments and
// keywords, and no block comment, so that a "/*" at the top runs to the very end.
QString millionLinesPath() {
    const QString path = g_dir->filePath(QStringLiteral("million.c"));
    if (QFile::exists(path)) return path;
    static const char* const kShort[] = {"int", "x=1", "\"s\"", "a;b", "//c", "i++", "char", "}"};
    QByteArray bytes;
    bytes.reserve(4 << 20);
    // Every four hundredth line is a comment as wide as a real source's wide lines.
    const QByteArray wide = "// " + QByteArray(77, '-') + '\n';
    for (int i = 0; i < 1000000; ++i) bytes += i % 400 == 20 ? wide : QByteArray(kShort[i % std::size(kShort)]) + '\n';
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// Opening a million-line source: the open call itself (reading the file and giving the text to
// the editor, first screen coloured) is one gap of the event loop; after it the rest is
// coloured in slices between the loop's turns. Reported: the longest gap between two turns of
// the loop from before the open until the whole text is coloured, the open call alone, and the
// time until the colouring was complete.
void BM_OpenMillionLines(benchmark::State& state) {
    const QString path = millionLinesPath();
    double longest = 0, openCall = 0, coloured = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        qint64 lastTurn = 0, gap = 0;
        QTimer turns;
        turns.setInterval(0);
        QObject::connect(&turns, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            gap = std::max(gap, now - lastTurn);
            lastTurn = now;
        });
        turns.start();
        clock.start();
        CKorvanDoc* doc = g_app->openSourceDocument(path);
        const qint64 opened = clock.nsecsElapsed();
        if (!doc) {
            state.SkipWithError("refused");
            break;
        }
        untilLoadedAndColoured(doc);
        QCoreApplication::processEvents();
        const qint64 done = clock.nsecsElapsed();
        turns.stop();
        if (doc->textDocument()->lastBlock().previous().layout()->formats().isEmpty())
            state.SkipWithError("the last line is not coloured");
        longest = std::max(longest, gap / 1e6);
        openCall = std::max(openCall, opened / 1e6);
        coloured = std::max(coloured, done / 1e6);
        state.SetIterationTime(double(done) / 1e9);
        state.PauseTiming();
        closeAll();
        state.ResumeTiming();
    }
    state.counters["longest_gap_ms"] = longest;
    state.counters["open_call_ms"] = openCall;
    state.counters["all_coloured_ms"] = coloured;
}
BENCHMARK(BM_OpenMillionLines)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

// One key press in the million-line source, from the key event until the event loop has
// handled everything the key caused (its edit, the colouring done at once, the repaint): one
// turn of the loop. Between keys the loop runs 30 ms, as between the keys of a fast typist,
// so the background colouring is still going when the next key comes. Argument 0: "/*" typed
// at the top and deleted again; 1: a letter typed in the middle and deleted.
void BM_KeystrokeMillionLines(benchmark::State& state) {
    CKorvanDoc* doc = g_app->openSourceDocument(millionLinesPath());
    if (!doc) return state.SkipWithError("refused");
    untilLoadedAndColoured(doc);
    SourceHighlighter* highlighter = highlighterOf(doc);
    CKorvanView* view = g_app->mainFrame()->activeSourceView();
    view->setTextCursor(QTextCursor(doc->textDocument()->findBlockByNumber(state.range(0) ? 500000 : 0)));
    view->centerCursor();
    QCoreApplication::processEvents();
    struct Key {
        int key;
        const char* text;
    };
    const std::vector<Key> keys =
        state.range(0)
            ? std::vector<Key>{{Qt::Key_A, "a"}, {Qt::Key_Backspace, ""}}
            : std::vector<Key>{
                  {Qt::Key_Slash, "/"}, {Qt::Key_Asterisk, "*"}, {Qt::Key_Backspace, ""}, {Qt::Key_Backspace, ""}};
    double slowest = 0;
    std::size_t n = 0;
    for (auto _ : state) {
        const Key& k = keys[n++ % keys.size()];
        QElapsedTimer clock;
        clock.start();
        QKeyEvent press(QEvent::KeyPress, k.key, Qt::NoModifier, QString::fromLatin1(k.text));
        QApplication::sendEvent(view, &press);
        QKeyEvent release(QEvent::KeyRelease, k.key, Qt::NoModifier, QString::fromLatin1(k.text));
        QApplication::sendEvent(view, &release);
        QCoreApplication::processEvents();
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        slowest = std::max(slowest, seconds * 1e3);
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 30) QCoreApplication::processEvents();
    }
    state.counters["slowest_key_ms"] = slowest;
    state.counters["colouring_pending"] = highlighter && highlighter->colouringPending() ? 1 : 0;
    closeAll();
}
BENCHMARK(BM_KeystrokeMillionLines)
    ->ArgName("middle")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    // Settings go to the temporary folder, never to the user's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    CKorvanApp app;
    g_app = &app;
    app.start();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
