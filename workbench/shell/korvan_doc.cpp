// Source documents: loading, saving and the questions asked before changes are lost.
#include "korvan_doc.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextDocumentLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <string_view>

#include "commands.h"
#include "korvan_app.h"
#include "korvan_view.h"
#include "main_frame.h"
#include "source_file.h"
#include "source_watch.h"
#include "syntax_hookup.h"

namespace korvan::shell {

namespace {
// The reason of a failed read or write in the interface's language.
QString reasonText(const FileResult& r, Language lang) {
    auto count = [](uint64_t n) { return QString::number(static_cast<qulonglong>(n)); };
    switch (r.refusal) {
    case ReadRefusal::TooLarge:
        return QString::fromUtf8(lookupText(text::kFileTooLarge, lang)).arg(count(r.at), count(kEditorLimits.maxBytes));
    case ReadRefusal::LineTooLong:
        return QString::fromUtf8(lookupText(text::kLineTooLong, lang))
            .arg(count(r.at), count(kEditorLimits.maxLineBytes));
    case ReadRefusal::None: break;
    }
    if (r.code == 0) return QString::fromLocal8Bit(r.error.c_str());
    return QString::fromStdString(systemErrorText(r.code, lang));
}

size_t hashOf(const std::string& bytes) { return std::hash<std::string_view>{}(bytes); }
std::string nameOf(const QString& path) { return QFile::encodeName(path).toStdString(); }

// How long the document waits after a change on disk before it looks: a program that writes
// a file in several steps is usually done by then, and a burst of changes is looked at once.
constexpr int kDiskSettleMs = 150;

// Loading in slices: a text of more lines than the first part goes in slices of a few lines
// until a turn's time is spent. A thousand lines take a few milliseconds to go in.
constexpr int kLoadFirstLines = 5000;
constexpr int kLoadSliceLines = 1000;
constexpr qint64 kLoadTurnMs = 8;

// Where the text after `lines` more line ends from `from` starts (the text's end at most). A
// slice always ends after a line feed, so that a CR LF pair is never split.
qsizetype afterLines(const QString& text, qsizetype from, int lines) {
    while (lines-- > 0 && from < text.size()) {
        const qsizetype feed = text.indexOf(u'\n', from);
        from = feed < 0 ? text.size() : feed + 1;
    }
    return from;
}
}  // namespace

CKorvanDoc::CKorvanDoc(CKorvanApp& app, const QString& untitledName)
    : m_app(app),
      m_text(new QTextDocument(this)),
      m_untitledName(untitledName),
      m_diskCheck(new QTimer(this)),
      m_loadTimer(new QTimer(this)) {
    m_text->setDocumentLayout(new QPlainTextDocumentLayout(m_text));
    m_text->setDefaultFont(editorFont());
    m_colouring = attachSyntaxColouring(m_text);
    connect(m_text, &QTextDocument::modificationChanged, this, &CKorvanDoc::updateViewTitles);
    m_diskCheck->setSingleShot(true);
    m_diskCheck->setInterval(kDiskSettleMs);
    connect(m_diskCheck, &QTimer::timeout, this, &CKorvanDoc::refreshFromDisk);
    m_loadTimer->setInterval(0);
    connect(m_loadTimer, &QTimer::timeout, this, &CKorvanDoc::loadSlice);
    registerCommands();
}

// The watch may already be gone with the application object, before this document.
CKorvanDoc::~CKorvanDoc() {
    if (m_watch && !m_path.isEmpty()) m_watch->unwatch(m_path);
}

void CKorvanDoc::registerCommands() {
    setHandler(cmd::kFileClose, {[this] { closeDocument(); }, {}, {}});
    setHandler(cmd::kFileSave, {[this] { save(); }, {}, {}});
    setHandler(cmd::kFileSaveAs, {[this] { saveAs(); }, {}, {}});
}

QString CKorvanDoc::title() const { return isUntitled() ? m_untitledName : QFileInfo(m_path).fileName(); }

bool CKorvanDoc::isModified() const { return m_text->isModified(); }

bool CKorvanDoc::load(const QString& path, QString* error) {
    std::string bytes;
    const FileResult r = readWholeFile(nameOf(path), bytes, kEditorLimits);
    if (!r.ok) {
        if (error) *error = reasonText(r, m_app.uiLanguage());
        return false;
    }
    selectSyntaxColouring(m_colouring, path);  // before the text: it is coloured once
    takeText(bytes, true);
    setPath(path);
    return true;
}

void CKorvanDoc::takeText(const std::string& bytes, bool inSlices) {
    // The views keep their caret and scroll positions as far as the new text reaches.
    struct Place {
        CKorvanView* view;
        int caret, x, y;
    };
    std::vector<Place> places;
    for (CKorvanView* v : m_views)
        places.push_back(
            {v, v->textCursor().position(), v->horizontalScrollBar()->value(), v->verticalScrollBar()->value()});
    DecodedText decoded = decodeSource(bytes);
    m_format = std::move(decoded.format);
    QString text = QString::fromUtf8(decoded.utf8.data(), static_cast<qsizetype>(decoded.utf8.size()));
    if (isLoading()) endLoading();  // this text replaces one still loading
    const qsizetype first = inSlices ? afterLines(text, 0, kLoadFirstLines) : text.size();
    if (first < text.size()) {
        // Nothing of the load is undone, and nobody types into half a text.
        m_text->setUndoRedoEnabled(false);
        m_text->setPlainText(text.first(first));
        m_loadLines = static_cast<int>(text.count(u'\n')) + 1;
        m_loadText = std::move(text);
        m_loadAt = first;
        for (CKorvanView* v : m_views) v->setReadOnly(true);
        m_loadTimer->start();
    } else {
        m_text->setPlainText(text);
    }
    m_text->setModified(false);
    m_diskHash = hashOf(bytes);
    for (const Place& p : places) {
        QTextCursor c(m_text);
        c.setPosition(std::min(p.caret, m_text->characterCount() - 1));
        p.view->setTextCursor(c);
        p.view->horizontalScrollBar()->setValue(p.x);
        p.view->verticalScrollBar()->setValue(p.y);
    }
    updateViewTitles();
}

void CKorvanDoc::loadSlice() {
    QElapsedTimer turn;
    turn.start();
    QTextCursor end(m_text);
    end.movePosition(QTextCursor::End);
    do {
        const qsizetype to = afterLines(m_loadText, m_loadAt, kLoadSliceLines);
        end.insertText(m_loadText.sliced(m_loadAt, to - m_loadAt));
        m_loadAt = to;
    } while (m_loadAt < m_loadText.size() && turn.elapsed() < kLoadTurnMs);
    m_text->setModified(false);
    if (m_loadAt >= m_loadText.size()) endLoading();
}

int CKorvanDoc::lineCount() const { return isLoading() ? m_loadLines : m_text->blockCount(); }

void CKorvanDoc::finishLoading() {
    if (!isLoading()) return;
    QTextCursor end(m_text);
    end.movePosition(QTextCursor::End);
    end.insertText(m_loadText.sliced(m_loadAt));
    m_text->setModified(false);
    endLoading();
}

void CKorvanDoc::endLoading() {
    m_loadTimer->stop();
    m_loadText.clear();
    m_loadAt = 0;
    m_text->setUndoRedoEnabled(true);
    for (CKorvanView* v : m_views) v->setReadOnly(false);
}

void CKorvanDoc::setPath(const QString& path) {
    if (path == m_path) return;
    if (!m_watch) {
        m_watch = SourceWatch::of(m_app);
        connect(m_watch, &SourceWatch::touched, this, [this](const QString& file) {
            // Not restarted by every change: a file written without pause is still looked at.
            if (file == m_path && !m_diskCheck->isActive()) m_diskCheck->start();
        });
    }
    if (!m_path.isEmpty()) m_watch->unwatch(m_path);
    m_path = path;
    selectSyntaxColouring(m_colouring, m_path);
    m_watch->watch(m_path);
}

void CKorvanDoc::refreshFromDisk() {
    if (isUntitled() || m_asking) return;
    if (m_watch) m_watch->rewatch(m_path);
    std::string bytes;
    // Gone, unreadable or over the limits: kept as it is (a save asks before writing over it).
    if (!readWholeFile(nameOf(m_path), bytes, kEditorLimits).ok) return;
    // The same bytes: our own save, or a file touched or written again unchanged.
    if (hashOf(bytes) == m_diskHash) return;
    if (!isModified()) {
        takeText(bytes);
        return;
    }
    QMessageBox box(QMessageBox::Warning, m_app.text(text::kAppTitle),
                    m_app.text(text::kChangedOnDisk).arg(QDir::toNativeSeparators(m_path)),
                    QMessageBox::Yes | QMessageBox::No, m_app.mainFrame());
    box.button(QMessageBox::Yes)->setText(m_app.text(text::kReloadButton));
    box.button(QMessageBox::No)->setText(m_app.text(text::kKeepMineButton));
    box.setDefaultButton(QMessageBox::No);
    const int answer = ask(box);
    if (answer == QMessageBox::Yes)
        takeText(bytes);
    else if (answer == QMessageBox::No)
        m_diskHash = hashOf(bytes);  // seen by the user: a later save writes over it without asking
}

bool CKorvanDoc::confirmOverwrite(const QString& target) {
    if (isUntitled() || target != m_path) return true;
    std::string bytes;
    const FileResult r = readWholeFile(nameOf(target), bytes, kEditorLimits);
    if (r.ok ? hashOf(bytes) == m_diskHash : r.code == ENOENT) return true;
    QMessageBox box(QMessageBox::Warning, m_app.text(text::kAppTitle),
                    m_app.text(text::kOverwriteNewer).arg(QDir::toNativeSeparators(target)),
                    QMessageBox::Yes | QMessageBox::No, m_app.mainFrame());
    box.button(QMessageBox::Yes)->setText(m_app.text(text::kYes));
    box.button(QMessageBox::No)->setText(m_app.text(text::kNo));
    box.setDefaultButton(QMessageBox::No);
    return ask(box) == QMessageBox::Yes;
}

int CKorvanDoc::ask(QMessageBox& box) {
    // No second question about the disk while this one is up; changes that came meanwhile are
    // looked at once it is answered.
    QPointer<CKorvanDoc> alive(this);
    m_asking = true;
    const int answer = box.exec();
    if (!alive) return -1;
    m_asking = false;
    m_diskCheck->start();
    return answer;
}

bool CKorvanDoc::saveTo(const QString& path, QString* error) {
    finishLoading();
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
    m_diskHash = hashOf(*bytes);
    setPath(path);
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
    if (!confirmOverwrite(m_path)) return false;
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
    if (!confirmOverwrite(target)) return false;
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
    if (isLoading()) view->setReadOnly(true);
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
