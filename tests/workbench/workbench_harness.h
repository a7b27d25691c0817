// The real workbench offscreen for the QtTest programs: a scratch settings folder for the whole
// run, a scratch working folder per test (the current folder while it runs), and the application
// started afresh whenever a test asks. Each test class calls initTestCase(), init() and cleanup()
// from its own slots of those names.
#pragma once

#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "qt_test_support.h"
#include "korvan_app.h"
#include "korvan_view.h"
#include "main_frame.h"

namespace wbtest {

using korvan::shell::CKorvanApp;
using korvan::shell::CKorvanView;
using korvan::shell::CMainFrame;

inline QMdiSubWindow* windowOf(QWidget* content) { return qobject_cast<QMdiSubWindow*>(content->parentWidget()); }

class Workbench {
public:
    void initTestCase() {
        isolateSettings(config.path());
        m_savedCwd = QDir::currentPath();
        m_savedPath = qgetenv("PATH");
    }
    // Empty stores and, unless a test wants the toolchain found, a prefix that names none.
    void init(bool hideToolchain = true) {
        resetWatchers();
        store().clear();
        store("qubrix").clear();
        if (hideToolchain) setStore(QStringLiteral("GNU/PREFIXE"), QStringLiteral("korvan-test-absent-"));
        m_work = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(m_work->path());
    }
    void cleanup() {
        app.reset();  // unsaved documents are dropped without a question
        QDir::setCurrent(m_savedCwd);
        qputenv("PATH", m_savedPath);
        m_work.reset();
    }

    // A new application (the former one gone first), `install` adding its commands before the
    // start; its main window, or none when it did not start.
    CMainFrame* start(const QStringList& arguments = {QStringLiteral("korvan")},
                      const std::function<void(CKorvanApp&)>& install = {}) {
        app.reset();
        app = std::make_unique<CKorvanApp>();
        if (install) install(*app);
        return app->start(arguments) ? app->mainFrame() : nullptr;
    }
    // Started with a new untitled document holding text; its view.
    CKorvanView* startWithText(const QString& text) {
        start();
        app->newSourceDocument();
        activeView()->setPlainText(text);
        return activeView();
    }

    CMainFrame* frame() const { return app->mainFrame(); }
    CKorvanView* activeView() const { return frame()->activeSourceView(); }
    int windowCount() const { return frame()->mdiArea()->subWindowList().size(); }
    // A name in the test's working folder.
    QString path(const QString& name) const { return m_work->path() + u'/' + name; }
    QByteArray savedPath() const { return m_savedPath; }

    QTemporaryDir config;
    std::unique_ptr<CKorvanApp> app;

private:
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_savedCwd;
    QByteArray m_savedPath;
};

}  // namespace wbtest
