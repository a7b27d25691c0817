// The GNU settings sheet and its three pages.
#include "gnu_settings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "dialog_fit.h"
#include "gnu_core.h"
#include "settings_store.h"

namespace korvan::build {

namespace {

const QString kSection = QStringLiteral("GNU");
// Options fields show at least this many characters, the room for a few more options.
constexpr int kOptionChars = 48;

// Makes the linker's file list wide enough for the longest of `files` (to a limit past which
// it scrolls), with room for its frame and vertical scroll bar.
void fitFileList(QListWidget* list, const std::vector<std::string>& files) {
    const QFontMetrics metrics = list->fontMetrics();
    int widest = 24 * metrics.averageCharWidth();
    for (const auto& f : files) widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(f)));
    widest = std::min(widest, 96 * metrics.averageCharWidth());
    const int chrome = 2 * list->frameWidth() + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                       2 * metrics.averageCharWidth();
    list->setMinimumWidth(std::max(list->minimumWidth(), widest + chrome));
}

QString tr2(shell::Language lang, const char* french, const char* english) {
    return QString::fromUtf8(lang == shell::Language::French ? french : english);
}

}  // namespace

QString runtimeFolder() {
    // Found from the program's own folder only, so that an installed tree can be moved and
    // never depends on the build tree: <build>/bin and <build>/runtime, or <prefix>/bin and
    // <prefix>/lib/korvan/runtime once installed (the installed place when neither exists).
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString installed = QDir::cleanPath(bin.absoluteFilePath(QStringLiteral("../lib/korvan/runtime")));
    for (const QString& folder : {QDir::cleanPath(bin.absoluteFilePath(QStringLiteral("../runtime"))), installed}) {
        if (QFileInfo(folder + QStringLiteral("/korvan.ld")).isFile()) return folder;
    }
    return installed;
}

GnuSettings GnuSettings::load(const shell::SettingsStore& store) {
    // A settings file without the entries builds with the run-time's defaults, and so does one
    // holding the earlier run-time's defaults, whose files are gone.
    const std::string folder = runtimeFolder().toStdString();
    const auto defaults = gnu::defaultOptions(folder);
    const auto former = gnu::formerDefaultOptions(folder);
    const auto text = [](const std::string& s) { return QString::fromStdString(s); };
    GnuSettings values{
        store.GetSettingString(kSection, QStringLiteral("CFLAG"), text(defaults.compiler)),
        store.GetSettingString(kSection, QStringLiteral("LFLAG"), text(defaults.linker)),
        store.GetSettingString(kSection, QStringLiteral("FICHIER"), text(gnu::joinFileList(defaults.files)))};
    if (values.compilerOptions == text(former.compiler)) values.compilerOptions = text(defaults.compiler);
    if (values.linkerOptions == text(former.linker) && values.linkerFiles == text(gnu::joinFileList(former.files))) {
        values.linkerOptions = text(defaults.linker);
        values.linkerFiles = text(gnu::joinFileList(defaults.files));
    }
    return values;
}

void GnuSettings::save(shell::SettingsStore& store) const {
    store.WriteSettingString(kSection, QStringLiteral("CFLAG"), compilerOptions);
    store.WriteSettingString(kSection, QStringLiteral("LFLAG"), linkerOptions);
    store.WriteSettingString(kSection, QStringLiteral("FICHIER"), linkerFiles);
}

CGnuRep::CGnuRep(bool toolchainPresent, const QString& root, shell::Language language) {
    m_toolFolder = new QLineEdit(toolchainPresent ? root + QStringLiteral("/bin") : QString(), this);
    m_toolFolder->setObjectName(QStringLiteral("toolFolderEdit"));
    m_compilerFolder = new QLineEdit(toolchainPresent ? root + QStringLiteral("/bin") : QString(), this);
    m_compilerFolder->setObjectName(QStringLiteral("compilerFolderEdit"));
    m_toolFolder->setReadOnly(true);
    m_compilerFolder->setReadOnly(true);
    for (QLineEdit* field : {m_toolFolder, m_compilerFolder}) shell::fitLineEdit(field, field->text());
    m_installed = new QCheckBox(tr2(language, "Compilateur GNU C/C++ installé", "GNU C/C++ is setup"), this);
    m_installed->setObjectName(QStringLiteral("installedCheck"));
    m_installed->setChecked(toolchainPresent);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Utilitaire"), m_toolFolder);
    form->addRow(tr2(language, "Compilateur", "Compilateur"), m_compilerFolder);
    form->addRow(m_installed);
}

CGnuCompC::CGnuCompC(const QString& options, shell::Language language) {
    m_options = new QLineEdit(options, this);
    m_options->setObjectName(QStringLiteral("compilerOptionsEdit"));
    // Wide enough for the options given and for the defaults the button puts there.
    shell::fitLineEdit(m_options, options, kOptionChars);
    shell::fitLineEdit(m_options, QString::fromStdString(gnu::defaultOptions(runtimeFolder().toStdString()).compiler));
    auto* defaults = new QPushButton(tr2(language, "Défaut", "Default"), this);
    defaults->setObjectName(QStringLiteral("compilerDefaultButton"));
    connect(defaults, &QPushButton::clicked, this, &CGnuCompC::setDefaults);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Options"), m_options);
    layout->addLayout(form);
    layout->addWidget(defaults, 0, Qt::AlignLeft);
    layout->addStretch();
}

QString CGnuCompC::options() const { return m_options->text(); }

void CGnuCompC::setDefaults() {
    m_options->setText(QString::fromStdString(gnu::defaultOptions(runtimeFolder().toStdString()).compiler));
}

CConfLinker::CConfLinker(const QString& options, const QString& files, shell::Language language) : m_fileText(files) {
    m_options = new QLineEdit(options, this);
    m_options->setObjectName(QStringLiteral("linkerOptionsEdit"));
    shell::fitLineEdit(m_options, options, kOptionChars);
    shell::fitLineEdit(m_options, QString::fromStdString(gnu::defaultOptions(runtimeFolder().toStdString()).linker));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("linkerFileList"));
    m_list->setSortingEnabled(true);
    fitFileList(m_list, gnu::splitFileList(files.toStdString()));
    auto* defaults = new QPushButton(tr2(language, "Défaut", "Default"), this);
    defaults->setObjectName(QStringLiteral("linkerDefaultButton"));
    auto* add = new QPushButton(tr2(language, "Ajouter", "Add"), this);
    add->setObjectName(QStringLiteral("addButton"));
    auto* remove = new QPushButton(tr2(language, "Enlever", "Delete"), this);
    remove->setObjectName(QStringLiteral("removeButton"));
    connect(defaults, &QPushButton::clicked, this, &CConfLinker::setDefaults);
    connect(add, &QPushButton::clicked, this, &CConfLinker::chooseFile);
    connect(remove, &QPushButton::clicked, this, &CConfLinker::removeSelected);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Options"), m_options);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(defaults);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(m_list);
    row->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(row);
}

QString CConfLinker::options() const { return m_options->text(); }

QString CConfLinker::files() const {
    if (!m_listFilled) return m_fileText;
    std::vector<std::string> entries;
    for (int i = 0; i < m_list->count(); ++i) entries.push_back(m_list->item(i)->text().toStdString());
    return QString::fromStdString(gnu::joinFileList(entries));
}

void CConfLinker::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_list->clear();
    for (const auto& f : gnu::splitFileList(m_fileText.toStdString())) m_list->addItem(QString::fromStdString(f));
    m_listFilled = true;
}

void CConfLinker::hideEvent(QHideEvent* event) {
    m_fileText = files();
    QWidget::hideEvent(event);
}

void CConfLinker::setDefaults() {
    const auto defaults = gnu::defaultOptions(runtimeFolder().toStdString());
    m_options->setText(QString::fromStdString(defaults.linker));
    m_list->clear();
    for (const auto& f : defaults.files) m_list->addItem(QString::fromStdString(f));
    fitFileList(m_list, defaults.files);
    m_listFilled = true;
}

void CConfLinker::addFile(const QString& path) {
    m_list->addItem(path);
    fitFileList(m_list, {path.toStdString()});
    m_listFilled = true;
}

void CConfLinker::removeSelected() {
    const auto selected = m_list->selectedItems();
    if (!selected.isEmpty()) delete m_list->takeItem(m_list->row(selected.first()));
}

void CConfLinker::chooseFile() {
    QFileDialog dialog(this, QString(), QString(), QStringLiteral("Object file (*.o)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        addFile(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath());
}

CGnuSheet::CGnuSheet(QWidget* parent, const GnuSettings& values, bool toolchainPresent, const QString& root,
                     shell::Language language)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Configuration GNU..."));
    m_tabs = new QTabWidget(this);
    m_compiler = new CGnuCompC(values.compilerOptions, language);
    m_linker = new CConfLinker(values.linkerOptions, values.linkerFiles, language);
    m_tabs->addTab(new CGnuRep(toolchainPresent, root, language), QStringLiteral("Répertoire"));
    m_tabs->addTab(m_compiler, tr2(language, "Compilateur C/C++", "C/C++ compilator"));
    m_tabs->addTab(m_linker, QStringLiteral("Linker"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr2(language, "OK", "OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr2(language, "Annuler", "Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    shell::fitTitle(this);
}

GnuSettings CGnuSheet::values() const { return {m_compiler->options(), m_linker->options(), m_linker->files()}; }

void configureGnu(QWidget* parent, shell::SettingsStore& store, bool toolchainPresent, const QString& root,
                  shell::Language language) {
    CGnuSheet sheet(parent, GnuSettings::load(store), toolchainPresent, root, language);
    if (sheet.exec() == QDialog::Accepted) sheet.values().save(store);
}

}  // namespace korvan::build
