// Writes the assembler library's settings through QSettings, which keeps the INI file the
// plain reader reads.
#include <QSettings>
#include <QString>

#include "driver/library_settings.h"

namespace qubrix {

void WriteOriginTexts(const OriginTexts& origins) {
    QSettings store("hvl_mobr", "qubrix");
    store.setValue(QStringLiteral("ASSEMBLEUR/SECTION 9"), QString::fromStdString(origins.code));
    store.setValue(QStringLiteral("ASSEMBLEUR/SECTION 15"), QString::fromStdString(origins.var));
    store.sync();
}

}  // namespace qubrix
