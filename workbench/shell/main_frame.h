// The multi-document main window: menu bars by active window type, toolbar, status line with
// the command prompts, lock indicators and the caret's line and column, the dockable output
// bar, command routing, and the two values that link the editor and the build commands to the
// monitor.
#pragma once

#include <QDockWidget>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

#include "command_target.h"
#include "texts.h"

class QLabel;
class QMdiArea;
class QMenu;
class QPlainTextEdit;
class QSettings;
class QToolBar;

namespace korvan::shell {

class CKorvanApp;
class CKorvanView;
struct MenuItem;

// MDI child window shared by every document type; it knows the menu set of its type.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CChildFrame(QWidget* content, int menuSet);
    int menuSet() const { return m_menuSet; }
    // Title without the modified marker placeholder.
    QString documentTitle() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    int m_menuSet;
};

// Dockable bar with one read-only text field; the workbench writes nothing into it.
class COutputBar : public QDockWidget {
    Q_OBJECT
public:
    explicit COutputBar(const QString& title, QWidget* parent);
    QPlainTextEdit* textField() const { return m_text; }

signals:
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPlainTextEdit* m_text;
};

// What the find and replace commands search for, kept between searches.
struct FindState {
    QString what;
    QString replaceWith;
    bool matchCase = false;
    bool wholeWord = false;
    bool up = false;
};

class CMainFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit CMainFrame(CKorvanApp& app);
    ~CMainFrame() override;

    const QString& lastBuiltSource() const { return m_lastBuiltSource; }
    void setLastBuiltSource(const QString& path) { m_lastBuiltSource = path; }
    int currentLine() const { return m_currentLine; }
    void setCurrentLine(int line);

    QMdiArea* mdiArea() const { return m_mdi; }
    CChildFrame* addChildWindow(QWidget* content, int menuSet);
    // The current child window (also while the main window is not active), or null.
    CChildFrame* activeChild() const;
    CKorvanView* activeSourceView() const;

    // Runs a command along the route of the active window; false when nobody handles it.
    bool runCommand(int id);
    CommandState commandState(int id) const;
    // Recomputes every command's enabled and checked state, the caret pane and the title.
    void updateCommandUi();
    // The interface's language changed: the menu bars are built again in it, and the toolbars,
    // bar titles and status panes take its texts, with the windows left open.
    void applyLanguage();

    int activeMenuSet() const;
    // The caret-line pane: the active editor's caret line, the last editor's line under another
    // window, "C -, L-" with no window.
    QString caretPaneText() const;
    // The column pane: the active editor's caret column as the compiler counts it (a tab reaches
    // the next multiple of 8), empty under any other window.
    QString columnPaneText() const;
    COutputBar* outputBar() const { return m_outputBar; }
    QToolBar* toolBar() const { return m_toolBar; }
    QToolBar* debugToolBar() const { return m_debugToolBar; }
    // The debugger's state in the status bar ("running", where the program stopped); empty
    // hides it.
    void setDebugState(const QString& text);
    QString debugState() const;
    FindState& findState() { return m_find; }

    // Called when a source view goes away: the last build and the caret line are forgotten.
    void sourceViewClosed();
    // Command states are recomputed once the current event has been handled.
    void scheduleUiUpdate();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenuSets();
    void buildMenu(QMenu* menu, const std::vector<MenuItem>& items);
    QAction* commandAction(QObject* parent, int id, const QString& text);
    void createToolBar();
    void createDebugToolBar();
    void createStatusBar();
    void createOutputBar();
    void registerCommands();
    void applyMenuSet(int set);
    void toggleOutputBar();
    void fillWindowMenu(QMenu* menu);
    void updateRecentFileActions();
    void arrangeIcons();
    void newWindow();
    std::vector<CommandTarget*> route() const;
    QSettings& windowSettings();
    void restoreWindowPlacement();
    void saveWindowPlacement();
    void placeEditorWindow(CChildFrame* child, QMdiSubWindow* previous);
    void startLockStateWatch();
    void readLockState();
    void watchActiveEditor();
    void caretMoved();

    CKorvanApp& m_app;
    Language m_menuLanguage;
    QMdiArea* m_mdi = nullptr;
    QToolBar* m_toolBar = nullptr;
    QToolBar* m_debugToolBar = nullptr;
    QLabel* m_debugPane = nullptr;
    COutputBar* m_outputBar = nullptr;
    QLabel* m_idleLabel = nullptr;
    QLabel* m_capsPane = nullptr;
    QLabel* m_numPane = nullptr;
    QLabel* m_scrollPane = nullptr;
    QLabel* m_caretPane = nullptr;
    QLabel* m_columnPane = nullptr;
    QMetaObject::Connection m_caretWatch;  // the active editor's caret moves
    // The keyboard's lock indicators; unknown where the platform does not tell them.
    std::optional<bool> m_capsLock, m_numLock, m_scrollLock;
    std::unique_ptr<QSettings> m_windowSettings;
    bool m_childrenMaximised = false;

    struct MenuSet {
        int id = 0;
        std::vector<QAction*> barActions;
    };
    std::vector<MenuSet> m_menuSets;
    int m_shownMenuSet = 0;
    std::vector<std::pair<QAction*, int>> m_commandActions;
    std::vector<QAction*> m_recentActions;  // every menu set's recent-file items, in order
    bool m_uiUpdatePending = false;

    QString m_lastBuiltSource;
    int m_currentLine = 0;
    FindState m_find;
};

}  // namespace korvan::shell
