// The source editor's debugging marks, through the real main window offscreen: the gutter's
// clicks and width, breakpoint marks and the current line following edits, the current line
// brought into view, and the red mark on screen.
#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QWheelEvent>

#include <algorithm>

#include "../workbench_harness.h"

using namespace korvan::shell;
using namespace wbtest;

namespace {

QString numberedLines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) lines << QStringLiteral("l%1").arg(i);
    return lines.join(u'\n');
}

QList<int> sorted(const QSet<int>& set) {
    QList<int> list(set.begin(), set.end());
    std::sort(list.begin(), list.end());
    return list;
}

QWidget* gutterOf(CKorvanView* view) { return view->findChild<QWidget*>(QStringLiteral("SourceGutter")); }

// Middle of a 1-based line in viewport (and gutter) coordinates.
int lineY(CKorvanView* view, int line) {
    QTextCursor c(view->QPlainTextEdit::document()->findBlockByNumber(line - 1));
    return view->cursorRect(c).center().y();
}

bool lineOnScreen(CKorvanView* view, int line) {
    QTextCursor c(view->QPlainTextEdit::document()->findBlockByNumber(line - 1));
    return view->viewport()->rect().contains(view->cursorRect(c));
}

}  // namespace

class TstEditor : public QObject, public Workbench {
    Q_OBJECT

    // A new untitled document holding text in a window of a known size; its view.
    CKorvanView* viewWith(const QString& text) {
        CKorvanView* view = startWithText(text);
        frame()->resize(800, 600);
        windowOf(view)->resize(600, 320);
        if (!QTest::qWaitForWindowExposed(frame())) return nullptr;
        QApplication::processEvents();
        return view;
    }

private slots:
    void initTestCase() { Workbench::initTestCase(); }
    void init() { Workbench::init(); }
    void cleanup() { Workbench::cleanup(); }

    void gutterClickAsksForItsLine_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("shown");  // current line set first, scrolling the view there
        QTest::addColumn<int>("line");   // 0: a click below the text, which asks nothing
        QTest::newRow("first") << 1000 << 0 << 1;
        QTest::newRow("fifth") << 1000 << 0 << 5;
        QTest::newRow("scrolled far down") << 1000 << 700 << 705;
        QTest::newRow("below the text") << 2 << 0 << 0;
    }
    void gutterClickAsksForItsLine() {
        QFETCH(int, lines);
        QFETCH(int, shown);
        QFETCH(int, line);
        CKorvanView* view = viewWith(numberedLines(lines));
        QVERIFY(view);
        if (shown) view->setCurrentLine(shown);
        QVERIFY(!line || lineOnScreen(view, line));
        QSignalSpy asked(view, &CKorvanView::breakpointToggleRequested);
        QTest::mouseClick(gutterOf(view), Qt::LeftButton, {},
                          QPoint(5, line ? lineY(view, line) : gutterOf(view)->height() - 3));
        QCOMPARE(asked.size(), line ? 1 : 0);
        if (line) QCOMPARE(asked.first().first().toInt(), line);
        // The view leaves its marks to the debugger.
        QVERIFY(view->breakpointLines().isEmpty());
    }

private:
    // Ten lines "l1".."l10", breakpoints on 3 and 7, current line 5. The edit replaces `remove`
    // characters from (line, column) with `insert`; line 0 reloads the whole text through the
    // view, -1 through the document, -2 deletes it all and types a new one.
    struct Edit {
        int line, column, remove;
        QString insert;
        QList<int> breakpoints;
        int current;
        bool moved;
    };
private slots:
    void marksFollowEdits_data() {
        QTest::addColumn<Edit>("edit");
        const QList<std::pair<const char*, Edit>> edits{
            {"line inserted at the top", {1, 0, 0, "new\n", {4, 8}, 6, true}},
            {"Enter at the start of a marked line", {3, 0, 0, "\n", {4, 8}, 6, true}},
            {"Enter at the end of a marked line", {3, 2, 0, "\n", {3, 8}, 6, true}},
            {"typing at the start of a marked line", {3, 0, 0, "x", {3, 7}, 5, false}},
            {"edit below every mark", {9, 1, 1, "\n\n", {3, 7}, 5, false}},
            {"marked line deleted", {3, 0, 3, "", {3, 6}, 4, true}},
            {"marked line joined to the one above", {7, 0, -1, "", {3, 6}, 5, true}},
            {"lines 3 to 7 deleted", {3, 0, 15, "", {3}, 3, true}},
            {"reload, longer", {0, 0, 0, numberedLines(20), {3, 7}, 5, false}},
            {"document reloaded", {-1, 0, 0, numberedLines(12), {3, 7}, 5, false}},
            {"all deleted, then typing", {-2, 0, 0, "a\nb\nc", {3}, 0, true}},
            {"reload, shorter", {0, 0, 0, numberedLines(4), {3}, 0, true}},
        };
        for (const auto& [name, edit] : edits) QTest::newRow(name) << edit;
    }
    void marksFollowEdits() {
        QFETCH(Edit, edit);
        const auto& [line, column, remove, insert, breakpoints, current, moved] = edit;
        CKorvanView* view = viewWith(numberedLines(10));
        QVERIFY(view);
        view->setBreakpointLines({3, 7, 0, 11});  // out of the text: ignored
        view->setCurrentLine(5);
        QCOMPARE(sorted(view->breakpointLines()), (QList<int>{3, 7}));
        QSignalSpy movedSpy(view, &CKorvanView::breakpointLinesMoved);
        QSignalSpy asked(view, &CKorvanView::breakpointToggleRequested);
        if (line == 0) {
            view->setPlainText(insert);
        } else if (line == -1) {
            view->QPlainTextEdit::document()->setPlainText(insert);
        } else if (line == -2) {
            view->selectAll();
            view->textCursor().removeSelectedText();
            view->textCursor().insertText(insert);
        } else {
            QTextCursor c(view->QPlainTextEdit::document()->findBlockByNumber(line - 1));
            c.setPosition(c.position() + column);
            if (remove < 0)
                c.deletePreviousChar();
            else
                c.setPosition(c.position() + remove, QTextCursor::KeepAnchor);
            c.insertText(insert);
        }
        QCOMPARE(sorted(view->breakpointLines()), breakpoints);
        QCOMPARE(view->currentLine(), current);
        QCOMPARE(movedSpy.isEmpty(), !moved);
        QCOMPARE(asked.size(), 0);
        // The current line's background follows too, after the caret line's.
        const QList<QTextEdit::ExtraSelection> marks = view->extraSelections();
        QCOMPARE(marks.size(), current ? 2 : 1);
        QCOMPARE(marks.first().format.background().color(), CKorvanView::caretLineColour());
        if (current) {
            QCOMPARE(marks.last().format.background().color(), CKorvanView::currentLineColour());
            QCOMPARE(marks.last().cursor.blockNumber(), current - 1);
        }
    }

    void currentLineIsBroughtIntoView() {
        CKorvanView* view = viewWith(numberedLines(1000));
        QVERIFY(view);
        QVERIFY(!lineOnScreen(view, 800));
        view->setCurrentLine(800);
        QCOMPARE(view->currentLine(), 800);
        QVERIFY(lineOnScreen(view, 800));
        // Near the middle of the view, and the caret went there.
        const int y = lineY(view, 800), h = view->viewport()->height();
        QVERIFY2(y > h / 4 && y < h * 3 / 4, qPrintable(QStringLiteral("%1 of %2").arg(y).arg(h)));
        QCOMPARE(view->caretLine(), 799);
        // A line already on screen moves neither the view nor the caret.
        const int scroll = view->verticalScrollBar()->value();
        view->setCurrentLine(802);
        QCOMPARE(view->verticalScrollBar()->value(), scroll);
        QCOMPARE(view->caretLine(), 799);
        QCOMPARE(view->currentLine(), 802);
        // The wheel over the gutter scrolls the text.
        QWheelEvent wheel(QPointF(5, 5), gutterOf(view)->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(gutterOf(view), &wheel);
        QVERIFY(view->verticalScrollBar()->value() > scroll);
        // Back to the top, and none.
        view->setCurrentLine(2);
        QVERIFY(lineOnScreen(view, 2));
        view->setCurrentLine(0);
        QCOMPARE(view->currentLine(), 0);
        QCOMPARE(view->extraSelections().size(), 1);
    }

    void gutterGrowsWithTheLineCount() {
        CKorvanView* view = viewWith(numberedLines(10));
        QVERIFY(view);
        const int small = view->gutterWidth();
        QCOMPARE(gutterOf(view)->width(), small);
        QVERIFY(view->viewport()->geometry().left() >= small);
        view->setPlainText(numberedLines(100000));
        QApplication::processEvents();
        const int big = view->gutterWidth();
        QVERIFY2(big > small, qPrintable(QStringLiteral("%1 <= %2").arg(big).arg(small)));
        QCOMPARE(gutterOf(view)->width(), big);
        QVERIFY(view->viewport()->geometry().left() >= big);
    }

    void breakpointMarkIsRed() {
        CKorvanView* view = viewWith(numberedLines(10));
        QVERIFY(view);
        view->setBreakpointLines({2});
        QApplication::processEvents();
        const QImage image = gutterOf(view)->grab().toImage();
        const qreal ratio = image.devicePixelRatio();
        auto redAt = [&](int line) {
            const int y = qRound(lineY(view, line) * ratio);
            for (int x = 0; x < image.width() / 2; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 180 && c.green() < 90 && c.blue() < 90) return true;
            }
            return false;
        };
        QVERIFY(redAt(2));
        QVERIFY(!redAt(1));
        QVERIFY(!redAt(3));
    }
};

QTEST_MAIN(TstEditor)
#include "tst_editor.moc"
