// The monitor's dialogs.
#include "monitor_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "com_tread.h"
#include "dialog_fit.h"
#include "korvan_app.h"
#include "monitor_doc.h"
#include "monitor_texts.h"
#include "reg_cpu.h"
#include "srecord.h"

namespace korvan::monitor {

namespace {

bool english() {
    const shell::CKorvanApp* app = shell::CKorvanApp::instance();
    return app && app->uiLanguage() == shell::Language::English;
}

QLineEdit* readOnlyEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    return edit;
}

QPushButton* button(QWidget* parent, const QString& text, const char* name) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QString qs(const std::string& s) { return QString::fromStdString(s); }

// "&Valider"/"&Annuler" style OK and Cancel buttons under a dialog.
QHBoxLayout* okCancel(QDialog* dlg, const QString& okText, const QString& cancelText) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    QPushButton* ok = button(dlg, okText, "okButton");
    ok->setDefault(true);
    ok->setAutoDefault(true);
    QPushButton* cancel = button(dlg, cancelText, "cancelButton");
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dlg, &QDialog::reject);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

LoadSR::LoadSR(QWidget* parent, ComTread& channel, const QString& fileName)
    : QDialog(parent), m_channel(channel), m_fileName(fileName) {
    setWindowTitle(monitorText(mtext::kLoadTitle));
    m_reader = std::make_unique<SRecord>(QFile::encodeName(fileName).toStdString());
    if (m_reader->error() != SRecordError::None) m_readerError = qs(m_reader->errorMessage(english()));

    m_fileEdit = readOnlyEdit(this, "fileEdit");
    m_addressEdit = readOnlyEdit(this, "addressEdit");
    m_lengthEdit = readOnlyEdit(this, "lengthEdit");
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    auto* form = new QFormLayout;
    form->addRow(monitorText(mtext::kLoadFile), m_fileEdit);
    form->addRow(monitorText(mtext::kLoadAddress), m_addressEdit);
    form->addRow(monitorText(mtext::kLoadLength), m_lengthEdit);
    QPushButton* cancel = button(this, monitorText(mtext::kCancel), "cancelButton");
    connect(cancel, &QPushButton::clicked, this, &LoadSR::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_progress);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    m_fileEdit->setText(m_fileName);
    m_progress->setRange(0, std::max(1, m_reader->TotalLines()));
    m_progress->setValue(0);
}

LoadSR::~LoadSR() {
    m_relay.detach();
    if (!m_ending) m_channel.DropPending();
}

void LoadSR::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_started || !m_readerError.isEmpty()) return;
    m_started = true;
    m_channel.SendString(std::string("LO\r\x16", 4), m_relay.wrap([this] { nextBlock(); }));
}

void LoadSR::reject() {
    // The end sequence or a stop is under way: the dialog closes by itself in a moment.
    if (m_ending) return;
    // No further block and no "PC=", but the lone CR that ends load mode, after the block that
    // may be on its way: otherwise the monitor would take the next command as a block header.
    m_cancelled = true;
    m_ending = true;
    m_channel.DropPending();
    if (m_started && !m_channel.IsLineLost()) m_channel.WriteBytes("\r");
    QDialog::reject();
}

uint32_t LoadSR::entryAddress() const { return m_reader->EntryAddress(); }

void LoadSR::blockDone(bool acknowledged) {
    if (m_ending) return;
    if (acknowledged) {
        nextBlock();
        return;
    }
    // The module did not take the block: stop here, and never report the program as loaded.
    m_ending = true;
    m_failure =
        monitorText(mtext::kBlockNotAcknowledged).arg(QString::asprintf("%8.8X", m_blockAddress)).arg(m_dataSent);
    const auto stop = m_relay.wrap([this] { done(QDialog::Rejected); });
    if (m_channel.IsLineLost()) {
        stop();
        return;
    }
    m_channel.Pause(200);
    m_channel.WriteBytes("\r", stop);
}

void LoadSR::nextBlock() {
    if (m_cancelled || m_ending) return;
    unsigned char buffer[kBlockBufferSize];
    int length = 0;
    uint32_t address = 0;
    const bool has = m_reader->NextBlock(buffer, length, address);
    if (has) m_addressEdit->setText(QString::asprintf("$%8.8X", address));
    m_lengthEdit->setText(QString::number(length));
    m_progress->setValue(std::min(m_reader->LinesRead(), m_progress->maximum()));
    if (has && length > 0) {
        ++m_blocks;
        m_blockAddress = address;
        m_dataSent += length - 6;
        m_channel.WriteBlockAck(std::string(reinterpret_cast<const char*>(buffer), std::size_t(length)),
                                m_relay.wrapResult<bool>([this](bool acknowledged) { blockDone(acknowledged); }));
        return;
    }
    // The end of the load: a pause, a lone CR, a short pause, then the entry address if any.
    m_ending = true;
    const auto finish = m_relay.wrap([this] { accept(); });
    m_channel.Pause(200);
    m_channel.WriteBytes("\r");
    const uint32_t entry = m_reader->EntryAddress();
    if (entry != 0) {
        m_channel.Pause(5);
        m_channel.SendString(QString::asprintf("PC=%X\r", entry).toStdString(), finish);
    } else {
        m_channel.Pause(5, finish);
    }
}

// ---------------------------------------------------------------------------------------------

Cpu::Cpu(QWidget* parent, CDocMonitor& doc) : QDialog(parent, Qt::Tool), m_doc(doc) {
    setWindowTitle(monitorText(mtext::kCpuTitle));
    setModal(false);
    auto makeList = [this](const char* name, int rows) {
        auto* list = new QListWidget(this);
        list->setObjectName(QLatin1String(name));
        list->setSortingEnabled(false);
        QFont f = list->font();
        f.setFamily(QStringLiteral("monospace"));
        f.setStyleHint(QFont::TypeWriter);
        list->setFont(f);
        list->setFixedHeight(rows * (list->fontMetrics().height() + 4) + 6);
        return list;
    };
    m_data = makeList("dataList", 8);
    m_address = makeList("addressList", 8);
    m_stack = makeList("stackList", 2);
    m_pc = button(this, QStringLiteral("PC = 00000000"), "pcButton");
    m_sr = button(this, QStringLiteral("SR = 2700"), "srButton");
    m_vbr = button(this, QStringLiteral("VBR = 00000000"), "vbrButton");
    m_sfc = button(this, QStringLiteral("SFC = 000"), "sfcButton");
    m_dfc = button(this, QStringLiteral("DFC = 000"), "dfcButton");
    for (QPushButton* b : {m_vbr, m_sfc, m_dfc}) b->setEnabled(false);
    m_ccr = readOnlyEdit(this, "ccrEdit");
    m_flags = readOnlyEdit(this, "flagsEdit");
    m_instruction = readOnlyEdit(this, "instructionEdit");
    QPushButton* close = button(this, monitorText(mtext::kClose), "closeButton");

    for (int i = 0; i < 8; ++i) {
        m_data->addItem(qs(RegisterText(kRegD0 + i, 0)));
        m_address->addItem(qs(RegisterText(kRegA0 + i, 0)));
    }
    m_stack->addItem(qs(RegisterText(kRegSS, 0)));
    m_stack->addItem(qs(RegisterText(kRegUS, 0)));

    auto group = [this](int title, QWidget* content) {
        auto* box = new QGroupBox(monitorText(title), this);
        auto* l = new QVBoxLayout(box);
        l->addWidget(content);
        return box;
    };
    auto* grid = new QGridLayout(this);
    grid->addWidget(group(mtext::kDataRegisters, m_data), 0, 0, 3, 1);
    grid->addWidget(group(mtext::kAddressRegisters, m_address), 0, 1, 3, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(m_pc);
    side->addWidget(group(mtext::kStacks, m_stack));
    side->addWidget(m_sr);
    auto* ccrRow = new QHBoxLayout;
    ccrRow->addWidget(new QLabel(QStringLiteral("CCR"), this));
    ccrRow->addWidget(m_ccr);
    side->addLayout(ccrRow);
    side->addWidget(m_flags);
    side->addWidget(m_vbr);
    side->addWidget(m_sfc);
    side->addWidget(m_dfc);
    side->addStretch();
    side->addWidget(close);
    grid->addLayout(side, 0, 2, 3, 1);
    grid->addWidget(m_instruction, 3, 0, 1, 3);

    connect(close, &QPushButton::clicked, this, [this] {
        // Docked, the dock goes with it.
        if (auto* dock = qobject_cast<QDockWidget*>(parentWidget()))
            dock->hide();
        else
            hide();
    });
    connect(m_data, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { editRow(m_data, kRegD0, item); });
    connect(m_address, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { editRow(m_address, kRegA0, item); });
    connect(m_stack, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { editRow(m_stack, kRegSS, item); });
    connect(m_pc, &QPushButton::clicked, this, [this] { editButton(m_pc, kRegPC); });
    connect(m_sr, &QPushButton::clicked, this, [this] { editButton(m_sr, kRegSR); });
}

void Cpu::Update(const RegCpu& set) {
    m_changed.clear();
    for (int i = 0; i < kRegisterCount; ++i)
        if (m_previous && m_previous->GetRegister(i) != set.GetRegister(i)) m_changed.push_back(i);
    m_previous = std::make_unique<RegCpu>(set);
    const auto changed = [this](int index) {
        return std::find(m_changed.begin(), m_changed.end(), index) != m_changed.end();
    };
    const QColor highlight(255, 230, 120);
    auto add = [&](QListWidget* list, int index) {
        auto* item = new QListWidgetItem(qs(RegisterText(index, set.GetRegister(index))), list);
        if (changed(index)) item->setBackground(highlight);
    };
    m_data->clear();
    m_address->clear();
    m_stack->clear();
    for (int i = 0; i < 8; ++i) {
        add(m_data, kRegD0 + i);
        add(m_address, kRegA0 + i);
    }
    m_pc->setText(qs(RegisterText(kRegPC, set.GetRegister(kRegPC))));
    add(m_stack, kRegSS);
    add(m_stack, kRegUS);
    m_sr->setText(qs(RegisterText(kRegSR, set.GetRegister(kRegSR))));
    for (auto [button, index] : {std::pair{m_pc, kRegPC}, std::pair{m_sr, kRegSR}}) {
        QFont f = button->font();
        f.setBold(changed(index));
        button->setFont(f);
    }
    m_ccr->setText(qs(CcrText(set.GetRegister(kRegSR))));
    m_flags->setText(qs(SrFlagsText(set.GetRegister(kRegSR))));
    m_flags->setStyleSheet(changed(kRegSR) ? QStringLiteral("background: #ffe678") : QString());
    m_vbr->setText(qs(RegisterText(kRegVBR, set.GetRegister(kRegVBR))));
    m_sfc->setText(qs(RegisterText(kRegSFC, set.GetRegister(kRegSFC))));
    m_dfc->setText(qs(RegisterText(kRegDFC, set.GetRegister(kRegDFC))));
}

void Cpu::setInstruction(const QString& text) { m_instruction->setText(text); }

QString Cpu::instruction() const { return m_instruction->text(); }

std::vector<int> Cpu::changedRegisters() const { return m_changed; }

bool Cpu::askValue(int index, const QString& current, uint32_t& value) {
    ModifRegistre dlg(this, qs(RegisterLabel(index)), current);
    if (dlg.exec() != QDialog::Accepted) return false;
    const auto typed = ParseRegisterValue(index, dlg.value().toStdString());
    if (!typed) {
        QMessageBox::warning(this, monitorText(mtext::kModifyTitle),
                             monitorText(mtext::kNotHexadecimal).arg(dlg.value()));
        return false;
    }
    value = *typed;
    return true;
}

void Cpu::editRow(QListWidget* list, int firstIndex, QListWidgetItem* item) {
    if (!item) return;
    const int row = list->row(item);
    const int index = firstIndex + row;
    uint32_t value = 0;
    if (!askValue(index, item->text().right(8), value)) return;
    delete list->takeItem(row);
    list->insertItem(row, qs(RegisterText(index, value)));
    m_doc.channel().SendString(SetCommand(index, value));
}

void Cpu::editButton(QPushButton* b, int index) {
    uint32_t value = 0;
    if (!askValue(index, b->text().right(index == kRegSR ? 4 : 8), value)) return;
    b->setText(qs(RegisterText(index, value)));
    m_doc.channel().SendString(SetCommand(index, value));
}

// ---------------------------------------------------------------------------------------------

ModifRegistre::ModifRegistre(QWidget* parent, const QString& label, const QString& value) : QDialog(parent) {
    setWindowTitle(monitorText(mtext::kModifyTitle));
    m_label = readOnlyEdit(this, "labelEdit");
    m_label->setText(label);
    m_label->setFocusPolicy(Qt::NoFocus);  // the value is what gets typed
    m_value = new QLineEdit(value, this);
    m_value->setObjectName(QStringLiteral("valueEdit"));
    m_value->selectAll();
    auto* row = new QHBoxLayout;
    row->addWidget(m_label);
    row->addWidget(m_value);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(okCancel(this, monitorText(mtext::kModifyOk), monitorText(mtext::kModifyCancel)));
    m_value->setFocus();
}

QString ModifRegistre::value() const { return m_value->text(); }

// ---------------------------------------------------------------------------------------------

Executer::Executer(QWidget* parent) : QDialog(parent) {
    setWindowTitle(monitorText(mtext::kRunTitle));
    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("addressEdit"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("PC ="), m_address);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(okCancel(this, monitorText(mtext::kOk), monitorText(mtext::kCancelAmp)));
}

void Executer::setStartAddress(const QString& text) {
    m_address->setText(text);
    m_address->selectAll();
}

QString Executer::startAddress() const { return m_address->text(); }

// ---------------------------------------------------------------------------------------------

Confmoniteur::Confmoniteur(QWidget* parent) : QDialog(parent) {
    setWindowTitle(monitorText(mtext::kConfigTitle));
    m_port = new QComboBox(this);
    m_port->setObjectName(QStringLiteral("portCombo"));
    // Any device path may be typed (a pseudo-terminal, for instance); the list offers the four
    // standard ports and the serial adapters present.
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    std::set<QString> ports{QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                            QStringLiteral("COM4")};
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString path = info.systemLocation();
        if (path.startsWith(QLatin1String("/dev/ttyUSB")) || path.startsWith(QLatin1String("/dev/ttyACM")))
            ports.insert(path);
    }
    for (const QString& p : ports) m_port->addItem(p);
    m_detect = new QCheckBox(monitorText(mtext::kConfigDetect), this);
    m_detect->setObjectName(QStringLiteral("detectCheck"));
    m_autoDownload = new QCheckBox(monitorText(mtext::kConfigAutoDownload), this);
    m_autoDownload->setObjectName(QStringLiteral("autoDownloadCheck"));
    auto* form = new QFormLayout;
    form->addRow(monitorText(mtext::kConfigPort), m_port);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_detect);
    layout->addWidget(m_autoDownload);
    layout->addLayout(okCancel(this, monitorText(mtext::kOk), monitorText(mtext::kCancelAmp)));
    // The title is longer than the controls: the window is made wide enough to show it whole.
    shell::fitTitle(this);
}

void Confmoniteur::setValues(const QString& port, bool detect, bool autoDownload) {
    const int index = m_port->findText(port);
    if (index >= 0)
        m_port->setCurrentIndex(index);
    else
        m_port->setEditText(port);  // a stored port outside the list stays shown as typed
    // A typed device path (a pseudo-terminal's, a link's) shows whole.
    constexpr int kLongestShown = 64;
    m_port->setMinimumContentsLength(
        std::min(std::max(m_port->minimumContentsLength(), int(port.size())), kLongestShown));
    m_detect->setChecked(detect);
    m_autoDownload->setChecked(autoDownload);
}

QString Confmoniteur::port() const { return m_port->currentText().trimmed(); }
bool Confmoniteur::detect() const { return m_detect->isChecked(); }
bool Confmoniteur::autoDownload() const { return m_autoDownload->isChecked(); }

}  // namespace korvan::monitor
