// The memory window: 256 bytes of the module's memory from an address, as bytes, words or
// longs with their characters, read with the monitor's "md" and refreshed on every stop. A value
// typed over another is written with a one-block download.
#pragma once

#include <QWidget>

#include <cstdint>
#include <map>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace korvan::monitor {

class DebugSession;

class MemoryPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr uint32_t kBytes = 256;
    static constexpr int kRowBytes = 16;

    MemoryPanel(DebugSession& session, QWidget* parent);
    // Reads the memory again from the address shown.
    void refresh();
    void setAddress(uint32_t address);
    uint32_t address() const { return m_address; }
    // The bytes last read (address to value).
    const std::map<uint32_t, uint8_t>& bytesShown() const { return m_bytes; }

signals:
    void refreshed();

private:
    void fill();
    void cellEdited(int row, int column);
    int unit() const;

    DebugSession& m_session;
    uint32_t m_address = 0x802000;
    std::map<uint32_t, uint8_t> m_bytes;
    QLineEdit* m_addressEdit;
    QComboBox* m_unit;
    QTableWidget* m_table;
    QLabel* m_message;
    bool m_filling = false;
};

}  // namespace korvan::monitor
