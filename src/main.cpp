#include <QApplication>
#include <QMessageBox>

#include "app/IndexStore.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::unique_ptr<trovander::IndexStore> Conn;
    try {
        Conn = trovander::IndexStore::open(trovander::IndexStore::defaultPath());
    } catch (const trovander::StoreError& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Trovander"), QString::fromStdString(e.what()));
        return 1;
    }
    return 0;
}
