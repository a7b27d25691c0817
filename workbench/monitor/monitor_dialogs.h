// The monitor's dialogs: the S-record download (LoadSR), the register window (Cpu) and its
// edit dialog (ModifRegistre), the run dialog (Executer) and the monitor configuration
// (Confmoniteur).
#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <vector>

#include "gui_relay.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;

namespace korvan::monitor {

class CDocMonitor;
class ComTread;
class RegCpu;
class SRecord;

// Sends one S-record file: "LO" CR 0x16, one block per acknowledgement, then the end sequence
// (CR, and "PC=" with the entry address when there is one). Everything goes through the
// channel's sending thread, so the progress bar and Cancel respond while a block waits for its
// acknowledgement. After Cancel only the lone CR that ends the monitor's load mode follows. A
// block left unacknowledged stops the download there: the CR is still sent while the line
// lives, no "PC=", and failure() says which block and how much was sent.
class LoadSR : public QDialog {
    Q_OBJECT
public:
    LoadSR(QWidget* parent, ComTread& channel, const QString& fileName);
    ~LoadSR() override;

    // Why the file cannot be sent (it names the file and line), or empty when it can.
    QString readerError() const { return m_readerError; }
    // Blocks handed to the channel so far.
    int blocksSent() const { return m_blocks; }
    // Why the download stopped before its end (Cancel aside), or empty.
    QString failure() const { return m_failure; }
    // The entry address the file names (0 when none); "PC=" sets it once the download completed.
    uint32_t entryAddress() const;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void nextBlock();
    void blockDone(bool acknowledged);

    ComTread& m_channel;
    QString m_fileName;
    std::unique_ptr<SRecord> m_reader;
    QString m_readerError;
    QLineEdit* m_fileEdit;
    QLineEdit* m_addressEdit;
    QLineEdit* m_lengthEdit;
    QProgressBar* m_progress;
    GuiRelay m_relay{this};
    bool m_started = false;
    bool m_ending = false;
    bool m_cancelled = false;
    int m_blocks = 0;
    uint32_t m_blockAddress = 0;  // of the block waiting for its acknowledgement
    long long m_dataSent = 0;     // data bytes of the blocks sent so far
    QString m_failure;
};

// The register window: data, address and stack registers, PC, SR with its CCR letters, VBR,
// SFC and DFC as the monitor last dumped them. Double-clicks and buttons edit a register on
// the module.
class Cpu : public QDialog {
    Q_OBJECT
public:
    Cpu(QWidget* parent, CDocMonitor& doc);
    // Refills every display from set; a register whose value changed since the previous call
    // is highlighted.
    void Update(const RegCpu& set);
    // The instruction at PC, disassembled, and where it stands (source line or "outside").
    void setInstruction(const QString& text);
    QString instruction() const;
    // The registers highlighted by the last Update, by index.
    std::vector<int> changedRegisters() const;

private:
    void editRow(QListWidget* list, int firstIndex, QListWidgetItem* item);
    void editButton(QPushButton* button, int index);
    // Asks for a new value; true with the value typed when it is a valid one for the register.
    bool askValue(int index, const QString& current, uint32_t& value);

    CDocMonitor& m_doc;
    QListWidget* m_data;
    QListWidget* m_address;
    QListWidget* m_stack;
    QPushButton* m_pc;
    QPushButton* m_sr;
    QPushButton* m_vbr;
    QPushButton* m_sfc;
    QPushButton* m_dfc;
    QLineEdit* m_ccr;
    QLineEdit* m_flags;
    QLineEdit* m_instruction;
    std::unique_ptr<RegCpu> m_previous;
    std::vector<int> m_changed;
};

// One register value typed by the user.
class ModifRegistre : public QDialog {
    Q_OBJECT
public:
    ModifRegistre(QWidget* parent, const QString& label, const QString& value);
    QString value() const;

private:
    QLineEdit* m_label;
    QLineEdit* m_value;
};

// The start address of a run.
class Executer : public QDialog {
    Q_OBJECT
public:
    explicit Executer(QWidget* parent);
    void setStartAddress(const QString& text);
    QString startAddress() const;

private:
    QLineEdit* m_address;
};

// The monitor link's settings: port, detection at start-up, automatic download.
class Confmoniteur : public QDialog {
    Q_OBJECT
public:
    explicit Confmoniteur(QWidget* parent);
    void setValues(const QString& port, bool detect, bool autoDownload);
    QString port() const;
    bool detect() const;
    bool autoDownload() const;

private:
    QComboBox* m_port;
    QCheckBox* m_detect;
    QCheckBox* m_autoDownload;
};

}  // namespace korvan::monitor
