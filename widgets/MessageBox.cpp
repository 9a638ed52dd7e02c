#include "widgets/MessageBox.h"

#include "base/CommandIds.h"
#include "base/UiText.h"

namespace quenda {

namespace {

QString Caption() { return QString::fromStdString(UiText(str::kAppTitle, "Quenda")); }

}  // namespace

void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, Caption(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskOkCancel(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, Caption(), text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace quenda
