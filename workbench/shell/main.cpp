// The korvan workbench program.
#include <QApplication>

#include "korvan_app.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("hvl_mobr"));
    QApplication::setApplicationName(QStringLiteral("korvan"));
    korvan::shell::CKorvanApp app;
    if (!app.start(QApplication::arguments())) return 1;
    return QApplication::exec();
}
