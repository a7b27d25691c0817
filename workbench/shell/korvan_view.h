// The editor view of a source document: plain-text editing, caret line tracking for the status
// bar, go to line, find and replace, printing, and a gutter of line numbers with the debugger's
// marks.
#pragma once

#include <QList>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>

#include "command_target.h"

class QPrinter;

namespace korvan::shell {

class CKorvanApp;
class CKorvanDoc;
class CMainFrame;

class CKorvanView : public QPlainTextEdit, public CommandTarget {
    Q_OBJECT
public:
    CKorvanView(CKorvanApp& app, CKorvanDoc& doc);
    ~CKorvanView() override;

    CKorvanDoc* document() const { return m_doc; }
    CommandTarget* nextTarget() const override;

    // Caret line index, counted from 0.
    int caretLine() const;
    // The go-to-line command: dialog pre-filled with the caret line counted from 1.
    void goToLineCommand();
    // Searches from the caret for the frame's find state; wraps round once. Returns false
    // (after telling the user when report is set) when the text is not found.
    bool findNext(bool report = true);
    bool replaceCurrent();
    int replaceAll();
    // Prints the text with its colours, margins of half an inch.
    void printTo(QPrinter& printer) const;
    // The background that marks the caret's line.
    static QColor caretLineColour();

    // Debugging marks, lines counted from 1. Breakpoint lines show a red mark in the gutter; the
    // current line (where the module stopped) has a background of its own and an arrow. Marks are
    // attached to the text: a line inserted above a mark moves it down, a deleted line's mark
    // lands on the line that takes its place, and a reload of the whole text keeps the numbers.
    // Lines outside the text are ignored.
    void setBreakpointLines(const QSet<int>& lines);
    QSet<int> breakpointLines() const;
    // 0 = none. A line already in sight is only highlighted; one out of sight is centred in the
    // view and the caret goes to its start.
    void setCurrentLine(int line);
    int currentLine() const;
    static QColor currentLineColour();
    // Width of the gutter of line numbers and marks, in pixels.
    int gutterWidth() const;

signals:
    // A click in the gutter beside a line (the view does not change its marks itself).
    void breakpointToggleRequested(int line);
    // An edit of the text moved or merged breakpoint marks: breakpointLines() has changed.
    void breakpointLinesMoved();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    class Gutter;

    void registerCommands();
    void markCaretLine();
    void updateGutterWidth();
    void updateGutter(const QRect& rect, int dy);
    void paintGutter(QPaintEvent* event);
    void gutterClicked(int y);
    void followEdit(int position, int removed, int added);
    QTextCursor lineMark(int line) const;
    bool lineInSight(const QTextBlock& target) const;
    CMainFrame* frame() const;
    void showFindDialog(bool replace);

    CKorvanApp& m_app;
    CKorvanDoc* m_doc;
    Gutter* m_gutter = nullptr;
    // One cursor at the start of each marked line: the document moves them with its edits.
    QList<QTextCursor> m_breakpoints;
    QSet<int> m_breakpointBlocks;  // their block numbers, kept with them
    QTextCursor m_current;         // null when no current line
    int m_currentBlock = -1;
    int m_textLength = 0;    // characters before the latest edit, to recognise a whole reload
    bool m_emptied = false;  // the latest edit removed all the text
};

// Moves the view's caret to a 0-based line as line-up or line-down movements from the caret
// line would, keeping the caret's column as the editor does: a negative target goes to the
// first line, a target beyond the end to the last. The main frame's currentLine follows.
void GoToLine(CKorvanView* view, int target);

}  // namespace korvan::shell
