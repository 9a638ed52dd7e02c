#include "formats/OtherIdDialog.h"

#include "base/CommandIds.h"
#include "device/CaptureEngine.h"  // IdListLine
#include "store/RecordingStore.h"
#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenda {

OtherIdDialog::OtherIdDialog(const RecordingStore& store, QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)) {
    setObjectName("OtherIdDialog");
    setWindowTitle(UiQString("Open other ID data"));
    list_->setObjectName("idList");
    // The fixed-width columns of the lines line up only in a fixed-pitch font.
    QFont fixed("Monospace");
    fixed.setStyleHint(QFont::TypeWriter);
    list_->setFont(fixed);
    for (int id = 1; id <= kIdSlots; ++id) {
        if (const int count = store.IdCount(id); count > 0) {
            auto* item = new QListWidgetItem(QString::fromStdString(IdListLine(id, count)), list_);
            item->setData(Qt::UserRole, id);
        }
    }
    auto* buttons = new QDialogButtonBox(this);
    auto* done = buttons->addButton(UiQString("Done"), QDialogButtonBox::AcceptRole);
    done->setObjectName("doneButton");
    done->setDefault(true);
    buttons->addButton(UiQString("Cancel"), QDialogButtonBox::RejectRole)->setObjectName("cancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &OtherIdDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OtherIdDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(420, 300);
}

void OtherIdDialog::accept() {
    const QListWidgetItem* item = list_->currentItem();
    if (item == nullptr || !item->isSelected()) {
        ShowMessageBox(this, UiQString(str::kSelectPatientId, "Please select patient ID"));
        return;
    }
    selectedId_ = item->data(Qt::UserRole).toInt();
    QDialog::accept();
}

}  // namespace quenda
