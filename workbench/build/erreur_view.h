// The error list's view: one row per diagnostic (file, line, text) in red, and the jump from a
// double-clicked row to its line in a source window.
#pragma once

#include <QTreeWidget>

namespace korvan::shell {
class CKorvanApp;
class CKorvanDoc;
}  // namespace korvan::shell

namespace korvan::build {

class CErreurDoc;

class CErreurView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { FileColumn = 0, LineColumn = 1, TextColumn = 2 };
    static constexpr int kFileWidth = 250;
    static constexpr int kLineWidth = 50;
    static constexpr int kTextWidth = 400;

    // The view takes ownership of doc.
    CErreurView(shell::CKorvanApp& app, CErreurDoc* doc);

    CErreurDoc* document() const { return m_doc; }
    // Wide enough to show the three columns whole.
    QSize sizeHint() const override;

    // Inserts one row at position row; a line below 1 leaves the line column blank, a column
    // above 0 shows as "LINE:COLUMN".
    void AddErrorRow(int row, const QString& file, int line, const QString& text, int column = 0);
    void deleteAllRows();
    // What the list says while it has no row (the run had no error), or empty.
    void setEmptyText(const QString& text);
    QString emptyText() const;

    // The double-click: the first selected row's file is brought up at the row's line (and
    // column, for a compiler's diagnostic), either
    // in the open source document of exactly that path or in a new window. Rows without a line
    // above 0 do nothing; a file that cannot be opened is reported and nothing moves.
    void jumpToSelectedRow();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    shell::CKorvanDoc* findSourceDocument(const QString& path) const;

    shell::CKorvanApp& m_app;
    CErreurDoc* m_doc;
    QString m_emptyText;
};

}  // namespace korvan::build
