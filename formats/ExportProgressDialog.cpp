#include "formats/ExportProgressDialog.h"

#include "base/CommandIds.h"
#include "widgets/UiTexts.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QVBoxLayout>

namespace quenda {

ExportProgressDialog::ExportProgressDialog(int maximum, QWidget* parent)
    : QDialog(parent), bar_(new QProgressBar(this)) {
    setObjectName("ExportProgressDialog");
    setWindowTitle(UiQString(str::kAppTitle, "Quenda"));
    bar_->setObjectName("progressBar");
    bar_->setRange(0, maximum);
    bar_->setValue(0);
    bar_->setMinimumWidth(320);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
}

void ExportProgressDialog::Advance(int position) {
    bar_->setValue(position);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace quenda
