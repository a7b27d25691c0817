// The GNU settings sheet "Configuration GNU...": where the toolchain was found, the compiler
// options, the linker options and the sorted list of linker input files, each with the
// defaults that build a program for the module with the project's run-time.
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

#include "texts.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace korvan::shell {
class SettingsStore;
}

namespace korvan::build {

// The folder of the C/C++ run-time (crt0.o, libkorvan.a, korvan.ld, korvan.h, the specs files):
// "runtime" beside the program's own bin folder (the build tree), otherwise lib/korvan/runtime
// beside it (an installed tree).
QString runtimeFolder();

// The three entries of section "GNU" the sheet edits; one load/save pair against the store.
struct GnuSettings {
    QString compilerOptions;  // "CFLAG"
    QString linkerOptions;    // "LFLAG"
    QString linkerFiles;      // "FICHIER", names separated by single blanks

    static GnuSettings load(const shell::SettingsStore& store);
    void save(shell::SettingsStore& store) const;
};

class CGnuRep : public QWidget {
    Q_OBJECT
public:
    CGnuRep(bool toolchainPresent, const QString& root, shell::Language language);

private:
    QLineEdit* m_toolFolder;
    QLineEdit* m_compilerFolder;
    QCheckBox* m_installed;
};

class CGnuCompC : public QWidget {
    Q_OBJECT
public:
    CGnuCompC(const QString& options, shell::Language language);
    QString options() const;
    void setDefaults();

private:
    QLineEdit* m_options;
};

class CConfLinker : public QWidget {
    Q_OBJECT
public:
    CConfLinker(const QString& options, const QString& files, shell::Language language);
    QString options() const;
    // The file text: the list joined when the page has been shown, otherwise as given.
    QString files() const;
    QListWidget* fileList() const { return m_list; }
    void setDefaults();
    void addFile(const QString& path);
    void removeSelected();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void chooseFile();

    QLineEdit* m_options;
    QListWidget* m_list;
    QString m_fileText;
    bool m_listFilled = false;
};

class CGnuSheet : public QDialog {
    Q_OBJECT
public:
    CGnuSheet(QWidget* parent, const GnuSettings& values, bool toolchainPresent, const QString& root,
              shell::Language language);
    // The values of the pages (what OK stores).
    GnuSettings values() const;
    QTabWidget* tabs() const { return m_tabs; }

private:
    QTabWidget* m_tabs;
    CGnuCompC* m_compiler;
    CConfLinker* m_linker;
};

// Shows the sheet over parent and writes the three entries on OK only.
void configureGnu(QWidget* parent, shell::SettingsStore& store, bool toolchainPresent, const QString& root,
                  shell::Language language);

}  // namespace korvan::build
