// The editor view of a source document: plain-text editing, caret line tracking for the status
// bar, go to line, find and replace, and printing.
#pragma once

#include <QPlainTextEdit>
#include <QPointer>

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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void registerCommands();
    void markCaretLine();
    CMainFrame* frame() const;
    void showFindDialog(bool replace);

    CKorvanApp& m_app;
    CKorvanDoc* m_doc;
};

// Moves the view's caret to a 0-based line as line-up or line-down movements from the caret
// line would, keeping the caret's column as the editor does: a negative target goes to the
// first line, a target beyond the end to the last. The main frame's currentLine follows.
void GoToLine(CKorvanView* view, int target);

}  // namespace korvan::shell
