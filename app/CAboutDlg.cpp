#include "app/CAboutDlg.h"

#include "widgets/UiTexts.h"

#include "ui_CAboutDlg.h"

namespace quenda {

CAboutDlg::CAboutDlg(const QImage& bitmap, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::CAboutDlg>()) {
    ui_->setupUi(this);
    ApplyUiText(this);
    ui_->picture->setPixmap(QPixmap::fromImage(bitmap));
    QFont bold = ui_->name->font();
    bold.setBold(true);
    ui_->name->setFont(bold);
    setFixedSize(sizeHint());
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace quenda
