// Go to line, about, find and replace dialogs.
#include "dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "dialog_fit.h"
#include "korvan_app.h"
#include "korvan_view.h"
#include "main_frame.h"

namespace korvan::shell {

CALigne::CALigne(CKorvanApp& app, int line, QWidget* parent) : QDialog(parent), m_app(app), m_line(line) {
    setObjectName(QStringLiteral("GoToLineDialog"));
    setWindowTitle(app.text(text::kGoToTitle));
    auto* label = new QLabel(app.text(text::kGoToLabel), this);
    m_field = new QLineEdit(QString::number(line), this);
    m_field->setObjectName(QStringLiteral("LineField"));
    m_field->selectAll();
    label->setBuddy(m_field);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(app.text(text::kGoToOk), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(app.text(text::kGoToCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_field);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    fitTitle(this);
}

void CALigne::accept() {
    bool ok = false;
    const int value = m_field->text().trimmed().toInt(&ok);
    if (!ok) {
        QMessageBox::warning(this, m_app.text(text::kAppTitle), m_app.text(text::kEnterInteger));
        m_field->setFocus();
        m_field->selectAll();
        return;
    }
    m_line = value;
    QDialog::accept();
}

// ---------------------------------------------------------------------------------------------

CAboutDlg::CAboutDlg(CKorvanApp& app, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(app.text(text::kAboutTitle));
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("AboutList"));
    m_list->addItem(app.text(text::kAboutLegal) + QStringLiteral("  ") + app.text(text::kAboutCompany));
    m_list->addItem(app.text(text::kAboutVersion) + app.fileVersion());
    m_list->addItem(QStringLiteral("---------------------------------"));
    m_list->addItem(app.text(text::kAboutOriginalName) + QFileInfo(app.modulePath()).fileName());
    m_list->addItem(app.text(text::kAboutDescription) + app.text(text::kAboutFileDescription));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(app.text(text::kAboutOk), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(m_list);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    // The list is as wide as its longest line and as high as its lines, whatever the font.
    const QFontMetrics metrics = m_list->fontMetrics();
    int widest = 0;
    for (int i = 0; i < m_list->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(m_list->item(i)->text()));
    const int chrome = 2 * m_list->frameWidth() + 4 * metrics.averageCharWidth();
    m_list->setMinimumSize(widest + chrome, (m_list->count() + 1) * metrics.lineSpacing() + chrome);
    fitTitle(this);
}

// ---------------------------------------------------------------------------------------------

CFindReplaceDlg::CFindReplaceDlg(CKorvanApp& app, bool replace, QWidget* parent)
    : QDialog(parent), m_app(app), m_replace(replace) {
    setObjectName(replace ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));
    setWindowTitle(app.text(replace ? text::kReplaceTitle : text::kFindTitle));
    setModal(false);
    auto* grid = new QGridLayout(this);
    m_what = new QLineEdit(this);
    m_what->setObjectName(QStringLiteral("FindWhat"));
    auto* whatLabel = new QLabel(app.text(text::kFindWhat), this);
    whatLabel->setBuddy(m_what);
    grid->addWidget(whatLabel, 0, 0);
    grid->addWidget(m_what, 0, 1);
    int row = 1;
    if (replace) {
        m_with = new QLineEdit(this);
        m_with->setObjectName(QStringLiteral("ReplaceWith"));
        auto* withLabel = new QLabel(app.text(text::kReplaceWith), this);
        withLabel->setBuddy(m_with);
        grid->addWidget(withLabel, row, 0);
        grid->addWidget(m_with, row++, 1);
    }
    m_wholeWord = new QCheckBox(app.text(text::kWholeWord), this);
    m_matchCase = new QCheckBox(app.text(text::kMatchCase), this);
    grid->addWidget(m_wholeWord, row++, 0, 1, 2);
    grid->addWidget(m_matchCase, row++, 0, 1, 2);
    if (!replace) {
        m_up = new QCheckBox(app.text(text::kSearchUp), this);
        grid->addWidget(m_up, row++, 0, 1, 2);
    }
    auto* buttons = new QVBoxLayout;
    auto* next = new QPushButton(app.text(text::kFindNextButton), this);
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, &CFindReplaceDlg::findNext);
    buttons->addWidget(next);
    if (replace) {
        auto* one = new QPushButton(app.text(text::kReplaceButton), this);
        auto* all = new QPushButton(app.text(text::kReplaceAllButton), this);
        connect(one, &QPushButton::clicked, this, &CFindReplaceDlg::replaceOne);
        connect(all, &QPushButton::clicked, this, &CFindReplaceDlg::replaceAll);
        buttons->addWidget(one);
        buttons->addWidget(all);
    }
    auto* close = new QPushButton(app.text(text::kCloseButton), this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    buttons->addWidget(close);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 2, row, 1);
    fitTitle(this);
}

void CFindReplaceDlg::loadState(const FindState& state) {
    m_what->setText(state.what);
    m_what->selectAll();
    if (m_with) m_with->setText(state.replaceWith);
    m_matchCase->setChecked(state.matchCase);
    m_wholeWord->setChecked(state.wholeWord);
    if (m_up) m_up->setChecked(state.up);
}

void CFindReplaceDlg::storeState() {
    CMainFrame* f = m_app.mainFrame();
    if (!f) return;
    FindState& s = f->findState();
    s.what = m_what->text();
    if (m_with) s.replaceWith = m_with->text();
    s.matchCase = m_matchCase->isChecked();
    s.wholeWord = m_wholeWord->isChecked();
    s.up = m_up && m_up->isChecked();
}

void CFindReplaceDlg::findNext() {
    storeState();
    if (CKorvanView* v = m_app.mainFrame() ? m_app.mainFrame()->activeSourceView() : nullptr) v->findNext();
}

void CFindReplaceDlg::replaceOne() {
    storeState();
    if (CKorvanView* v = m_app.mainFrame() ? m_app.mainFrame()->activeSourceView() : nullptr) v->replaceCurrent();
}

void CFindReplaceDlg::replaceAll() {
    storeState();
    if (CKorvanView* v = m_app.mainFrame() ? m_app.mainFrame()->activeSourceView() : nullptr) v->replaceAll();
}

}  // namespace korvan::shell
