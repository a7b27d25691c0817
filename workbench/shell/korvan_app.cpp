// Start-up of the workbench and the application-level commands.
#include "korvan_app.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QTranslator>

#include <cstdlib>

#include "commands.h"
#include "dialogs.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "main_frame.h"
#include "menus.h"
#include "toolchain.h"

#if KORVAN_HAVE_QUBRIX
#include "driver/entry_points.h"
#endif
#if KORVAN_HAVE_BITMAP_UI
#include "bitmap/conv_bitmap.h"
#endif

#ifndef KORVAN_VERSION
#define KORVAN_VERSION "0.0.0"
#endif

namespace korvan::shell {

namespace {

CKorvanApp* g_instance = nullptr;

// How long the status bar says where an exported file went.
constexpr int kExportMessageMs = 30000;

// The Open dialog's filters: text entries 134, 132, 135 and 136, "description|patterns|".
QStringList openFilters(const CKorvanApp& app) {
    QStringList filters;
    for (int id : {text::kFilterAsm, text::kFilterC, text::kFilterListing, text::kFilterAll}) {
        const QStringList parts = app.text(id).split(u'|');
        const QString patterns = parts.value(1).replace(u';', u' ');
        filters << QStringLiteral("%1 (%2)").arg(parts.value(0), patterns);
    }
    return filters;
}

// "1.2.3" becomes "1.2.3.0": four numbers as in a version resource.
QString fourPartVersion(const QString& version) {
    QStringList parts = version.split(u'.');
    while (parts.size() < 4) parts << QStringLiteral("0");
    int n[4];
    for (int i = 0; i < 4; ++i) n[i] = parts.at(i).toInt();
    return QString::asprintf("%d.%d.%d.%d", n[0], n[1], n[2], n[3]);
}

}  // namespace

CKorvanApp::CKorvanApp(QObject* parent) : QObject(parent) {
    g_instance = this;
    registerCommands();
}

CKorvanApp::~CKorvanApp() {
    delete m_mainFrame.data();
    if (g_instance == this) g_instance = nullptr;
}

CKorvanApp* CKorvanApp::instance() { return g_instance; }

CMainFrame* CKorvanApp::mainFrame() const { return m_mainFrame.data(); }

QString CKorvanApp::text(int id) const { return QString::fromUtf8(lookupText(id, m_uiLanguage)); }

bool CKorvanApp::start(const QStringList& arguments) {
    // The program's path and version, shown by the about box.
    m_modulePath = QCoreApplication::applicationFilePath();
    m_fileVersion = fourPartVersion(QStringLiteral(KORVAN_VERSION));

    // The settings store was opened with the application object; nothing is written here.
    m_language =
        m_settings.GetSettingString(QStringLiteral("KORVAN"), QStringLiteral("LANGAGE"), QStringLiteral("FRANCAIS"));
    m_uiLanguage = languageFromWord(m_language.toStdString());
    QLocale::setDefault(QLocale(m_uiLanguage == Language::French ? QLocale::French : QLocale::English,
                                m_uiLanguage == Language::French ? QLocale::France : QLocale::UnitedStates));
    applyQtTranslation();
    // The program's own icon on the main window, every dialog and the task bar.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/korvan/korvan.svg")));

    detectToolchain();

    m_documentTypes = {
        {QStringLiteral("SourceDocumentType"), m_toolchainPresent ? kMenuSetToolchain : kMenuSetSource,
         text::kDocStringsSource},
        {QStringLiteral("MonitorDocumentType"), kMenuSetToolchain, text::kDocStringsMonitor},
        {QStringLiteral("ErrorListDocumentType"), 0, 0},
    };

    m_mainFrame = new CMainFrame(*this);
    m_mainFrame->setAcceptDrops(true);

    m_mainFrame->show();
    m_mainFrame->updateCommandUi();

    // Files named on the command line (a double-click in the file manager) open in source
    // windows, in the order given. The first argument is the program; Qt has taken its own
    // options out, and "--" makes every later argument a file.
    bool filesOnly = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (!filesOnly && arg == QLatin1String("--")) {
            filesOnly = true;
            continue;
        }
        if (!filesOnly && arg.startsWith(u'-')) continue;
        openSourceDocument(arg);
    }
    return true;
}

void CKorvanApp::detectToolchain() {
    ToolchainSearch search;
    const QString section = QString::fromUtf8(kToolchainSection), entry = QString::fromUtf8(kToolchainPrefixEntry);
    search.settingsPrefix = m_settings.GetSettingString(section, entry, {}).toStdString();
    search.programFolder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    search.scriptPrefix = defaultScriptPrefix(std::getenv("KORVAN_TOOLCHAIN"), std::getenv("HOME"));
    const char* path = std::getenv("PATH");
    search.pathList = path ? path : "";
    const ToolchainInfo info = findToolchain(search);
    m_toolchainPresent = info.present;
    m_cygwinRoot = QFile::decodeName(info.root.c_str());
    m_toolchainPrefix = QString::fromStdString(info.present ? info.prefix : std::string(kDefaultToolchainPrefix));
}

void CKorvanApp::registerCommands() {
    setHandler(cmd::kFileNew, {[this] { newSourceDocument(); }, {}, {}});
    setHandler(cmd::kFileOpen, {[this] { onOpen(); }, {}, {}});
    setHandler(cmd::kFilePrintSetup, {[this] { onPrintSetup(); }, {}, {}});
    setHandler(cmd::kAppAbout, {[this] { onAbout(); }, {}, {}});
    setHandler(cmd::kAppExit, {[this] {
                                   if (m_mainFrame) m_mainFrame->close();
                               },
                               {},
                               {}});
    setHandler(cmd::kWindowMessage, {[this] { onMessage(); }, {}, {}});
    setHandler(cmd::kLanguageFrench, {[this] { setLanguage(Language::French); },
                                      {},
                                      [this] { return std::optional<bool>(m_language == QLatin1String("FRANCAIS")); }});
    setHandler(cmd::kLanguageEnglish, {[this] { setLanguage(Language::English); },
                                       {},
                                       [this] { return std::optional<bool>(m_language == QLatin1String("ANGLAIS")); }});
    for (int i = 0; i < cmd::kFileMruCount; ++i) {
        setHandler(cmd::kFileMru1 + i,
                   {[this, i] { onRecentFile(i); }, [this, i] { return i < m_settings.recentFiles().size(); }, {}});
    }
#if KORVAN_HAVE_QUBRIX
    setHandler(cmd::kConfigAssembler, {[this] { ConfigureAsm(m_mainFrame); }, {}, {}});
#endif
#if KORVAN_HAVE_BITMAP_UI
    setHandler(cmd::kBitmap, {[this] { onBitmap(); }, {}, {}});
#endif
}

CKorvanDoc* CKorvanApp::newSourceDocument() {
    if (!m_mainFrame || m_documentTypes.empty()) {
        QApplication::beep();
        return nullptr;
    }
    const QString name = QString::fromStdString(documentStringField(text::kDocStringsSource, m_uiLanguage, 1)) +
                         QString::number(++m_untitledCount);
    auto* doc = new CKorvanDoc(*this, name);
    auto* view = new CKorvanView(*this, *doc);
    m_mainFrame->addChildWindow(view, m_documentTypes[SourceDocumentType].menuSet)->show();
    view->setFocus();
    return doc;
}

CKorvanDoc* CKorvanApp::openSourceDocument(const QString& path) {
    if (!m_mainFrame || m_documentTypes.empty()) return nullptr;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // A file already open gets another window on the same document, so that both show the same
    // text and neither can save over the other's changes.
    if (CKorvanDoc* open = findOpenDocument(absolute)) {
        open->refreshFromDisk();
        m_settings.addRecentFile(absolute);
        auto* view = new CKorvanView(*this, *open);
        m_mainFrame->addChildWindow(view, m_documentTypes[SourceDocumentType].menuSet)->show();
        view->setFocus();
        m_mainFrame->updateCommandUi();
        return open;
    }
    auto* doc = new CKorvanDoc(*this, QString());
    QString error;
    if (!doc->load(absolute, &error)) {
        delete doc;
        QMessageBox::warning(m_mainFrame, text(text::kAppTitle),
                             text(text::kOpenFailed).arg(QDir::toNativeSeparators(absolute), error));
        return nullptr;
    }
    m_settings.addRecentFile(absolute);
    auto* view = new CKorvanView(*this, *doc);
    m_mainFrame->addChildWindow(view, m_documentTypes[SourceDocumentType].menuSet)->show();
    view->setFocus();
    m_mainFrame->updateCommandUi();
    return doc;
}

CKorvanDoc* CKorvanApp::findOpenDocument(const QString& path) const {
    if (!m_mainFrame) return nullptr;
    // The same file reached through another spelling (a link, "..") is the same document.
    const QFileInfo wanted(path);
    const QString canonical = wanted.canonicalFilePath();
    for (QMdiSubWindow* w : m_mainFrame->mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
        auto* view = qobject_cast<CKorvanView*>(w->widget());
        if (!view || view->document()->views().empty() || view->document()->isUntitled()) continue;
        const QString open = view->document()->path();
        if (open == wanted.absoluteFilePath() ||
            (!canonical.isEmpty() && QFileInfo(open).canonicalFilePath() == canonical))
            return view->document();
    }
    return nullptr;
}

void CKorvanApp::addViewCommandInstaller(std::function<void(CKorvanView&)> installer) {
    m_viewInstallers.push_back(std::move(installer));
}

void CKorvanApp::installViewCommands(CKorvanView& view) {
    for (const auto& install : m_viewInstallers) install(view);
}

QPrinter& CKorvanApp::printer() {
    // Created on first use so that start-up does not wait for the print system.
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageMargins(QMarginsF(12.7, 12.7, 12.7, 12.7), QPageLayout::Millimeter);
    }
    return *m_printer;
}

void CKorvanApp::setLanguage(Language lang) {
    m_uiLanguage = lang;
    m_language = QString::fromUtf8(languageWord(lang));
    m_settings.WriteSettingString(QStringLiteral("KORVAN"), QStringLiteral("LANGAGE"), m_language);
    QLocale::setDefault(QLocale(lang == Language::French ? QLocale::French : QLocale::English,
                                lang == Language::French ? QLocale::France : QLocale::UnitedStates));
    applyQtTranslation();
    // Everything on screen follows at once: the main window's menus and bars here, the open
    // windows through the signal.
    if (m_mainFrame) m_mainFrame->applyLanguage();
    emit languageChanged(lang);
}

bool CKorvanApp::applyQtTranslation() {
    // Qt's own dialogs and buttons (file and print dialogs, message boxes) speak the interface's
    // language: its French catalogue while French is chosen, Qt's built-in English otherwise.
    if (m_qtTranslator) {
        QCoreApplication::removeTranslator(m_qtTranslator.get());
        m_qtTranslator.reset();
    }
    if (m_uiLanguage != Language::French) return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    m_qtTranslator = std::move(translator);
    return true;
}

void CKorvanApp::onOpen() {
    const QStringList filters = openFilters(*this);
    QFileDialog dlg(m_mainFrame);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setNameFilters(filters);
    const int stored = m_settings.GetSettingInt(QStringLiteral("FICHIER"), QStringLiteral("TYPE"), 1);
    dlg.selectNameFilter(filters.value(stored - 1, filters.first()));
    dlg.setDirectory(QDir::current());
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;

    const int index = filters.indexOf(dlg.selectedNameFilter());
    m_settings.WriteSettingInt(QStringLiteral("FICHIER"), QStringLiteral("TYPE"), index >= 0 ? index + 1 : 1);
    const QString file = dlg.selectedFiles().first();
    // The working directory follows the folder chosen, as "message.txt" is looked up there.
    QDir::setCurrent(QFileInfo(file).absolutePath());
    openSourceDocument(file);
}

void CKorvanApp::onMessage() { openSourceDocument(QDir::current().filePath(QStringLiteral("message.txt"))); }

void CKorvanApp::onRecentFile(int index) {
    const QStringList files = m_settings.recentFiles();
    if (index >= files.size()) return;
    const QString path = files.at(index);
    if (!openSourceDocument(path)) m_settings.removeRecentFile(path);
    if (m_mainFrame) m_mainFrame->updateCommandUi();
}

void CKorvanApp::onPrintSetup() {
    QPageSetupDialog dlg(&printer(), m_mainFrame);
    dlg.exec();
}

#if KORVAN_HAVE_BITMAP_UI
void CKorvanApp::onBitmap() {
    ConvBitmap dlg(m_mainFrame, m_uiLanguage == Language::English);
    // The dialog closes on export: the status bar then says where the C file went.
    if (dlg.exec() == QDialog::Accepted && m_mainFrame && !dlg.writtenMessage().isEmpty())
        m_mainFrame->statusBar()->showMessage(dlg.writtenMessage(), kExportMessageMs);
}
#endif

void CKorvanApp::onAbout() {
    CAboutDlg dlg(*this, m_mainFrame);
    dlg.exec();
}

}  // namespace korvan::shell
