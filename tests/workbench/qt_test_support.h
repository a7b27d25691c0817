// Helpers shared by the workbench's QtTest programs: answering modal dialogs, scratch files, settings.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>

namespace wbtest {

// Parent of the dialog watchers below. resetWatchers() in each test's init() drops those still
// waiting, so that a failed test cannot answer the dialogs of the next one, and arms a guard that
// fails the test and closes a modal dialog left unanswered for five seconds: an unexpected
// dialog is a failure, not a hang.
inline QObject* watchers = nullptr;
inline void resetWatchers() {
    delete watchers;
    watchers = new QObject;
    auto* guard = new QTimer(watchers);
    QObject::connect(guard, &QTimer::timeout, guard, [last = QPointer<QWidget>(), ticks = 0]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        ticks = modal && modal == last ? ticks + 1 : 0;
        last = modal;
        if (ticks < 5) return;
        QTest::qFail(qPrintable(QStringLiteral("unanswered dialog \"%1\"").arg(modal->windowTitle())), __FILE__,
                     __LINE__);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    });
    guard->start(1000);
}

// Calls poll every few milliseconds while a modal widget of type T is up, until it returns true
// (polling, since exec() blocks the caller). Handlers that open a further modal arm their own.
template <class T> void whileModal(std::function<bool(T*)> poll) {
    auto* timer = new QTimer(watchers);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, poll] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()); w && poll(w)) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// Runs handler once on the next modal dialog of type T.
template <class T> void whenModal(std::function<void(T*)> handler) {
    whileModal<T>([handler](T* w) { return handler(w), true; });
}

// Answers the next message box with `which` (its default when NoButton), keeping its text.
inline void answerBox(QString* text = nullptr, QMessageBox::StandardButton which = QMessageBox::NoButton) {
    whenModal<QMessageBox>([text, which](QMessageBox* box) {
        if (text) *text = box->text();
        if (QAbstractButton* b = box->button(which))
            QTimer::singleShot(0, b, &QAbstractButton::click);
        else
            QTimer::singleShot(0, box, &QDialog::accept);
    });
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable " + path.toUtf8() + ">");
}

inline QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Points every settings store of the test at `folder`, never at the user's own: those of
// QSettings and the files the assembler library reads itself from the configuration folder.
inline void isolateSettings(const QString& folder) {
    QStandardPaths::setTestModeEnabled(true);
    qputenv("XDG_CONFIG_HOME", folder.toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

inline QSettings store(const char* app = "korvan") {
    return QSettings(QStringLiteral("hvl_mobr"), QString::fromLatin1(app));
}
inline void setStore(const QString& key, const QVariant& value, const char* app = "korvan") {
    store(app).setValue(key, value);  // written out when the object goes
}
inline QString storeValue(const QString& key) { return store().value(key).toString(); }

}  // namespace wbtest
