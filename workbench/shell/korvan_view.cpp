// The source editor view and its commands.
#include "korvan_view.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextDocument>

#include <memory>

#include "commands.h"
#include "dialogs.h"
#include "korvan_app.h"
#include "korvan_doc.h"
#include "main_frame.h"
#include "source_text.h"

namespace korvan::shell {

namespace {
QPointer<CFindReplaceDlg> g_findDialog;

QTextDocument::FindFlags findFlags(const FindState& s) {
    QTextDocument::FindFlags flags;
    if (s.matchCase) flags |= QTextDocument::FindCaseSensitively;
    if (s.wholeWord) flags |= QTextDocument::FindWholeWords;
    if (s.up) flags |= QTextDocument::FindBackward;
    return flags;
}
}  // namespace

CKorvanView::CKorvanView(CKorvanApp& app, CKorvanDoc& doc) : m_app(app), m_doc(&doc) {
    setObjectName(QStringLiteral("SourceView"));
    setDocument(doc.textDocument());
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(editorFont());
    setTabStopDistance(fontMetrics().horizontalAdvance(u' ') * 8);
    doc.addView(this);
    registerCommands();
    app.installViewCommands(*this);
    auto refresh = [this] {
        if (CMainFrame* f = frame()) f->scheduleUiUpdate();
    };
    connect(this, &QPlainTextEdit::copyAvailable, this, refresh);
    connect(this, &QPlainTextEdit::undoAvailable, this, refresh);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CKorvanView::markCaretLine);
    markCaretLine();
}

QColor CKorvanView::caretLineColour() { return QColor(255, 250, 205); }

void CKorvanView::markCaretLine() {
    // The caret's line gets a light background across the whole width, so that a line reached
    // from the error list or by Go to line is easy to find.
    QTextEdit::ExtraSelection line;
    line.format.setBackground(caretLineColour());
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    setExtraSelections({line});
}

CKorvanView::~CKorvanView() {
    if (m_doc) m_doc->viewDestroyed(this);
    if (CMainFrame* f = frame()) f->sourceViewClosed();
}

CommandTarget* CKorvanView::nextTarget() const { return m_doc; }

CMainFrame* CKorvanView::frame() const { return m_app.mainFrame(); }

int CKorvanView::caretLine() const { return textCursor().blockNumber(); }

void CKorvanView::registerCommands() {
    auto hasSelection = [this] { return textCursor().hasSelection(); };
    setHandler(cmd::kEditUndo,
               {[this] { undo(); }, [this] { return QPlainTextEdit::document()->isUndoAvailable(); }, {}});
    setHandler(cmd::kEditCut, {[this] { cut(); }, hasSelection, {}});
    setHandler(cmd::kEditCopy, {[this] { copy(); }, hasSelection, {}});
    setHandler(cmd::kEditPaste, {[this] { paste(); }, [this] { return canPaste(); }, {}});
    setHandler(cmd::kEditSelectAll, {[this] { selectAll(); }, {}, {}});
    setHandler(cmd::kEditFind, {[this] { showFindDialog(false); }, {}, {}});
    setHandler(cmd::kEditReplace, {[this] { showFindDialog(true); }, {}, {}});
    setHandler(cmd::kEditRepeat, {[this] {
                                      if (frame() && !frame()->findState().what.isEmpty())
                                          findNext();
                                      else
                                          showFindDialog(false);
                                  },
                                  {},
                                  {}});
    setHandler(cmd::kGoToLine, {[this] { goToLineCommand(); }, {}, {}});
    setHandler(cmd::kFilePrint, {[this] {
                                     QPrintDialog dlg(&m_app.printer(), this);
                                     if (dlg.exec() == QDialog::Accepted) printTo(m_app.printer());
                                 },
                                 {},
                                 {}});
    setHandler(cmd::kFilePrintDirect, {[this] { printTo(m_app.printer()); }, {}, {}});
    setHandler(cmd::kFilePrintPreview, {[this] {
                                            QPrintPreviewDialog dlg(&m_app.printer(), this);
                                            connect(&dlg, &QPrintPreviewDialog::paintRequested, this,
                                                    [this](QPrinter* p) { printTo(*p); });
                                            dlg.exec();
                                        },
                                        {},
                                        {}});
}

void CKorvanView::keyPressEvent(QKeyEvent* event) {
    // Alt with a character is a menu key: one that opens no menu must not type into the source.
    // Control with Alt is left alone, as some keyboards produce characters with it (AltGr).
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !event->text().isEmpty() &&
        event->text().at(0).isPrint()) {
        event->ignore();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    // Only the keyboard moves the line shown in the status bar; mouse clicks leave it.
    if (CMainFrame* f = frame()) f->setCurrentLine(caretLine() + 1);
}

bool CKorvanView::canInsertFromMimeData(const QMimeData* source) const {
    const QList<QUrl> urls = source->urls();
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); })) return true;
    return QPlainTextEdit::canInsertFromMimeData(source);
}

void CKorvanView::insertFromMimeData(const QMimeData* source) {
    // Files dropped on an editor open in windows of their own, as on the main window.
    const QList<QUrl> urls = source->urls();
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); })) {
        for (const QUrl& url : urls)
            if (url.isLocalFile()) m_app.openSourceDocument(url.toLocalFile());
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

void CKorvanView::goToLineCommand() {
    const int current = caretLine();
    CALigne dlg(m_app, current + 1, this);
    if (dlg.exec() == QDialog::Accepted) GoToLine(this, dlg.line() - 1);
}

void GoToLine(CKorvanView* view, int target) {
    QTextCursor c = view->textCursor();
    const int current = c.blockNumber();
    const int dest = goToLineDestination(view->blockCount(), target);
    if (dest != current) {
        // Vertical moves keep the caret's column the way the arrow keys do.
        c.movePosition(current < dest ? QTextCursor::Down : QTextCursor::Up, QTextCursor::MoveAnchor,
                       std::abs(dest - current));
        view->setTextCursor(c);
    }
    view->ensureCursorVisible();
    if (CMainFrame* f = CKorvanApp::instance() ? CKorvanApp::instance()->mainFrame() : nullptr)
        f->setCurrentLine(view->caretLine() + 1);
}

void CKorvanView::showFindDialog(bool replace) {
    CMainFrame* f = frame();
    if (!f) return;
    if (g_findDialog && g_findDialog->isReplace() != replace) g_findDialog->close();
    if (!g_findDialog) {
        g_findDialog = new CFindReplaceDlg(m_app, replace, f);
        g_findDialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    FindState& state = f->findState();
    const QString selected = textCursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator)) state.what = selected;
    g_findDialog->loadState(state);
    g_findDialog->show();
    g_findDialog->raise();
    g_findDialog->activateWindow();
}

bool CKorvanView::findNext(bool report) {
    CMainFrame* f = frame();
    if (!f || f->findState().what.isEmpty()) return false;
    const FindState& s = f->findState();
    const auto flags = findFlags(s);
    if (find(s.what, flags)) return true;
    // Wrap round once from the other end of the text.
    const QTextCursor saved = textCursor();
    QTextCursor c(QPlainTextEdit::document());
    c.movePosition(s.up ? QTextCursor::End : QTextCursor::Start);
    setTextCursor(c);
    if (find(s.what, flags)) return true;
    setTextCursor(saved);
    if (report) {
        QMessageBox::information(f, m_app.text(text::kAppTitle), m_app.text(text::kNotFound).arg(s.what));
    }
    return false;
}

bool CKorvanView::replaceCurrent() {
    CMainFrame* f = frame();
    if (!f) return false;
    const FindState& s = f->findState();
    QTextCursor c = textCursor();
    const Qt::CaseSensitivity cs = s.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (c.hasSelection() && c.selectedText().compare(s.what, cs) == 0) {
        c.insertText(s.replaceWith);
        setTextCursor(c);
    }
    return findNext();
}

int CKorvanView::replaceAll() {
    CMainFrame* f = frame();
    if (!f || f->findState().what.isEmpty()) return 0;
    FindState s = f->findState();
    s.up = false;
    QTextDocument* doc = QPlainTextEdit::document();
    QTextCursor edit(doc);
    edit.beginEditBlock();
    int count = 0;
    QTextCursor found = doc->find(s.what, 0, findFlags(s));
    while (!found.isNull()) {
        found.insertText(s.replaceWith);
        ++count;
        found = doc->find(s.what, found.position(), findFlags(s));
    }
    edit.endEditBlock();
    return count;
}

void CKorvanView::printTo(QPrinter& printer) const {
    // The colours live in the editor's layout, not in the text: copy them into a print copy.
    QTextDocument* source = QPlainTextEdit::document();
    std::unique_ptr<QTextDocument> copy(source->clone());
    copy->setDefaultFont(editorFont());
    QTextCursor cursor(copy.get());
    QTextBlock from = source->begin();
    for (QTextBlock to = copy->begin(); from.isValid() && to.isValid(); from = from.next(), to = to.next()) {
        if (!from.layout()) continue;
        for (const QTextLayout::FormatRange& range : from.layout()->formats()) {
            cursor.setPosition(to.position() + range.start);
            cursor.setPosition(to.position() + range.start + range.length, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(range.format);
        }
    }
    printer.setPageMargins(QMarginsF(12.7, 12.7, 12.7, 12.7), QPageLayout::Millimeter);
    // A page size of its own stops print() from adding margins beyond the printer's.
    copy->setDocumentMargin(0);
    copy->documentLayout()->setPaintDevice(&printer);
    copy->setPageSize(printer.pageRect(QPrinter::DevicePixel).size());
    copy->print(&printer);
}

}  // namespace korvan::shell
