// The main window of the workbench and the routing of its commands.
#include "main_frame.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <cstdio>
#include <set>

#include "commands.h"
#include "korvan_app.h"
#include "korvan_doc.h"
#include "korvan_view.h"
#include "lock_state.h"
#include "menus.h"

namespace korvan::shell {

namespace {

const QString kEditeur = QStringLiteral("EDITEUR");

// The status-line prompt of a debug toolbar command; empty for other commands.
QString debugPrompt(int id, Language lang) {
    for (const DebugCommand& c : debugCommands(lang))
        if (c.id == id) return QString::fromUtf8(c.prompt.data(), qsizetype(c.prompt.size()));
    return {};
}
const QString kOutputBarEntry = QStringLiteral("OUTPUT_BAR");

// Small drawn pictures for the toolbar buttons that have no standard icon.
QIcon drawnIcon(int id) {
    QPixmap pm(16, 15);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(40, 40, 40);
    p.setPen(QPen(ink, 1));
    switch (id) {
    case cmd::kEditCut:
        p.drawEllipse(QRectF(1.5, 9.5, 4, 4));
        p.drawEllipse(QRectF(10.5, 9.5, 4, 4));
        p.drawLine(QPointF(4.5, 9.5), QPointF(11, 1));
        p.drawLine(QPointF(11.5, 9.5), QPointF(5, 1));
        break;
    case cmd::kEditCopy:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 8, 9));
        p.drawRect(QRectF(6.5, 4.5, 8, 9));
        break;
    case cmd::kEditPaste:
        p.setBrush(QColor(200, 160, 90));
        p.drawRect(QRectF(1.5, 2.5, 10, 11));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 5.5, 8, 9));
        break;
    case cmd::kFilePrint:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 0.5, 7, 5));
        p.setBrush(QColor(180, 180, 180));
        p.drawRect(QRectF(0.5, 5.5, 15, 6));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        break;
    default: {
        p.setBrush(QColor(60, 90, 160));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0.5, 0.5, 15, 14), 3, 3);
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setPixelSize(9);
        f.setBold(true);
        p.setFont(f);
        p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("32"));
        break;
    }
    }
    return QIcon(pm);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

CChildFrame::CChildFrame(QWidget* content, int menuSet) : m_menuSet(menuSet) {
    setWidget(content);
    setAttribute(Qt::WA_DeleteOnClose);
}

QString CChildFrame::documentTitle() const {
    QString title = windowTitle();
    title.remove(QStringLiteral("[*]"));
    return title;
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (auto* view = qobject_cast<CKorvanView*>(widget())) {
        CKorvanDoc* doc = view->document();
        // Only the last window of a document asks about its unsaved changes.
        if (doc->views().size() == 1 && !doc->closingConfirmed() && !doc->saveModified()) {
            event->ignore();
            return;
        }
    }
    QMdiSubWindow::closeEvent(event);
    if (auto* view = qobject_cast<CKorvanView*>(widget()); view && event->isAccepted()) {
        view->document()->removeView(view);
        if (CKorvanApp* app = CKorvanApp::instance(); app && app->mainFrame()) app->mainFrame()->sourceViewClosed();
    }
}

// ---------------------------------------------------------------------------------------------

COutputBar::COutputBar(const QString& title, QWidget* parent) : QDockWidget(title, parent) {
    setObjectName(QStringLiteral("OutputBar"));
    setAllowedAreas(Qt::AllDockWidgetAreas);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("OutputText"));
    m_text->setReadOnly(true);
    m_text->setMinimumSize(120, 60);
    setWidget(m_text);
}

void COutputBar::closeEvent(QCloseEvent* event) {
    // The close button goes through the Output command so that the choice is remembered.
    event->ignore();
    emit closeRequested();
}

// ---------------------------------------------------------------------------------------------

CMainFrame::CMainFrame(CKorvanApp& app) : m_app(app), m_menuLanguage(app.uiLanguage()) {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(app.text(text::kAppTitle));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MdiArea"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this] {
        applyMenuSet(activeMenuSet());
        watchActiveEditor();
        updateCommandUi();
    });

    registerCommands();
    createMenuSets();
    createToolBar();
    createStatusBar();
    createOutputBar();
    // The toolbar may dock on every side and starts at the top.
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    createDebugToolBar();
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks);

    for (const cmd::Accelerator& acc : cmd::accelerators()) {
        QAction* a = commandAction(this, acc.id, QString());
        a->setShortcut(QKeySequence(QString::fromUtf8(acc.keys.data(), static_cast<qsizetype>(acc.keys.size()))));
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }

    applyMenuSet(kMenuSetMain);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::scheduleUiUpdate);
    qApp->installEventFilter(this);
    restoreWindowPlacement();
    startLockStateWatch();
}

QSettings& CMainFrame::windowSettings() {
    // Window placement is kept apart from the workbench's settings store, whose contents other
    // tools read: "korvan-fenetres" beside it.
    static constexpr auto kName = "korvan-fenetres";
    if (!m_windowSettings)
        m_windowSettings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                       QStringLiteral("hvl_mobr"), QString::fromLatin1(kName));
    return *m_windowSettings;
}

void CMainFrame::restoreWindowPlacement() {
    QSettings& s = windowSettings();
    m_childrenMaximised = s.value(QStringLiteral("fenetres/maximisees"), false).toBool();
    if (restoreGeometry(s.value(QStringLiteral("principale/geometrie")).toByteArray())) return;
    // First start: most of the screen, centred.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const QSize size(std::max(std::min(1000, avail.width()), avail.width() * 4 / 5),
                     std::max(std::min(700, avail.height()), avail.height() * 17 / 20));
    resize(size);
    move(avail.center() - QPoint(size.width() / 2, size.height() / 2));
}

void CMainFrame::saveWindowPlacement() {
    QSettings& s = windowSettings();
    s.setValue(QStringLiteral("principale/geometrie"), saveGeometry());
    s.setValue(QStringLiteral("fenetres/maximisees"), m_childrenMaximised);
    s.sync();
}

void CMainFrame::placeEditorWindow(CChildFrame* child, QMdiSubWindow* previous) {
    // Working maximised carries over to new windows; otherwise they cascade from the top left
    // corner, each as large as the area allows, so that a page of source shows at once.
    const bool maximised = previous ? previous->isMaximized() : m_childrenMaximised;
    if (maximised) {
        child->setWindowState(Qt::WindowMaximized);
        return;
    }
    const QSize area = m_mdi->viewport()->size();
    if (area.width() < 200 || area.height() < 150) {
        child->resize(640, 420);
        return;
    }
    constexpr int kStep = 26;
    constexpr int kSteps = 6;
    int open = 0;
    for (QMdiSubWindow* w : m_mdi->subWindowList())
        if (w != child && w->isVisible() && !w->isMinimized()) ++open;
    const int k = open % kSteps;
    const QSize size(std::max(area.width() - kSteps * kStep, area.width() * 3 / 4),
                     std::max(area.height() - kSteps * kStep, area.height() * 3 / 4));
    const QPoint at(std::min(k * kStep, area.width() - size.width()),
                    std::min(k * kStep, area.height() - size.height()));
    child->setGeometry(QRect(at, size));
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    // Windows go before the frame so that their views still find it while they close; a
    // window already closed but not yet deleted is no longer in the area's list, yet its view
    // would otherwise reach this frame after its destructor ran.
    for (QMdiSubWindow* w : m_mdi->findChildren<QMdiSubWindow*>()) {
        if (auto* view = qobject_cast<CKorvanView*>(w->widget())) view->document()->setClosingConfirmed(true);
        delete w;
    }
}

void CMainFrame::registerCommands() {
    setHandler(cmd::kViewOutputBar, {[this] { toggleOutputBar(); },
                                     {},
                                     [this] { return std::optional<bool>(m_outputBar && !m_outputBar->isHidden()); }});
    setHandler(cmd::kViewToolBar, {[this] { m_toolBar->setVisible(m_toolBar->isHidden()); },
                                   {},
                                   [this] { return std::optional<bool>(!m_toolBar->isHidden()); }});
    setHandler(cmd::kViewStatusBar, {[this] { statusBar()->setVisible(statusBar()->isHidden()); },
                                     {},
                                     [this] { return std::optional<bool>(!statusBar()->isHidden()); }});
    auto anyWindow = [this] { return !m_mdi->subWindowList().isEmpty(); };
    setHandler(cmd::kWindowCascade, {[this] { m_mdi->cascadeSubWindows(); }, anyWindow, {}});
    setHandler(cmd::kWindowTile, {[this] { m_mdi->tileSubWindows(); }, anyWindow, {}});
    setHandler(cmd::kWindowArrange, {[this] { arrangeIcons(); }, anyWindow, {}});
    setHandler(cmd::kWindowNew, {[this] { newWindow(); }, [this] { return activeSourceView() != nullptr; }, {}});
}

QAction* CMainFrame::commandAction(QObject* parent, int id, const QString& label) {
    auto* a = new QAction(label, parent);
    a->setData(id);
    QString prompt = QString::fromUtf8(commandPrompt(id, m_app.uiLanguage()));
    a->setStatusTip(prompt.isEmpty() ? debugPrompt(id, m_app.uiLanguage()) : prompt);
    connect(a, &QAction::triggered, this, [this, id] { runCommand(id); });
    m_commandActions.emplace_back(a, id);
    return a;
}

void CMainFrame::buildMenu(QMenu* menu, const std::vector<MenuItem>& items) {
    for (const MenuItem& it : items) {
        const QString label = QString::fromUtf8(it.text.data(), static_cast<qsizetype>(it.text.size()));
        switch (it.kind) {
        case MenuItem::Kind::Command: menu->addAction(commandAction(menu, it.id, label)); break;
        case MenuItem::Kind::Separator: menu->addSeparator(); break;
        case MenuItem::Kind::Popup: buildMenu(menu->addMenu(label), it.items); break;
        case MenuItem::Kind::RecentFiles:
            for (int i = 0; i < cmd::kFileMruCount; ++i) {
                QAction* a = commandAction(menu, cmd::kFileMru1 + i, QString());
                menu->addAction(a);
                m_recentActions.push_back(a);
            }
            break;
        }
    }
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandUi);
}

void CMainFrame::createMenuSets() {
    for (int set : {kMenuSetMain, kMenuSetSource, kMenuSetToolchain}) {
        MenuSet ms;
        ms.id = set;
        for (const MenuItem& top : menuSet(set, m_menuLanguage)) {
            const QString label = QString::fromUtf8(top.text.data(), static_cast<qsizetype>(top.text.size()));
            if (top.kind == MenuItem::Kind::Popup) {
                auto* menu = new QMenu(label, this);
                buildMenu(menu, top.items);
                const bool windowMenu = std::any_of(top.items.begin(), top.items.end(),
                                                    [](const MenuItem& i) { return i.id == cmd::kWindowNew; });
                if (windowMenu) connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillWindowMenu(menu); });
                ms.barActions.push_back(menu->menuAction());
            } else {
                ms.barActions.push_back(commandAction(this, top.id, label));
            }
        }
        m_menuSets.push_back(std::move(ms));
    }
}

void CMainFrame::applyLanguage() {
    const Language lang = m_app.uiLanguage();
    m_menuLanguage = lang;
    // The former menus go later: the language command runs from one of their own items.
    menuBar()->clear();
    std::vector<QObject*> former;
    for (const MenuSet& ms : m_menuSets)
        for (QAction* a : ms.barActions) former.push_back(a->menu() ? static_cast<QObject*>(a->menu()) : a);
    const auto isFormer = [&former](QAction* a) {
        for (QObject* o = a; o; o = o->parent())
            if (std::find(former.begin(), former.end(), o) != former.end()) return true;
        return false;
    };
    std::erase_if(m_commandActions, [&](const std::pair<QAction*, int>& entry) { return isFormer(entry.first); });
    std::erase_if(m_recentActions, isFormer);
    for (QObject* o : former) o->deleteLater();
    m_menuSets.clear();
    m_shownMenuSet = 0;
    createMenuSets();

    m_toolBar->setWindowTitle(m_app.text(text::kToolBarTitle));
    for (QAction* a : m_toolBar->actions())
        if (const int id = a->data().toInt()) a->setText(QString::fromUtf8(commandToolTip(id, lang)));
    m_debugToolBar->setWindowTitle(QString::fromUtf8(debugToolBarTitle(lang)));
    for (const DebugCommand& c : debugCommands(lang))
        for (QAction* a : m_debugToolBar->actions())
            if (a->data().toInt() == c.id) a->setText(QString::fromUtf8(c.label.data(), qsizetype(c.label.size())));
    m_outputBar->setWindowTitle(m_app.text(text::kOutputBarTitle));
    const auto paneWidth = [](QLabel* pane, const QString& sizing) {
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(sizing) + 8);
    };
    paneWidth(m_capsPane, m_app.text(text::kIndicatorCaps));
    paneWidth(m_numPane, m_app.text(text::kIndicatorNum));
    paneWidth(m_scrollPane, m_app.text(text::kIndicatorScroll));
    paneWidth(m_caretPane, m_app.text(text::kCaretPaneWidth));
    updateCommandUi();
}

void CMainFrame::applyMenuSet(int set) {
    if (set == 0) set = kMenuSetMain;
    if (set == m_shownMenuSet) return;
    for (const MenuSet& ms : m_menuSets) {
        if (ms.id != set) continue;
        menuBar()->clear();
        for (QAction* a : ms.barActions) menuBar()->addAction(a);
        m_shownMenuSet = set;
    }
}

int CMainFrame::activeMenuSet() const {
    CChildFrame* child = activeChild();
    return child && child->menuSet() != 0 ? child->menuSet() : kMenuSetMain;
}

void CMainFrame::createToolBar() {
    m_toolBar = new QToolBar(m_app.text(text::kToolBarTitle), this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setIconSize(QSize(16, 15));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    QStyle* st = style();
    auto button = [&](int id, const QIcon& icon) {
        QAction* a = commandAction(m_toolBar, id, QString::fromUtf8(commandToolTip(id, m_app.uiLanguage())));
        a->setIcon(icon);
        m_toolBar->addAction(a);
    };
    button(cmd::kFileNew, st->standardIcon(QStyle::SP_FileIcon));
    button(cmd::kFileOpen, st->standardIcon(QStyle::SP_DirOpenIcon));
    button(cmd::kFileSave, st->standardIcon(QStyle::SP_DialogSaveButton));
    m_toolBar->addSeparator();
    button(cmd::kEditCut, drawnIcon(cmd::kEditCut));
    button(cmd::kEditCopy, drawnIcon(cmd::kEditCopy));
    button(cmd::kEditPaste, drawnIcon(cmd::kEditPaste));
    m_toolBar->addSeparator();
    button(cmd::kFilePrint, drawnIcon(cmd::kFilePrint));
    m_toolBar->addSeparator();
    button(cmd::kAppAbout, st->standardIcon(QStyle::SP_MessageBoxQuestion));
    m_toolBar->addSeparator();
    button(cmd::kCpuRegisters, drawnIcon(cmd::kCpuRegisters));
    button(cmd::kStep, st->standardIcon(QStyle::SP_MediaSeekForward));
    button(cmd::kRun, st->standardIcon(QStyle::SP_MediaPlay));
}

void CMainFrame::createDebugToolBar() {
    m_debugToolBar = new QToolBar(QString::fromUtf8(debugToolBarTitle(m_menuLanguage)), this);
    m_debugToolBar->setObjectName(QStringLiteral("DebugToolBar"));
    m_debugToolBar->setIconSize(QSize(16, 15));
    m_debugToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    QStyle* st = style();
    for (const DebugCommand& c : debugCommands(m_menuLanguage)) {
        const QString label = QString::fromUtf8(c.label.data(), qsizetype(c.label.size()));
        QAction* a = commandAction(m_debugToolBar, c.id, label);
        a->setObjectName(QStringLiteral("debugAction%1").arg(c.id));
        switch (c.id) {
        case cmd::kDebugRun: a->setIcon(st->standardIcon(QStyle::SP_MediaPlay)); break;
        case cmd::kDebugStop: a->setIcon(st->standardIcon(QStyle::SP_MediaStop)); break;
        case cmd::kDebugStepInto: a->setIcon(st->standardIcon(QStyle::SP_ArrowDown)); break;
        case cmd::kDebugStepOver: a->setIcon(st->standardIcon(QStyle::SP_ArrowForward)); break;
        case cmd::kDebugStepOut: a->setIcon(st->standardIcon(QStyle::SP_ArrowUp)); break;
        case cmd::kDebugRunToCursor: a->setIcon(st->standardIcon(QStyle::SP_MediaSeekForward)); break;
        case cmd::kBreakpoint: {
            QPixmap pm(16, 15);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.setBrush(QColor(200, 30, 30));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QRectF(2.5, 2, 11, 11));
            a->setIcon(QIcon(pm));
            break;
        }
        default: a->setIcon(st->standardIcon(QStyle::SP_FileDialogDetailedView)); break;
        }
        m_debugToolBar->addAction(a);
        if (c.keys.empty()) continue;
        // The keys work with the toolbar hidden too: they belong to the window.
        QAction* key = commandAction(this, c.id, QString());
        key->setShortcut(QKeySequence(QString::fromUtf8(c.keys.data(), qsizetype(c.keys.size()))));
        key->setShortcutContext(Qt::WindowShortcut);
        addAction(key);
    }
    addToolBar(Qt::TopToolBarArea, m_debugToolBar);
}

void CMainFrame::setDebugState(const QString& text) {
    m_debugPane->setText(text);
    m_debugPane->setVisible(!text.isEmpty());
}

QString CMainFrame::debugState() const { return m_debugPane->text(); }

void CMainFrame::createStatusBar() {
    QStatusBar* bar = statusBar();
    m_idleLabel = new QLabel(m_app.text(text::kIdlePrompt), bar);
    m_idleLabel->setObjectName(QStringLiteral("IdlePane"));
    bar->addWidget(m_idleLabel, 1);
    m_debugPane = new QLabel(bar);
    m_debugPane->setObjectName(QStringLiteral("DebugPane"));
    m_debugPane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_debugPane->hide();
    bar->addPermanentWidget(m_debugPane);
    auto pane = [&](const QString& name, const QString& sizing) {
        auto* label = new QLabel(bar);
        label->setObjectName(name);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(sizing) + 8);
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        bar->addPermanentWidget(label);
        return label;
    };
    m_capsPane = pane(QStringLiteral("CapsPane"), m_app.text(text::kIndicatorCaps));
    m_numPane = pane(QStringLiteral("NumPane"), m_app.text(text::kIndicatorNum));
    m_scrollPane = pane(QStringLiteral("ScrollPane"), m_app.text(text::kIndicatorScroll));
    m_caretPane = pane(QStringLiteral("CaretPane"), m_app.text(text::kCaretPaneWidth));
    m_columnPane = pane(QStringLiteral("ColumnPane"), QStringLiteral("col=9999"));
}

void CMainFrame::createOutputBar() {
    m_outputBar = new COutputBar(m_app.text(text::kOutputBarTitle), this);
    addDockWidget(Qt::BottomDockWidgetArea, m_outputBar);
    connect(m_outputBar, &COutputBar::closeRequested, this, &CMainFrame::toggleOutputBar);
    const bool visible = m_app.settings().GetSettingInt(kEditeur, kOutputBarEntry, 0) == 1;
    m_outputBar->setVisible(visible);
}

void CMainFrame::toggleOutputBar() {
    if (!m_outputBar->isHidden()) {
        m_app.settings().WriteSettingInt(kEditeur, kOutputBarEntry, 0);
        m_outputBar->hide();
    } else {
        m_outputBar->show();
        m_app.settings().WriteSettingInt(kEditeur, kOutputBarEntry, 1);
    }
    scheduleUiUpdate();
}

CChildFrame* CMainFrame::addChildWindow(QWidget* content, int menuSet) {
    QMdiSubWindow* previous = m_mdi->currentSubWindow();
    auto* child = new CChildFrame(content, menuSet);
    m_mdi->addSubWindow(child);
    if (qobject_cast<CKorvanView*>(content)) {
        placeEditorWindow(child, previous);
        connect(child, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates, Qt::WindowStates now) {
            if (!(now & Qt::WindowMinimized)) m_childrenMaximised = (now & Qt::WindowMaximized) != 0;
        });
    }
    return child;
}

CChildFrame* CMainFrame::activeChild() const { return qobject_cast<CChildFrame*>(m_mdi->currentSubWindow()); }

CKorvanView* CMainFrame::activeSourceView() const {
    CChildFrame* child = activeChild();
    return child ? qobject_cast<CKorvanView*>(child->widget()) : nullptr;
}

std::vector<CommandTarget*> CMainFrame::route() const {
    std::vector<CommandTarget*> chain;
    if (CChildFrame* child = activeChild()) {
        for (auto* t = dynamic_cast<CommandTarget*>(child->widget()); t; t = t->nextTarget()) chain.push_back(t);
    }
    chain.push_back(const_cast<CMainFrame*>(this));
    chain.push_back(&m_app);
    return chain;
}

CommandState CMainFrame::commandState(int id) const {
    for (CommandTarget* t : route()) {
        if (const CommandHandler* h = t->handler(id)) {
            CommandState s;
            s.handled = true;
            s.enabled = !h->enabled || h->enabled();
            if (h->checked) s.checked = h->checked();
            return s;
        }
    }
    return {};
}

bool CMainFrame::runCommand(int id) {
    for (CommandTarget* t : route()) {
        const CommandHandler* h = t->handler(id);
        if (!h) continue;
        if (h->enabled && !h->enabled()) return false;
        // The commands of a window and its document (find, print, save...) work on the whole
        // text: a text still loading goes in at once first.
        if (t != this && t != &m_app) {
            CKorvanView* view = activeSourceView();
            if (view && view->document()) view->document()->finishLoading();
        }
        // A copy: the command may close the window whose handler table holds it.
        const std::function<void()> run = h->run;
        run();
        scheduleUiUpdate();
        return true;
    }
    return false;
}

void CMainFrame::scheduleUiUpdate() {
    if (m_uiUpdatePending) return;
    m_uiUpdatePending = true;
    QTimer::singleShot(0, this, [this] {
        m_uiUpdatePending = false;
        updateCommandUi();
    });
}

void CMainFrame::updateCommandUi() {
    applyMenuSet(activeMenuSet());
    const Language lang = m_app.uiLanguage();
    for (auto& [action, id] : m_commandActions) {
        const CommandState s = commandState(id);
        action->setEnabled(s.handled && s.enabled);
        action->setCheckable(s.checked.has_value());
        if (s.checked) action->setChecked(*s.checked);
        QString prompt = QString::fromUtf8(commandPrompt(id, lang));
        if (prompt.isEmpty()) prompt = debugPrompt(id, lang);
        if (action->statusTip() != prompt) action->setStatusTip(prompt);
    }
    updateRecentFileActions();
    m_caretPane->setText(caretPaneText());
    m_columnPane->setText(columnPaneText());
    m_capsPane->setText(m_capsLock.value_or(false) ? m_app.text(text::kIndicatorCaps) : QString());
    m_numPane->setText(m_numLock.value_or(false) ? m_app.text(text::kIndicatorNum) : QString());
    m_scrollPane->setText(m_scrollLock.value_or(false) ? m_app.text(text::kIndicatorScroll) : QString());
    m_idleLabel->setText(m_app.text(text::kIdlePrompt));
    const QString appTitle = QString::fromUtf8(lookupText(text::kAppTitle, m_menuLanguage));
    CChildFrame* child = activeChild();
    setWindowTitle(child ? appTitle + QStringLiteral(" - ") + child->documentTitle() : appTitle);
}

void CMainFrame::updateRecentFileActions() {
    const QStringList files = m_app.settings().recentFiles();
    for (size_t k = 0; k < m_recentActions.size(); ++k) {
        QAction* a = m_recentActions[k];
        const int i = static_cast<int>(k % cmd::kFileMruCount);
        if (files.isEmpty()) {
            a->setVisible(i == 0);
            a->setText(QString::fromUtf8(lookupText(text::kRecentFileEmpty, m_menuLanguage)));
        } else {
            a->setVisible(i < files.size());
            if (i < files.size()) a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(files.at(i)));
        }
    }
}

QString CMainFrame::caretPaneText() const {
    if (const CKorvanView* view = activeSourceView()) return QString::asprintf("ligne=%d", view->caretLine() + 1);
    return activeChild() ? QString::asprintf("ligne=%d", m_currentLine) : QStringLiteral("C -, L-");
}

QString CMainFrame::columnPaneText() const {
    const CKorvanView* view = activeSourceView();
    if (!view) return {};
    const QTextCursor caret = view->textCursor();
    int column = 0;
    for (QChar c : caret.block().text().left(caret.positionInBlock()))
        column = c == u'\t' ? (column / 8 + 1) * 8 : column + 1;
    return QString::asprintf("col=%d", column + 1);
}

void CMainFrame::setCurrentLine(int line) {
    m_currentLine = line;
    m_caretPane->setText(caretPaneText());
}

void CMainFrame::watchActiveEditor() {
    disconnect(m_caretWatch);
    if (CKorvanView* view = activeSourceView())
        m_caretWatch = connect(view, &QPlainTextEdit::cursorPositionChanged, this, &CMainFrame::caretMoved);
}

void CMainFrame::caretMoved() {
    // Keys and the mouse alike: the panes show where the caret is.
    if (const CKorvanView* view = activeSourceView()) m_currentLine = view->caretLine() + 1;
    m_caretPane->setText(caretPaneText());
    m_columnPane->setText(columnPaneText());
}

void CMainFrame::sourceViewClosed() {
    m_lastBuiltSource.clear();
    m_currentLine = 0;
    scheduleUiUpdate();
}

void CMainFrame::fillWindowMenu(QMenu* menu) {
    for (QAction* a : menu->actions())
        if (a->property("windowEntry").toBool()) delete a;
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList();
    if (windows.isEmpty()) return;
    QAction* sep = menu->addSeparator();
    sep->setProperty("windowEntry", true);
    int n = 0;
    for (QMdiSubWindow* w : windows) {
        auto* child = qobject_cast<CChildFrame*>(w);
        const QString title = child ? child->documentTitle() : w->windowTitle();
        QAction* a = menu->addAction(QStringLiteral("&%1 %2").arg(++n).arg(title));
        a->setProperty("windowEntry", true);
        a->setCheckable(true);
        a->setChecked(w == m_mdi->currentSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_mdi->setActiveSubWindow(w); });
    }
}

void CMainFrame::arrangeIcons() {
    // Minimised windows line up along the bottom edge, left to right.
    int x = 0;
    const int bottom = m_mdi->viewport()->height();
    for (QMdiSubWindow* w : m_mdi->subWindowList()) {
        if (!w->isMinimized()) continue;
        w->move(x, bottom - w->height());
        x += w->width();
    }
}

void CMainFrame::newWindow() {
    CKorvanView* current = activeSourceView();
    if (!current) return;
    auto* view = new CKorvanView(m_app, *current->document());
    addChildWindow(view, activeChild()->menuSet())->show();
    view->setFocus();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    std::vector<CKorvanDoc*> docs;
    for (QMdiSubWindow* w : m_mdi->subWindowList()) {
        if (auto* view = qobject_cast<CKorvanView*>(w->widget())) {
            if (std::find(docs.begin(), docs.end(), view->document()) == docs.end()) docs.push_back(view->document());
        }
    }
    for (CKorvanDoc* doc : docs) {
        if (!doc->saveModified()) {
            event->ignore();
            return;
        }
    }
    for (CKorvanDoc* doc : docs) doc->setClosingConfirmed(true);
    // The placement is taken before the windows close, while "maximised" still describes them.
    saveWindowPlacement();
    m_mdi->closeAllSubWindows();
    if (!m_mdi->subWindowList().isEmpty()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); }))
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) m_app.openSourceDocument(url.toLocalFile());
    event->acceptProposedAction();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock) readLockState();
    } else if (event->type() == QEvent::ApplicationActivate) {
        readLockState();
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::startLockStateWatch() {
    readLockState();
    // The locks may also change while another program has the keyboard, or from a key that
    // never reaches this one: look again now and then while the platform tells them.
    if (!m_capsLock) return;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CMainFrame::readLockState);
    timer->start(500);
}

void CMainFrame::readLockState() {
    const std::optional<LockState> now = korvan::shell::readLockState();
    const std::optional<bool> caps = now ? std::optional(now->caps) : std::nullopt;
    const std::optional<bool> num = now ? std::optional(now->num) : std::nullopt;
    const std::optional<bool> scroll = now ? std::optional(now->scroll) : std::nullopt;
    if (caps == m_capsLock && num == m_numLock && scroll == m_scrollLock) return;
    m_capsLock = caps;
    m_numLock = num;
    m_scrollLock = scroll;
    scheduleUiUpdate();
}

}  // namespace korvan::shell
