// Every text of the workbench's dialogs shows whole, in French and in English: the title fits
// the title bar, field texts fit their fields, labels, buttons, tabs and list rows are not cut.
// Run at 100 % and at 200 % (QT_SCALE_FACTOR=2). With KORVAN_DIALOG_SHOTS=FOLDER it also saves
// a picture of every dialog there, to be looked at.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include "../qt_test_support.h"
#include "bitmap/conv_bitmap.h"
#include "dialog_fit.h"
#include "dialogs.h"
#include "korvan_app.h"
#if KORVAN_HAVE_MONITOR
#include "monitor/monitor_dialogs.h"
#endif
#if KORVAN_HAVE_GNU
#include "build/gnu_settings.h"
#endif

using namespace korvan::shell;

namespace {

using Factory = std::function<QDialog*(CKorvanApp&)>;

QString plain(QString text) { return text.remove(u'&'); }

// Every way a dialog's text can be cut, its title included, each said as "what: needed > had".
QStringList cutTexts(QWidget* page) {
    QStringList cut;
    auto check = [&](const QString& what, int needed, int had) {
        if (needed > had) cut << QStringLiteral("%1: %2 > %3").arg(what).arg(needed).arg(had);
    };
    check(QStringLiteral("title \"%1\"").arg(page->windowTitle()), titleBarWidth(page, page->windowTitle()),
          page->width());
    for (QLineEdit* e : page->findChildren<QLineEdit*>()) {
        if (!e->isVisibleTo(page) || qobject_cast<QComboBox*>(e->parentWidget())) continue;
        // The text, the frame on both sides and the field's own margin of 2 pixels a side.
        const int frame = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e);
        check(QStringLiteral("field \"%1\"").arg(e->text()),
              e->fontMetrics().horizontalAdvance(e->text()) + 2 * frame + 4, e->width());
    }
    for (QComboBox* c : page->findChildren<QComboBox*>()) {
        if (!c->isVisibleTo(page)) continue;
        for (int i = 0; i < c->count(); ++i)
            check(QStringLiteral("list entry \"%1\"").arg(c->itemText(i)),
                  c->fontMetrics().horizontalAdvance(c->itemText(i)),
                  c->lineEdit() ? c->lineEdit()->width() : c->width());
    }
    for (QLabel* l : page->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(page) || l->text().isEmpty() || l->wordWrap()) continue;
        check(QStringLiteral("label \"%1\"").arg(l->text()), l->fontMetrics().horizontalAdvance(plain(l->text())),
              l->contentsRect().width());
    }
    for (QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(page) || b->text().isEmpty() || qobject_cast<QTabBar*>(b->parentWidget())) continue;
        check(QStringLiteral("button \"%1\"").arg(b->text()), b->sizeHint().width(), b->width());
    }
    for (QListWidget* list : page->findChildren<QListWidget*>()) {
        if (!list->isVisibleTo(page)) continue;
        for (int i = 0; i < list->count(); ++i)
            check(QStringLiteral("row \"%1\"").arg(list->item(i)->text()),
                  list->visualItemRect(list->item(i)).left() +
                      list->fontMetrics().horizontalAdvance(list->item(i)->text()),
                  list->viewport()->width());
    }
    for (QTabBar* bar : page->findChildren<QTabBar*>()) {
        for (int i = 0; i < bar->count(); ++i)
            check(QStringLiteral("tab \"%1\"").arg(bar->tabText(i)),
                  bar->fontMetrics().horizontalAdvance(plain(bar->tabText(i))), bar->tabRect(i).width());
    }
    return cut;
}

}  // namespace

class TstDialogs : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<CKorvanApp> m_app;

    void shoot(QWidget* dialog, const QString& name) {
        const QString folder = qEnvironmentVariable("KORVAN_DIALOG_SHOTS");
        if (folder.isEmpty()) return;
        QDir().mkpath(folder);
        const QString scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR")
                                                                           : QStringLiteral("1");
        dialog->grab().save(QStringLiteral("%1/%2-x%3.png").arg(folder, name, scale));
    }

private slots:
    void initTestCase() {
        wbtest::isolateSettings(m_config.path());
        m_app = std::make_unique<CKorvanApp>();
    }
    void init() { wbtest::resetWatchers(); }
    void cleanupTestCase() { m_app.reset(); }

    void everyTextShowsWhole_data() {
        QTest::addColumn<Language>("language");
        QTest::addColumn<Factory>("open");
        const QList<std::pair<const char*, Factory>> dialogs {
            {"go to line", [](CKorvanApp& app) { return new CALigne(app, 12345, nullptr); }},
                {"about", [](CKorvanApp& app) { return new CAboutDlg(app, nullptr); }},
                {"find", [](CKorvanApp& app) { return new CFindReplaceDlg(app, false, nullptr); }},
                {"replace", [](CKorvanApp& app) { return new CFindReplaceDlg(app, true, nullptr); }},
                {"bitmap",
                 [](CKorvanApp& app) {
                     auto* dlg = new ConvBitmap(nullptr, app.uiLanguage() == Language::English);
                     dlg->setFilePath(QStringLiteral("/home/eleve/tp/images/ecran-accueil.bmp"));
                     return dlg;
                 }},
#if KORVAN_HAVE_MONITOR
                {"monitor setup",
                 [](CKorvanApp&) {
                     auto* dlg = new korvan::monitor::Confmoniteur(nullptr);
                     dlg->setValues(QStringLiteral("/dev/ttyUSB0"), true, true);
                     return dlg;
                 }},
                {"run", [](CKorvanApp&) { return new korvan::monitor::Executer(nullptr); }},
                {"register", [](CKorvanApp&) { return new korvan::monitor::ModifRegistre(nullptr, "D0", "00000000"); }},
#endif
#if KORVAN_HAVE_GNU
                {"gnu setup", [](CKorvanApp& app) {
                     wbtest::setStore(QStringLiteral("GNU/FICHIER"),
                                      QStringLiteral("/home/eleve/projets/bibliotheques/afficheur/lcd_graphique.o"));
                     return new korvan::build::CGnuSheet(nullptr, korvan::build::GnuSettings::load(app.settings()),
                                                         true, QStringLiteral("/opt/korvan/m68k-elf"),
                                                         app.uiLanguage());
                 }},
#endif
        };
        for (const auto& [name, open] : dialogs) {
            QTest::addRow("%s, French", name) << Language::French << open;
            QTest::addRow("%s, English", name) << Language::English << open;
        }
    }
    void everyTextShowsWhole() {
        QFETCH(Language, language);
        QFETCH(Factory, open);
        wbtest::whileModal<QMessageBox>([](QMessageBox* box) {  // the bitmap dialog's "no such file"
            box->accept();
            return false;
        });
        m_app->setLanguage(language);
        std::unique_ptr<QDialog> dialog(open(*m_app));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QVERIFY(!dialog->windowTitle().isEmpty());
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_').remove(u',');
        // Every page of a sheet, as the user turns to it.
        QList<QTabWidget*> sheets = dialog->findChildren<QTabWidget*>();
        const int pages = sheets.isEmpty() ? 1 : sheets.first()->count();
        for (int page = 0; page < pages; ++page) {
            if (!sheets.isEmpty()) sheets.first()->setCurrentIndex(page);
            QApplication::processEvents();
            shoot(dialog.get(), QStringLiteral("%1-%2").arg(tag).arg(page));
            const QStringList cut = cutTexts(dialog.get());
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
        }
    }
};

QTEST_MAIN(TstDialogs)
#include "tst_dialogs.moc"
