#include "app/MessageBox.h"

#include "app/CommandIds.h"
#include "app/UiText.h"

namespace quenda {

void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, QString::fromStdString(UiText(str::kAppTitle, "Quenda")), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace quenda
