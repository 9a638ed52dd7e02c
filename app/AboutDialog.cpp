#include "app/AboutDialog.h"

#include "widgets/UiTexts.h"

#include "ui_AboutDialog.h"

namespace quenda {

AboutDialog::AboutDialog(const QImage& bitmap, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::AboutDialog>()) {
    ui_->setupUi(this);
    ApplyUiText(this);
    ui_->picture->setPixmap(QPixmap::fromImage(bitmap));
    QFont bold = ui_->name->font();
    bold.setBold(true);
    ui_->name->setFont(bold);
    setFixedSize(sizeHint());
}

AboutDialog::~AboutDialog() = default;

}  // namespace quenda
