// The workbench opens the files named on its command line (how the desktop hands it a file).
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "qt_test_support.h"
#include "korvan_app.h"
#include "korvan_view.h"
#include "main_frame.h"

using namespace korvan::shell;
using namespace wbtest;

class TstCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    QTemporaryDir m_work;
    QString m_savedCwd;

private slots:
    void initTestCase() {
        isolateSettings(m_config.path());
        m_savedCwd = QDir::currentPath();
        QDir::setCurrent(m_work.path());
        setStore(QStringLiteral("GNU/PREFIXE"), QStringLiteral("korvan-test-absent-"));
        writeFile(m_work.filePath(QStringLiteral("a.src")), "A RTS\n");
        writeFile(m_work.filePath(QStringLiteral("b.def")), "B EQU 1\n");
        writeFile(m_work.filePath(QStringLiteral("-c.src")), "C RTS\n");
    }
    void cleanupTestCase() { QDir::setCurrent(m_savedCwd); }
    void init() { resetWatchers(); }

    void opensNamedFiles_data() {
        QTest::addColumn<QStringList>("arguments");  // after the program's name
        QTest::addColumn<QStringList>("opened");     // "title: first line" of each window, first opened first
        QTest::addColumn<bool>("warned");            // a message box named a file that failed
        QTest::newRow("none: starts empty") << QStringList{} << QStringList{} << false;
        QTest::newRow("two files in the order given")
            << QStringList{"b.def", m_work.filePath("a.src")} << QStringList{"b.def: B EQU 1", "a.src: A RTS"} << false;
        QTest::newRow("dashed name only after --")
            << QStringList{"-x", "--", "-c.src"} << QStringList{"-c.src: C RTS"} << false;
        QTest::newRow("a missing file is reported, the rest still opens")
            << QStringList{"missing.src", "a.src"} << QStringList{"a.src: A RTS"} << true;
    }
    void opensNamedFiles() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, opened);
        QFETCH(bool, warned);
        QString boxText;
        if (warned) answerBox(&boxText);

        CKorvanApp app;
        QVERIFY(app.start(QStringList{QStringLiteral("korvan")} + arguments));
        QStringList windows;
        for (QMdiSubWindow* w : app.mainFrame()->mdiArea()->subWindowList(QMdiArea::CreationOrder))
            windows << static_cast<CChildFrame*>(w)->documentTitle() + QStringLiteral(": ") +
                           qobject_cast<CKorvanView*>(w->widget())->toPlainText().section(u'\n', 0, 0);
        QCOMPARE(windows, opened);
        if (warned) QVERIFY2(boxText.contains(QStringLiteral("missing.src")), qPrintable(boxText));
    }
};

QTEST_MAIN(TstCommandLine)
#include "tst_command_line.moc"
