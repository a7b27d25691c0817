// The source editor view and its commands.
#include "korvan_view.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
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

// The strip left of the text: line numbers, breakpoint marks and the current-line arrow. The view
// paints it and takes its clicks.
class CKorvanView::Gutter : public QWidget {
public:
    explicit Gutter(CKorvanView* view) : QWidget(view), m_view(view) { setObjectName(QStringLiteral("SourceGutter")); }
    QSize sizeHint() const override { return {m_view->gutterWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { m_view->paintGutter(event); }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            m_view->gutterClicked(qRound(event->position().y()));
        else
            QWidget::mousePressEvent(event);
    }

    // The wheel over the gutter scrolls the text, as it does over the text.
    void wheelEvent(QWheelEvent* event) override { QCoreApplication::sendEvent(m_view->viewport(), event); }

private:
    CKorvanView* m_view;
};

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

    m_gutter = new Gutter(this);
    m_textLength = QPlainTextEdit::document()->characterCount();
    connect(this, &QPlainTextEdit::blockCountChanged, this, &CKorvanView::updateGutterWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, &CKorvanView::updateGutter);
    connect(QPlainTextEdit::document(), &QTextDocument::contentsChange, this, &CKorvanView::followEdit);
    updateGutterWidth();
}

QColor CKorvanView::caretLineColour() { return QColor(255, 250, 205); }

QColor CKorvanView::currentLineColour() { return QColor(255, 221, 51); }

void CKorvanView::markCaretLine() {
    // The caret's line gets a light background across the whole width, so that a line reached
    // from the error list or by Go to line is easy to find.
    QTextEdit::ExtraSelection line;
    line.format.setBackground(caretLineColour());
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    QList<QTextEdit::ExtraSelection> marks{line};
    // The line where the module stopped comes last so that it shows even under the caret.
    if (!m_current.isNull()) {
        QTextEdit::ExtraSelection stop;
        stop.format.setBackground(currentLineColour());
        stop.format.setProperty(QTextFormat::FullWidthSelection, true);
        stop.cursor = m_current;
        marks << stop;
    }
    setExtraSelections(marks);
}

int CKorvanView::gutterWidth() const {
    // Room for the mark, then the numbers with at least three digits so that small files do not
    // change the width as they grow. A text still loading has room for all its lines at once:
    // each change of the width lays out every line again.
    int digits = 1;
    for (int n = std::max(1, m_doc ? m_doc->lineCount() : blockCount()); n >= 10; n /= 10) ++digits;
    const QFontMetrics fm = fontMetrics();
    return 4 + fm.height() + 2 + fm.horizontalAdvance(u'9') * std::max(3, digits) + 6;
}

void CKorvanView::updateGutterWidth() {
    const int width = gutterWidth();
    if (viewportMargins().left() != width) setViewportMargins(width, 0, 0, 0);
    if (m_gutter) {
        const QRect r = contentsRect();
        m_gutter->setGeometry(QRect(r.left(), r.top(), width, r.height()));
    }
}

void CKorvanView::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    updateGutterWidth();
}

void CKorvanView::updateGutter(const QRect& rect, int dy) {
    if (dy)
        m_gutter->scroll(0, dy);
    else
        m_gutter->update(0, rect.y(), m_gutter->width(), rect.height());
}

void CKorvanView::paintGutter(QPaintEvent* event) {
    QPainter p(m_gutter);
    p.fillRect(event->rect(), QColor(240, 240, 240));
    p.setFont(font());
    const QFontMetrics fm = fontMetrics();
    const int markSize = fm.height() - 2;
    const int numbersRight = m_gutter->width() - 6;
    const int currentBlock = m_current.isNull() ? -1 : m_currentBlock;
    // Only the blocks in sight are visited: the cost does not grow with the file.
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    const int stop = event->rect().bottom();
    while (block.isValid() && top <= stop) {
        const qreal height = blockBoundingRect(block).height();
        const int number = block.blockNumber();
        if (block.isVisible() && top + height >= event->rect().top()) {
            const int y = qRound(top);
            const QRectF mark(4, y + 1 + (fm.height() - markSize) / 2.0, markSize, markSize);
            p.setRenderHint(QPainter::Antialiasing, true);
            if (m_breakpointBlocks.contains(number)) {
                p.setPen(QColor(140, 0, 0));
                p.setBrush(QColor(220, 30, 30));
                p.drawEllipse(mark.adjusted(1, 1, -1, -1));
            }
            if (number == currentBlock) {
                QPainterPath arrow;
                const qreal mid = mark.center().y();
                const qreal half = markSize / 2.0 - 1;
                arrow.moveTo(mark.left() + 1, mid - half / 2);
                arrow.lineTo(mark.center().x(), mid - half / 2);
                arrow.lineTo(mark.center().x(), mid - half);
                arrow.lineTo(mark.right() - 1, mid);
                arrow.lineTo(mark.center().x(), mid + half);
                arrow.lineTo(mark.center().x(), mid + half / 2);
                arrow.lineTo(mark.left() + 1, mid + half / 2);
                arrow.closeSubpath();
                p.setPen(QColor(90, 70, 0));
                p.setBrush(currentLineColour());
                p.drawPath(arrow);
            }
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(number == currentBlock ? QColor(0, 0, 0) : QColor(128, 128, 128));
            p.drawText(QRect(0, y, numbersRight, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(number + 1));
        }
        top += height;
        block = block.next();
    }
}

void CKorvanView::gutterClicked(int y) {
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= y) {
        const qreal bottom = top + blockBoundingRect(block).height();
        if (block.isVisible() && y < bottom) {
            emit breakpointToggleRequested(block.blockNumber() + 1);
            return;
        }
        top = bottom;
        block = block.next();
    }
    // Below the last line: nothing to toggle.
}

QTextCursor CKorvanView::lineMark(int line) const {
    if (m_doc && m_doc->isLoading() && line > blockCount()) m_doc->finishLoading();
    const QTextBlock block = QPlainTextEdit::document()->findBlockByNumber(line - 1);
    return line >= 1 && block.isValid() ? QTextCursor(block) : QTextCursor();
}

void CKorvanView::setBreakpointLines(const QSet<int>& lines) {
    QList<int> sorted(lines.begin(), lines.end());
    std::sort(sorted.begin(), sorted.end());
    m_breakpoints.clear();
    m_breakpointBlocks.clear();
    for (int line : sorted) {
        const QTextCursor mark = lineMark(line);
        if (mark.isNull()) continue;
        m_breakpoints << mark;
        m_breakpointBlocks.insert(line - 1);
    }
    m_gutter->update();
}

QSet<int> CKorvanView::breakpointLines() const {
    QSet<int> lines;
    for (int block : m_breakpointBlocks) lines.insert(block + 1);
    return lines;
}

int CKorvanView::currentLine() const { return m_current.isNull() ? 0 : m_currentBlock + 1; }

bool CKorvanView::lineInSight(const QTextBlock& target) const {
    QTextBlock block = firstVisibleBlock();
    if (!target.isValid() || target.blockNumber() < block.blockNumber()) return false;
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    const int height = viewport()->height();
    while (block.isValid() && top < height) {
        const qreal bottom = top + blockBoundingRect(block).height();
        if (block == target) return top >= 0 && bottom <= height;
        top = bottom;
        block = block.next();
    }
    return false;
}

void CKorvanView::setCurrentLine(int line) {
    // A line already in sight is only highlighted: neither the view nor the caret moves, so a
    // student reading or editing elsewhere on the screen keeps the place. A line out of sight is
    // brought to the middle of the view and the caret goes to its start, as the student's eyes
    // do: a caret left off screen would pull the view back at the next key, and commands on the
    // caret's line (a breakpoint, run to cursor) then act on the line being looked at.
    m_current = lineMark(line);
    m_currentBlock = m_current.isNull() ? -1 : line - 1;
    markCaretLine();
    m_gutter->update();
    if (m_current.isNull() || lineInSight(m_current.block())) return;
    setTextCursor(m_current);
    centerCursor();
}

void CKorvanView::followEdit(int position, int removed, int added) {
    const int lengthBefore = m_textLength;
    QTextDocument* text = QPlainTextEdit::document();
    m_textLength = text->characterCount();
    if (m_breakpoints.isEmpty() && m_current.isNull()) return;
    const QSet<int> before = m_breakpointBlocks;
    const int currentBefore = m_currentBlock;
    const bool wholeText = position == 0 && removed > 0 && removed >= lengthBefore - 1;
    const bool refilled = m_emptied && position == 0 && lengthBefore == 1;
    m_emptied = false;
    if (wholeText && added == 0 && m_textLength == 1) {
        // All the text went: a reload clears the text before it fills it again. The marks keep
        // their numbers until the next edit, which decides whether they still exist.
        m_emptied = true;
        return;
    }
    if (wholeText || refilled) {
        // The whole text was replaced (a reload from disk): the marks keep their line numbers.
        QList<int> blocks(before.begin(), before.end());
        std::sort(blocks.begin(), blocks.end());
        m_breakpoints.clear();
        m_breakpointBlocks.clear();
        for (int block : blocks) {
            const QTextCursor mark = lineMark(block + 1);
            if (mark.isNull()) continue;
            m_breakpoints << mark;
            m_breakpointBlocks.insert(block);
        }
        if (!m_current.isNull()) {
            m_current = lineMark(currentBefore + 1);
            m_currentBlock = m_current.isNull() ? -1 : currentBefore;
        }
    } else {
        // The document has moved each mark's cursor with the edit. Put each back at the start of
        // its line, so that a line inserted at the start of a marked line pushes the mark down
        // with the line's text; marks that met on one line (lines deleted) become one.
        m_breakpointBlocks.clear();
        QList<QTextCursor> kept;
        for (QTextCursor& mark : m_breakpoints) {
            const QTextBlock block = mark.block();
            if (m_breakpointBlocks.contains(block.blockNumber())) continue;
            mark.setPosition(block.position());
            m_breakpointBlocks.insert(block.blockNumber());
            kept << mark;
        }
        m_breakpoints = kept;
        if (!m_current.isNull()) {
            m_current.setPosition(m_current.block().position());
            m_currentBlock = m_current.blockNumber();
        }
    }
    if (m_currentBlock != currentBefore) markCaretLine();
    if (m_breakpointBlocks != before || m_currentBlock != currentBefore) m_gutter->update();
    if (m_breakpointBlocks != before) emit breakpointLinesMoved();
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
    // The main frame follows the active editor's caret; a key also records the line here.
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
    if (CKorvanDoc* doc = view->document()) doc->finishLoading();
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
