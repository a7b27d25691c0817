// The error list's view and the jump to a diagnostic's source line.
#include "erreur_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>

#include "erreur_doc.h"
#include "error_rows.h"
#include "korvan_app.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "main_frame.h"
#include "texts.h"

namespace korvan::build {

using shell::CKorvanDoc;
using shell::CKorvanView;

CErreurView::CErreurView(shell::CKorvanApp& app, CErreurDoc* doc) : m_app(app), m_doc(doc) {
    setObjectName(QStringLiteral("ErrorListView"));
    setWindowTitle(app.text(shell::text::kErrorListTitle));
    // A report list: flat rows, whole-row selection, no sorting (the order is the message).
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setColumnCount(3);
    setHeaderLabels({app.text(shell::text::kErrorColumnFile), app.text(shell::text::kErrorColumnLine),
                     app.text(shell::text::kErrorColumnText)});
    // The file and line columns keep their widths; the description takes what is left.
    header()->setStretchLastSection(true);
    setColumnWidth(FileColumn, kFileWidth);
    setColumnWidth(LineColumn, kLineWidth);
    setColumnWidth(TextColumn, kTextWidth);
    QPalette pal = palette();
    pal.setColor(QPalette::Text, QColor(255, 0, 0));
    setPalette(pal);

    doc->attachView(this);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &CErreurView::jumpToSelectedRow);
}

QSize CErreurView::sizeHint() const {
    const int width = kFileWidth + kLineWidth + kTextWidth + 2 * frameWidth() +
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return {width, QTreeWidget::sizeHint().height()};
}

void CErreurView::AddErrorRow(int row, const QString& file, int line, const QString& text, int column) {
    auto* item = new QTreeWidgetItem;
    item->setText(FileColumn, file);
    item->setText(LineColumn, QString::fromStdString(lineColumnText(line, column)));
    item->setText(TextColumn, text);
    insertTopLevelItem(row, item);
}

void CErreurView::deleteAllRows() { clear(); }

void CErreurView::setEmptyText(const QString& text) {
    m_emptyText = text;
    viewport()->update();
}

QString CErreurView::emptyText() const { return topLevelItemCount() == 0 ? m_emptyText : QString(); }

void CErreurView::paintEvent(QPaintEvent* event) {
    QTreeWidget::paintEvent(event);
    const QString text = emptyText();
    if (text.isEmpty()) return;
    // Said in the list itself, in the normal text colour, so that an empty list after a clean
    // run is not taken for a failure.
    QPainter p(viewport());
    p.setPen(QApplication::palette().color(QPalette::WindowText));
    p.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

CKorvanDoc* CErreurView::findSourceDocument(const QString& path) const {
    shell::CMainFrame* frame = m_app.mainFrame();
    if (!frame) return nullptr;
    // Documents in the order their first windows were opened; the path must match exactly,
    // as the assembler reports full paths.
    for (QMdiSubWindow* w : frame->mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
        auto* view = qobject_cast<CKorvanView*>(w->widget());
        if (!view) continue;
        CKorvanDoc* doc = view->document();
        if (!doc->views().empty() && doc->path() == path) return doc;
    }
    return nullptr;
}

void CErreurView::jumpToSelectedRow() {
    QTreeWidgetItem* selected = nullptr;
    for (int i = 0; i < topLevelItemCount() && !selected; ++i)
        if (topLevelItem(i)->isSelected()) selected = topLevelItem(i);
    if (!selected) return;
    const QString file = selected->text(FileColumn);
    const std::string lineColumn = selected->text(LineColumn).toStdString();
    const std::optional<int> line = jumpTargetLine(lineColumn);
    if (!line) return;
    const int column = jumpTargetColumn(lineColumn);
    const auto goTo = [line, column](CKorvanView* view) {
        shell::GoToLine(view, *line);
        if (column <= 1) return;
        // The compiler counts columns on the screen, a tab reaching the next multiple of 8.
        QTextCursor c = view->textCursor();
        const QString text = c.block().text();
        int position = 0;
        for (int shown = 1; position < text.size(); ++position) {
            const int next = text[position] == u'\t' ? (shown - 1) / 8 * 8 + 9 : shown + 1;
            if (next > column) break;
            shown = next;
        }
        c.setPosition(c.block().position() + position);
        view->setTextCursor(c);
    };

    if (CKorvanDoc* doc = findSourceDocument(file)) {
        CKorvanView* view = doc->views().front();
        goTo(view);
        if (auto* window = qobject_cast<QMdiSubWindow*>(view->parentWidget()))
            m_app.mainFrame()->mdiArea()->setActiveSubWindow(window);
        return;
    }
    // Not open: a new window, which becomes the active one. A failure was shown to the user.
    CKorvanDoc* doc = m_app.openSourceDocument(file);
    if (!doc || doc->views().empty()) return;
    goTo(doc->views().front());
}

}  // namespace korvan::build
