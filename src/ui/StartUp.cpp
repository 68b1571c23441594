#include "ui/StartUp.h"

#include <QMessageBox>

namespace trovander {

void showStartUpError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Trovander"), text, QMessageBox::Ok);
    box.exec();
}

std::unique_ptr<IndexStore> openIndexOrExplain(const std::string& path,
                                               const std::function<void(const QString&)>& showError) {
    try {
        return IndexStore::open(path);
    } catch (const StoreError& e) {
        showError(QString::fromStdString(describeFault(e.fault(), e.path())) +
                  (e.detail().empty() ? QString() : QStringLiteral("\n\nDetail: ") + QString::fromStdString(e.detail())));
        return nullptr;
    }
}

}  // namespace trovander
