#include "device/DeleteDataDialog.h"

#include "device/RecorderTraits.h"
#include "store/RecordingStore.h"
#include "ui_DeleteDataDialog.h"
#include "widgets/UiTexts.h"

namespace quenda {

namespace {
constexpr const char* kAll = "All";
constexpr const char* kSpo2AndPr = "SpO2&Pr";
}  // namespace

DeleteDataDialog::DeleteDataDialog(const std::vector<int>& ids, int dataFormatCode, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::DeleteDataDialog>()) {
    ui_->setupUi(this);
    ApplyUiText(this);

    ui_->dataTypeBox->addItem(UiQString(kAll));
    ui_->dataTypeBox->addItem(UiQString(kSpo2AndPr));
    ui_->idBox->addItem(UiQString(kAll));
    for (int id : ids) ui_->idBox->addItem(QString::number(id));
    ui_->idBox->setCurrentIndex(0);
    ui_->dataTypeBox->setCurrentIndex(0);
    idText_ = ui_->idBox->itemText(0);
    dataTypeCode_ = 0;
    // Such a recorder erases everything whatever ID it is sent.
    ui_->idBox->setEnabled(TraitsFor(dataFormatCode).canDeleteSingleId);

    connect(ui_->idBox, &QComboBox::activated, this, &DeleteDataDialog::OnIdChosen);
    connect(ui_->dataTypeBox, &QComboBox::activated, this, &DeleteDataDialog::OnDataTypeChosen);
}

DeleteDataDialog::~DeleteDataDialog() = default;

std::vector<int> DeleteDataDialog::IdsWithGroups(const RecordingStore& store) {
    std::vector<int> ids;
    for (int id = 1; id <= kIdSlots; ++id) {
        if (store.IdCount(id) > 0) ids.push_back(id);
    }
    return ids;
}

int DeleteDataDialog::Id() const {
    // "All" reads as 0, as any text without leading digits does.
    int id = 0;
    for (const QChar c : idText_.trimmed()) {
        if (c < u'0' || c > u'9') break;
        id = id * 10 + (c.unicode() - u'0');
    }
    return id;
}

void DeleteDataDialog::OnIdChosen(int index) {
    if (index == 0) {
        idText_ = ui_->idBox->itemText(0);
        ui_->dataTypeBox->setCurrentIndex(0);
        dataTypeCode_ = 0;
        return;
    }
    idText_ = ui_->idBox->itemText(index);
}

void DeleteDataDialog::OnDataTypeChosen(int index) {
    if (ui_->idBox->currentIndex() == 0) {
        ui_->dataTypeBox->setCurrentIndex(0);
        return;
    }
    dataTypeCode_ = index;
}

}  // namespace quenda
