// Source documents: loading, saving and the questions asked before changes are lost.
#include "korvan_doc.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextDocumentLayout>
#include <QPushButton>
#include <QTextDocument>

#include "commands.h"
#include "korvan_app.h"
#include "korvan_view.h"
#include "main_frame.h"
#include "source_file.h"
#include "syntax_hookup.h"

namespace korvan::shell {

namespace {
// The reason of a failed read or write in the interface's language.
QString reasonText(const FileResult& r, Language lang) {
    if (r.code == 0) return QString::fromLocal8Bit(r.error.c_str());
    return QString::fromStdString(systemErrorText(r.code, lang));
}
}  // namespace

CKorvanDoc::CKorvanDoc(CKorvanApp& app, const QString& untitledName)
    : m_app(app), m_text(new QTextDocument(this)), m_untitledName(untitledName) {
    m_text->setDocumentLayout(new QPlainTextDocumentLayout(m_text));
    m_text->setDefaultFont(editorFont());
    m_colouring = attachSyntaxColouring(m_text);
    connect(m_text, &QTextDocument::modificationChanged, this, &CKorvanDoc::updateViewTitles);
    registerCommands();
}

CKorvanDoc::~CKorvanDoc() = default;

void CKorvanDoc::registerCommands() {
    setHandler(cmd::kFileClose, {[this] { closeDocument(); }, {}, {}});
    setHandler(cmd::kFileSave, {[this] { save(); }, {}, {}});
    setHandler(cmd::kFileSaveAs, {[this] { saveAs(); }, {}, {}});
}

QString CKorvanDoc::title() const { return isUntitled() ? m_untitledName : QFileInfo(m_path).fileName(); }

bool CKorvanDoc::isModified() const { return m_text->isModified(); }

bool CKorvanDoc::load(const QString& path, QString* error) {
    std::string bytes;
    const FileResult r = readWholeFile(QFile::encodeName(path).toStdString(), bytes);
    if (!r.ok) {
        if (error) *error = reasonText(r, m_app.uiLanguage());
        return false;
    }
    selectSyntaxColouring(m_colouring, path);  // before the text: it is coloured once
    DecodedText decoded = decodeSource(bytes);
    m_format = std::move(decoded.format);
    m_text->setPlainText(QString::fromUtf8(decoded.utf8.data(), static_cast<qsizetype>(decoded.utf8.size())));
    m_text->setModified(false);
    m_path = path;
    updateViewTitles();
    return true;
}

void CKorvanDoc::refreshFromDisk() {
    if (isUntitled() || isModified()) return;
    std::string bytes;
    if (!readWholeFile(QFile::encodeName(m_path).toStdString(), bytes).ok) return;
    DecodedText decoded = decodeSource(bytes);
    const QString text = QString::fromUtf8(decoded.utf8.data(), static_cast<qsizetype>(decoded.utf8.size()));
    const TextFormat& f = decoded.format;
    if (text == m_text->toPlainText() && f.encoding == m_format.encoding && f.byteOrderMark == m_format.byteOrderMark &&
        f.lineEnd == m_format.lineEnd && f.perLine == m_format.perLine)
        return;
    QString ignored;
    load(m_path, &ignored);
}

bool CKorvanDoc::saveTo(const QString& path, QString* error) {
    // The raw text keeps non-breaking spaces and line separators that toPlainText() would alter.
    QString raw = m_text->toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n');
    const QByteArray utf8 = raw.toUtf8();
    const std::string_view text(utf8.constData(), static_cast<size_t>(utf8.size()));

    TextFormat format = m_format;
    std::optional<std::string> bytes = encodeSource(text, format);
    bool switchedToUtf8 = false;
    if (!bytes) {
        // Characters typed that the old encoding cannot hold: keep them rather than lose them.
        format.encoding = TextEncoding::Utf8;
        format.byteOrderMark = false;
        bytes = encodeSource(text, format);
        switchedToUtf8 = true;
    }
    const FileResult r = writeFileSafely(QFile::encodeName(path).toStdString(), *bytes);
    if (!r.ok) {
        if (error) *error = reasonText(r, m_app.uiLanguage());
        return false;
    }
    m_format = std::move(format);
    m_path = path;
    selectSyntaxColouring(m_colouring, m_path);
    m_text->setModified(false);
    updateViewTitles();
    emit titleChanged();
    if (switchedToUtf8 && m_app.mainFrame()) {
        QMessageBox::information(m_app.mainFrame(), m_app.text(text::kAppTitle),
                                 m_app.text(text::kSavedAsUtf8).arg(QDir::toNativeSeparators(path)));
    }
    return true;
}

bool CKorvanDoc::save() {
    if (isUntitled()) return saveAs();
    QString error;
    if (saveTo(m_path, &error)) return true;
    QMessageBox::warning(m_app.mainFrame(), m_app.text(text::kAppTitle),
                         m_app.text(text::kSaveFailed).arg(QDir::toNativeSeparators(m_path), error));
    return false;
}

bool CKorvanDoc::saveAs() {
    const Language lang = m_app.uiLanguage();
    const QString filterName = QString::fromStdString(documentStringField(text::kDocStringsSource, lang, 3));
    QString patterns = QString::fromStdString(documentStringField(text::kDocStringsSource, lang, 4));
    patterns.replace(u'.', QStringLiteral("*.")).replace(u';', u' ');
    QFileDialog dlg(m_app.mainFrame());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::HideNameFilterDetails);
    dlg.setNameFilters({QStringLiteral("%1 (%2)").arg(filterName, patterns),
                        QStringLiteral("%1 (*)").arg(m_app.text(text::kSaveFilterAllFiles))});
    dlg.setDefaultSuffix(QStringLiteral("src"));
    if (isUntitled()) {
        dlg.setDirectory(QDir::current());
        dlg.selectFile(m_untitledName);
    } else {
        dlg.setDirectory(QFileInfo(m_path).absolutePath());
        dlg.selectFile(QFileInfo(m_path).fileName());
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    const QString target = QFileInfo(dlg.selectedFiles().first()).absoluteFilePath();
    QString error;
    if (!saveTo(target, &error)) {
        QMessageBox::warning(m_app.mainFrame(), m_app.text(text::kAppTitle),
                             m_app.text(text::kSaveFailed).arg(QDir::toNativeSeparators(target), error));
        return false;
    }
    m_app.settings().addRecentFile(target);
    if (m_app.mainFrame()) m_app.mainFrame()->updateCommandUi();
    return true;
}

bool CKorvanDoc::saveModified() {
    if (!isModified()) return true;
    QMessageBox box(QMessageBox::Warning, m_app.text(text::kAppTitle), m_app.text(text::kAskSaveChanges).arg(title()),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, m_app.mainFrame());
    box.button(QMessageBox::Yes)->setText(m_app.text(text::kYes));
    box.button(QMessageBox::No)->setText(m_app.text(text::kNo));
    box.button(QMessageBox::Cancel)->setText(m_app.text(text::kCancel));
    box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
    case QMessageBox::Yes: return save();
    case QMessageBox::No: return true;
    default: return false;
    }
}

void CKorvanDoc::closeDocument() {
    if (!saveModified()) return;
    m_closingConfirmed = true;
    const std::vector<CKorvanView*> views = m_views;
    for (CKorvanView* view : views) {
        if (auto* frame = qobject_cast<CChildFrame*>(view->parentWidget())) frame->close();
    }
}

void CKorvanDoc::addView(CKorvanView* view) {
    m_views.push_back(view);
    ++m_liveViews;
    updateViewTitles();
}

void CKorvanDoc::removeView(CKorvanView* view) {
    if (std::erase(m_views, view) > 0) updateViewTitles();
}

void CKorvanDoc::viewDestroyed(CKorvanView* view) {
    std::erase(m_views, view);
    // Deleted once the last editor using the text has finished its own destruction.
    if (--m_liveViews == 0) deleteLater();
}

void CKorvanDoc::updateViewTitles() {
    const QString base = title();
    for (size_t i = 0; i < m_views.size(); ++i) {
        QString t = base;
        if (m_views.size() > 1) t += QStringLiteral(":%1").arg(i + 1);
        m_views[i]->setWindowTitle(t + QStringLiteral("[*]"));
        m_views[i]->setWindowModified(isModified());
    }
}

}  // namespace korvan::shell
