// The memory window.
#include "memory_panel.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "debug_session.h"
#include "monitor_dialogs.h"
#include "monitor_texts.h"
#include "reg_cpu.h"

namespace korvan::monitor {

MemoryPanel::MemoryPanel(DebugSession& session, QWidget* parent) : QWidget(parent), m_session(session) {
    setObjectName(QStringLiteral("MemoryPanel"));
    m_addressEdit = new QLineEdit(QString::asprintf("%8.8X", m_address), this);
    m_addressEdit->setObjectName(QStringLiteral("memoryAddress"));
    m_unit = new QComboBox(this);
    m_unit->setObjectName(QStringLiteral("memoryUnit"));
    m_unit->addItem(monitorText(mtext::kMemoryBytes), 1);
    m_unit->addItem(monitorText(mtext::kMemoryWords), 2);
    m_unit->addItem(monitorText(mtext::kMemoryLongs), 4);
    auto* refreshButton = new QPushButton(monitorText(mtext::kMemoryRefresh), this);
    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("memoryTable"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_table->setFont(mono);
    m_table->verticalHeader()->setFont(mono);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("memoryMessage"));
    m_message->setWordWrap(true);
    m_message->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(monitorText(mtext::kMemoryAddress), this));
    top->addWidget(m_addressEdit);
    top->addWidget(m_unit);
    top->addWidget(refreshButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_message);
    layout->addWidget(m_table);

    connect(m_addressEdit, &QLineEdit::returnPressed, this, [this] {
        if (const auto a = ParseHexValue(m_addressEdit->text().toStdString())) setAddress(*a);
    });
    connect(refreshButton, &QPushButton::clicked, this, &MemoryPanel::refresh);
    connect(m_unit, &QComboBox::currentIndexChanged, this, &MemoryPanel::fill);
    connect(m_table, &QTableWidget::cellChanged, this, &MemoryPanel::cellEdited);
    fill();
}

int MemoryPanel::unit() const { return m_unit->currentData().toInt(); }

void MemoryPanel::setAddress(uint32_t address) {
    m_address = address;
    m_addressEdit->setText(QString::asprintf("%8.8X", address));
    refresh();
}

void MemoryPanel::refresh() {
    QPointer<MemoryPanel> guard = this;
    m_session.readMemory(m_address, kBytes, [guard](const std::map<uint32_t, uint8_t>& bytes) {
        if (!guard) return;
        guard->m_bytes = bytes;
        const bool missing = guard->m_session.memoryDisplayAvailable() == false;
        guard->m_message->setText(missing ? monitorText(mtext::kMemoryNeedsMd) : QString());
        guard->m_message->setVisible(missing);
        guard->fill();
        emit guard->refreshed();
    });
}

void MemoryPanel::fill() {
    m_filling = true;
    const int u = unit();
    const int columns = kRowBytes / u;
    m_table->clear();
    m_table->setRowCount(int(kBytes) / kRowBytes);
    m_table->setColumnCount(columns + 1);
    QStringList headers;
    for (int c = 0; c < columns; ++c) headers << QString::asprintf("+%X", c * u);
    headers << QString();
    m_table->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const uint32_t rowStart = m_address + uint32_t(r * kRowBytes);
        m_table->setVerticalHeaderItem(r, new QTableWidgetItem(QString::asprintf("%8.8X", rowStart)));
        QString chars;
        for (int c = 0; c < columns; ++c) {
            QString text;
            for (int k = 0; k < u; ++k) {
                const auto it = m_bytes.find(rowStart + uint32_t(c * u + k));
                text += it == m_bytes.end() ? QStringLiteral("--") : QString::asprintf("%2.2X", it->second);
            }
            m_table->setItem(r, c, new QTableWidgetItem(text));
        }
        for (int k = 0; k < kRowBytes; ++k) {
            const auto it = m_bytes.find(rowStart + uint32_t(k));
            chars += it == m_bytes.end()                       ? QChar(u' ')
                     : it->second >= 0x20 && it->second < 0x7F ? QChar(char16_t(it->second))
                                                               : QChar(u'.');
        }
        auto* text = new QTableWidgetItem(chars);
        text->setFlags(text->flags() & ~Qt::ItemIsEditable);
        m_table->setItem(r, columns, text);
    }
    m_filling = false;
}

void MemoryPanel::cellEdited(int row, int column) {
    if (m_filling || column >= kRowBytes / unit()) return;
    const int u = unit();
    const QString typed = m_table->item(row, column)->text().trimmed();
    const auto value = ParseHexValue(typed.toStdString());
    if (!value || (u < 4 && *value >> (8 * u)) != 0) {
        QMessageBox::warning(this, monitorText(mtext::kMemoryTitle), monitorText(mtext::kMemoryBadValue).arg(typed));
        fill();
        return;
    }
    std::vector<uint8_t> bytes;
    for (int k = u - 1; k >= 0; --k) bytes.push_back(uint8_t(*value >> (8 * k)));
    m_session.writeMemory(m_address + uint32_t(row * kRowBytes + column * u), bytes);
    refresh();
}

}  // namespace korvan::monitor
