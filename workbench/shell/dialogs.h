// The shell's dialogs: go to line, about box, find and replace. Each takes its texts from the
// language current when it is created.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvan::shell {

class CKorvanApp;
struct FindState;

// Go to line (dialog 141): one integer field (id 1024).
class CALigne : public QDialog {
    Q_OBJECT
public:
    CALigne(CKorvanApp& app, int line, QWidget* parent);
    int line() const { return m_line; }
    QLineEdit* field() const { return m_field; }

    void accept() override;  // refuses a field that is not an integer, with a message

private:
    CKorvanApp& m_app;
    QLineEdit* m_field;
    int m_line;
};

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(CKorvanApp& app, QWidget* parent);
    QListWidget* list() const { return m_list; }

private:
    QListWidget* m_list;
};

// Modeless find or replace dialog working on the active source view through the main frame.
class CFindReplaceDlg : public QDialog {
    Q_OBJECT
public:
    CFindReplaceDlg(CKorvanApp& app, bool replace, QWidget* parent);
    bool isReplace() const { return m_replace; }
    void loadState(const FindState& state);

private:
    void storeState();
    void findNext();
    void replaceOne();
    void replaceAll();

    CKorvanApp& m_app;
    bool m_replace;
    QLineEdit* m_what;
    QLineEdit* m_with = nullptr;
    QCheckBox* m_matchCase;
    QCheckBox* m_wholeWord;
    QCheckBox* m_up = nullptr;
};

}  // namespace korvan::shell
