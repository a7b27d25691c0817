// The progress dialog and the configuration dialog of the assembler library.
#include "driver/asm_dialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace qubrix {

namespace {

constexpr AsmDlgTexts kFrenchTexts{
    "Assembleur", "Moniteur...", "Annuler", "Fichier", "Nombre d'erreur(s) =", "Nombre de warning(s) =",
};
constexpr AsmDlgTexts kEnglishTexts{
    "Assembler", "Monitor...", "Cancel", "File", "Error number =", "warning number",
};

QLineEdit* ReadOnlyField(const char* objectName, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setReadOnly(true);
    return edit;
}

QLabel* Label(const char* text, const char* objectName, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

}  // namespace

const AsmDlgTexts& AsmDlgTextsFor(Language lang) { return lang == Language::French ? kFrenchTexts : kEnglishTexts; }

CAsmDlg::CAsmDlg(QWidget* parent, std::string sourcePath, Runner runner, Language lang)
    : QDialog(parent), m_sourcePath(std::move(sourcePath)), m_runner(std::move(runner)) {
    const AsmDlgTexts& texts = AsmDlgTextsFor(lang);
    setObjectName(QStringLiteral("asmDialog"));
    setWindowTitle(QString::fromUtf8(texts.title));

    m_fileEdit = ReadOnlyField("fileEdit", this);
    m_errorEdit = ReadOnlyField("errorCountEdit", this);
    m_warningEdit = ReadOnlyField("warningCountEdit", this);
    m_fileEdit->setMinimumWidth(320);

    auto* fields = new QGridLayout;
    fields->addWidget(Label(texts.file, "fileLabel", this), 0, 0);
    fields->addWidget(m_fileEdit, 0, 1);
    fields->addWidget(Label(texts.errors, "errorLabel", this), 1, 0);
    fields->addWidget(m_errorEdit, 1, 1);
    fields->addWidget(Label(texts.warnings, "warningLabel", this), 2, 0);
    fields->addWidget(m_warningEdit, 2, 1);

    // "Monitor..." is the dialog's OK button; it stays disabled until a run counted no error.
    m_monitorButton = new QPushButton(QString::fromUtf8(texts.monitor), this);
    m_monitorButton->setObjectName(QStringLiteral("monitorButton"));
    m_monitorButton->setDefault(true);
    m_monitorButton->setEnabled(false);
    m_cancelButton = new QPushButton(QString::fromUtf8(texts.cancel), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAutoDefault(false);
    connect(m_monitorButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_monitorButton);
    buttons->addWidget(m_cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    refresh();
}

CAsmDlg::~CAsmDlg() { waitForRun(); }

void CAsmDlg::setFileText(const std::string& text) { m_fileEdit->setText(QString::fromStdString(text)); }

std::string CAsmDlg::fileText() const { return m_fileEdit->text().toStdString(); }

void CAsmDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The run starts from the event loop once the dialog is up, never from inside show().
    if (!m_started && !m_launchQueued) {
        m_launchQueued = true;
        QMetaObject::invokeMethod(this, &CAsmDlg::launchRun, Qt::QueuedConnection);
    }
}

void CAsmDlg::launchRun() {
    if (m_started) return;
    m_started = true;
    m_running = true;
    // The passes run on a worker thread while this thread keeps the dialog painted and Cancel
    // pressable. The worker touches nothing of the dialog: its outcome comes back queued.
    m_worker = std::thread([this] {
        PassCounts counts;
        std::exception_ptr failure;
        try {
            if (m_runner) counts = m_runner(m_sourcePath);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this, [this, counts, failure] { runFinished(counts, failure); }, Qt::QueuedConnection);
    });
}

void CAsmDlg::runFinished(PassCounts counts, std::exception_ptr failure) {
    if (m_worker.joinable()) m_worker.join();
    m_running = false;
    m_cancelButton->setEnabled(true);
    if (failure) {
        // Exceptions must not cross the event loop: keep it for the caller and close.
        m_exception = failure;
        m_counts = PassCounts{};
        QDialog::reject();
        return;
    }
    m_counts = counts;
    m_finished = true;
    refresh();
    if (m_cancelAsked) QDialog::reject();
}

void CAsmDlg::waitForRun() {
    if (!m_worker.joinable()) return;
    if (!m_cancelAsked) {
        m_cancelAsked = true;
        if (m_canceller) m_canceller();
    }
    m_worker.join();
    m_running = false;
}

void CAsmDlg::accept() {
    if (m_running) return;  // "Monitor..." only once the run is over
    QDialog::accept();
}

void CAsmDlg::reject() {
    if (!m_running) return QDialog::reject();
    // The run stops before its next line; the dialog closes once the worker has returned.
    if (m_cancelAsked) return;
    m_cancelAsked = true;
    m_cancelButton->setEnabled(false);
    if (m_canceller) m_canceller();
}

void CAsmDlg::refresh() {
    // The counts stay empty until the run is over.
    m_errorEdit->setText(m_finished ? QString::number(m_counts.errors) : QString());
    m_warningEdit->setText(m_finished ? QString::number(m_counts.warnings) : QString());
    m_monitorButton->setEnabled(m_finished && m_counts.errors == 0 && !m_counts.failed);
}

CConfAsm::CConfAsm(QWidget* parent, const std::string& codeOrigin, const std::string& varOrigin) : QDialog(parent) {
    setObjectName(QStringLiteral("confAsmDialog"));
    setWindowTitle(QString::fromUtf8("Configuration de l'assembleur"));

    m_codeEdit = new QLineEdit(QString::fromStdString(codeOrigin), this);
    m_codeEdit->setObjectName(QStringLiteral("codeOriginEdit"));
    m_varEdit = new QLineEdit(QString::fromStdString(varOrigin), this);
    m_varEdit->setObjectName(QStringLiteral("varOriginEdit"));

    auto* fields = new QGridLayout;
    fields->addWidget(Label("Section code(9):", "codeOriginLabel", this), 0, 0);
    fields->addWidget(m_codeEdit, 0, 1);
    fields->addWidget(Label("Section Var.(15)", "varOriginLabel", this), 1, 0);
    fields->addWidget(m_varEdit, 1, 1);

    auto* ok = new QPushButton(QStringLiteral("&Valider"), this);
    ok->setObjectName(QStringLiteral("validateButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Annuler"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
}

std::string CConfAsm::codeOrigin() const { return m_codeEdit->text().toStdString(); }

std::string CConfAsm::varOrigin() const { return m_varEdit->text().toStdString(); }

}  // namespace qubrix
