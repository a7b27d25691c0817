// A source document: its text, where it lives on disk, how it was encoded, whether it has
// unsaved changes, and the views that show it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

#include "command_target.h"
#include "source_text.h"
#include "syntax_hookup.h"

class QMessageBox;
class QTextDocument;
class QTimer;

namespace korvan::shell {

class CKorvanApp;
class CKorvanView;
class SourceWatch;

class CKorvanDoc : public QObject, public CommandTarget {
    Q_OBJECT
public:
    // An untitled document named untitledName ("prog1" ...).
    CKorvanDoc(CKorvanApp& app, const QString& untitledName);
    ~CKorvanDoc() override;

    QTextDocument* textDocument() const { return m_text; }
    const QString& path() const { return m_path; }
    bool isUntitled() const { return m_path.isEmpty(); }
    QString title() const;
    bool isModified() const;
    const TextFormat& format() const { return m_format; }
    // A large text read by load() goes into the document in slices, between turns of the event
    // loop, so that opening it never stops the window for long: the first screens at once, the
    // rest in the background. The views are read-only meanwhile. finishLoading() puts in what
    // is left at once; everything that needs the whole text (saving, commands, going to a line)
    // calls it first.
    bool isLoading() const { return !m_loadText.isEmpty(); }
    void finishLoading();
    // The number of lines, counting those still loading.
    int lineCount() const;

    // Reads path into the document (left unmodified, caret at the start). A file over the
    // editor's limits is refused before it is read whole. On failure the document is unchanged
    // and error holds the reason.
    bool load(const QString& path, QString* error);
    // Looks at the file on disk (it is also watched while open): when another program changed
    // it since it was loaded or saved here, a document without unsaved changes takes the new
    // text at once; one with unsaved changes asks whether to reload it or keep its own text.
    // A file that is gone, unreadable or over the limits leaves the document as it is.
    void refreshFromDisk();
    // Writes the text to path safely; on success the document takes that path and counts as
    // saved. On failure it keeps its changes and error holds the reason.
    bool saveTo(const QString& path, QString* error);

    // The commands: save (asks for a name when untitled), save as. false when nothing was
    // saved (cancelled or failed; the failure was shown to the user). Saving over a file that
    // another program changed since it was loaded or saved here asks first.
    bool save();
    bool saveAs();
    // Asks whether to save unsaved changes: true when the document may be closed.
    bool saveModified();
    // Closes every window of the document after saveModified.
    void closeDocument();

    // The document's windows that are open (a window being closed is no longer counted).
    const std::vector<CKorvanView*>& views() const { return m_views; }
    void addView(CKorvanView* view);
    // The view's window was closed: it no longer counts, though it may still exist a moment.
    void removeView(CKorvanView* view);
    // The view is gone; the document follows its last view.
    void viewDestroyed(CKorvanView* view);
    // Set while the document's windows close after the question was already answered.
    bool closingConfirmed() const { return m_closingConfirmed; }
    void setClosingConfirmed(bool confirmed) { m_closingConfirmed = confirmed; }

signals:
    void titleChanged();

private:
    void registerCommands();
    void updateViewTitles();
    // Takes bytes read from the file as the document's text and as the version on disk.
    // inSlices: a long text goes in slices, as on opening a file.
    void takeText(const std::string& bytes, bool inSlices = false);
    void loadSlice();
    void endLoading();
    void setPath(const QString& path);
    // Asked before writing over target: false when it changed on disk since it was loaded or
    // saved here and the user does not want to overwrite it.
    bool confirmOverwrite(const QString& target);
    // Runs a question about the file on disk; the answer, or -1 when the document went away.
    int ask(QMessageBox& box);

    CKorvanApp& m_app;
    QTextDocument* m_text;
    QObject* m_colouring = nullptr;
    QString m_path;
    QString m_untitledName;
    TextFormat m_format;
    // A hash of the file's bytes as last loaded, saved or seen by the user: the file changed on
    // disk when its bytes no longer match (touched or written again the same is no change).
    size_t m_diskHash = 0;
    QPointer<SourceWatch> m_watch;
    QTimer* m_diskCheck;
    bool m_asking = false;
    std::vector<CKorvanView*> m_views;
    int m_liveViews = 0;
    bool m_closingConfirmed = false;
    // The text still loading, and how much of it is in the document.
    QString m_loadText;
    qsizetype m_loadAt = 0;
    int m_loadLines = 0;
    QTimer* m_loadTimer;
};

}  // namespace korvan::shell
