// The application object: start-up, settings store, interface language, toolchain detection,
// document types, and the commands that belong to no particular window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "command_target.h"
#include "settings_store.h"
#include "texts.h"

class QPrinter;
class QTranslator;
class QWidget;

namespace korvan::shell {

class CMainFrame;
class CKorvanDoc;
class CKorvanView;

// A registered document type; commands address them by position (see DocumentTypeIndex).
struct DocumentType {
    QString name;
    int menuSet = 0;          // 0: the main window's menu bar stays
    int documentStrings = 0;  // text entry with the document strings, 0 for none
};

enum DocumentTypeIndex { SourceDocumentType = 0, MonitorDocumentType = 1, ErrorListDocumentType = 2 };

class CKorvanApp : public QObject, public CommandTarget {
    Q_OBJECT
public:
    explicit CKorvanApp(QObject* parent = nullptr);
    ~CKorvanApp() override;

    static CKorvanApp* instance();

    // Start-up steps 2 to 10; false when the main window could not be created. arguments is
    // the command line after Qt took its options out: the files named in it are opened.
    bool start(const QStringList& arguments = {});

    SettingsStore& settings() { return m_settings; }
    const QString& cygwinRoot() const { return m_cygwinRoot; }
    bool toolchainPresent() const { return m_toolchainPresent; }
    // The tools' name prefix of the toolchain found ("m68k-elf-" unless the settings name another).
    const QString& toolchainPrefix() const { return m_toolchainPrefix; }
    const QString& language() const { return m_language; }
    Language uiLanguage() const { return m_uiLanguage; }
    // A text of the current language.
    QString text(int id) const;

    const std::vector<DocumentType>& documentTypes() const { return m_documentTypes; }
    CMainFrame* mainFrame() const;
    QString fileVersion() const { return m_fileVersion; }
    QString modulePath() const { return m_modulePath; }

    // New untitled source document ("prog1", "prog2" ...) in a new window.
    CKorvanDoc* newSourceDocument();
    // Opens path in a new window; reports failure to the user. A file that is already open is
    // not read again: the new window is one more view of its document.
    CKorvanDoc* openSourceDocument(const QString& path);
    // The open source document of path (compared as absolute and as canonical paths), or null.
    CKorvanDoc* findOpenDocument(const QString& path) const;

    // Called for every source view created, so that later command handlers can be added.
    void addViewCommandInstaller(std::function<void(CKorvanView&)> installer);
    void installViewCommands(CKorvanView& view);

    // The printer shared by print set-up, print and preview.
    QPrinter& printer();

    // The language commands (32790, 32791): stored, and applied at once to the main window's
    // menus, toolbars and status line; open windows follow through languageChanged.
    void setLanguage(Language lang);
    // Loads Qt's own translation for the interface's language; false when French is chosen and
    // Qt's French catalogue is not installed.
    bool applyQtTranslation();

signals:
    // The interface's language changed: windows that show texts of their own take the new ones.
    void languageChanged(korvan::shell::Language lang);

private:
    void registerCommands();
    void detectToolchain();
    void onOpen();
    void onAbout();
    void onBitmap();
    void onMessage();
    void onPrintSetup();
    void onRecentFile(int index);

    SettingsStore m_settings;
    QString m_language;
    Language m_uiLanguage = Language::French;
    QString m_cygwinRoot;
    bool m_toolchainPresent = false;
    QString m_toolchainPrefix;
    QString m_modulePath;
    QString m_fileVersion;
    std::vector<DocumentType> m_documentTypes;
    QPointer<CMainFrame> m_mainFrame;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QTranslator> m_qtTranslator;
    int m_untitledCount = 0;
    std::vector<std::function<void(CKorvanView&)>> m_viewInstallers;
};

}  // namespace korvan::shell
