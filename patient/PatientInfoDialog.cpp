#include "patient/PatientInfoDialog.h"

#include "base/Settings.h"
#include "patient/PatientContext.h"
#include "patient/Units.h"
#include "ui_PatientInfoDialog.h"

#include <QFocusEvent>
#include <QRegularExpressionValidator>

namespace quenda {

namespace {
constexpr int kMaleStringId = 186;
constexpr int kFemaleStringId = 185;
constexpr const char* kConfirmDelete = "Are you sure to delete the patient info?";

QString ToQString(const std::string& utf8) { return QString::fromStdString(utf8); }

// The digits-only boxes read as the old dialog's integer fields did: a number,
// or 0 for anything that is none.
int BoxInteger(const QLineEdit* box) {
    bool ok = false;
    const int value = box->text().toInt(&ok);
    return ok ? value : 0;
}
}  // namespace

PatientInfoDialog::PatientInfoDialog(PatientContext& patient, const Settings& settings, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::PatientInfoDialog>()), patient_(patient), settings_(settings) {
    ui_->setupUi(this);
    ApplyUiText(this);
    prompts_ = WithMessageBoxes({}, this);

    ui_->genderCombo->addItem(UiQString(kMaleStringId, "male"));
    ui_->genderCombo->addItem(UiQString(kFemaleStringId, "female"));

    auto* digitsOnly = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (QLineEdit* box : {ui_->ageEdit, ui_->heightEdit, ui_->weightEdit}) box->setValidator(digitsOnly);
    for (QLineEdit* box : {ui_->nameEdit, ui_->ageEdit, ui_->heightEdit, ui_->weightEdit}) {
        box->installEventFilter(this);
    }

    const int unitSetup = UnitSetup();
    ui_->heightUnitLabel->setText(UiQString(HeightUnitLabel(unitSetup)));
    ui_->weightUnitLabel->setText(UiQString(WeightUnitLabel(unitSetup)));
    ShowForm(FormFromRecord(patient_.Current(), unitSetup));

    connect(ui_->saveButton, &QPushButton::clicked, this, &PatientInfoDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &PatientInfoDialog::reject);
    connect(ui_->deleteButton, &QPushButton::clicked, this, &PatientInfoDialog::DeleteInfo);
    ui_->nameEdit->setFocus();
}

PatientInfoDialog::~PatientInfoDialog() = default;

void PatientInfoDialog::SetPrompts(DialogPrompts prompts) { prompts_ = WithMessageBoxes(std::move(prompts), this); }

void PatientInfoDialog::SetRedrawView(std::function<void()> redrawView) { redrawView_ = std::move(redrawView); }

int PatientInfoDialog::UnitSetup() const {
    return settings_.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
}

void PatientInfoDialog::Message(const QString& text) { prompts_.message(text); }

void PatientInfoDialog::ShowForm(const PatientForm& form) {
    carried_ = form;
    ui_->idEdit->setText(ToQString(form.idText));
    ui_->genderCombo->setCurrentIndex(form.gender);
    ui_->ageEdit->setText(QString::number(form.age));
    ui_->nameEdit->setText(ToQString(form.name));
    ui_->heightEdit->setText(QString::number(form.height));
    ui_->weightEdit->setText(QString::number(form.weight));
}

PatientForm PatientInfoDialog::FormFromControls() const {
    PatientForm form = carried_;
    form.idText = ui_->idEdit->text().toStdString();
    form.gender = ui_->genderCombo->currentIndex();
    form.age = BoxInteger(ui_->ageEdit);
    form.name = ui_->nameEdit->text().toStdString();
    form.height = BoxInteger(ui_->heightEdit);
    form.weight = BoxInteger(ui_->weightEdit);
    return form;
}

bool PatientInfoDialog::CheckBox(QLineEdit* box, PatientField field) {
    const FieldCheck check = CheckPatientField(field, box->text().toStdString(), UnitSetup());
    if (!check.changed) return true;
    if (check.message.empty()) {
        box->setText(ToQString(check.text));
        return true;
    }
    repairing_ = true;
    Message(ToQString(check.message));
    box->setText(ToQString(check.text));
    box->selectAll();
    box->setFocus(Qt::OtherFocusReason);
    repairing_ = false;
    return false;
}

bool PatientInfoDialog::CheckAllBoxes() {
    return CheckBox(ui_->nameEdit, PatientField::Name) && CheckBox(ui_->ageEdit, PatientField::Age) &&
           CheckBox(ui_->heightEdit, PatientField::Height) && CheckBox(ui_->weightEdit, PatientField::Weight);
}

bool PatientInfoDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::FocusOut || repairing_) return QDialog::eventFilter(watched, event);
    // Another window becoming active (a message box, another program) is not
    // leaving the field; its check would come back with the focus.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
        return QDialog::eventFilter(watched, event);
    }
    bool accepted = true;
    if (watched == ui_->nameEdit) {
        accepted = CheckBox(ui_->nameEdit, PatientField::Name);
    } else if (watched == ui_->ageEdit) {
        accepted = CheckBox(ui_->ageEdit, PatientField::Age);
    } else if (watched == ui_->heightEdit) {
        accepted = CheckBox(ui_->heightEdit, PatientField::Height);
    } else if (watched == ui_->weightEdit) {
        accepted = CheckBox(ui_->weightEdit, PatientField::Weight);
    }
    // A rejected box already has the focus back with its text selected; the
    // box's own focus-out handling would drop that selection.
    if (!accepted) return true;
    return QDialog::eventFilter(watched, event);
}

void PatientInfoDialog::accept() {
    if (!CheckAllBoxes()) return;
    const int unitSetup = UnitSetup();
    const PatientRecord record = RecordFromForm(FormFromControls(), unitSetup);
    // CurrentPatient takes the entered values even when the ID is then
    // refused, so nothing typed is lost from memory.
    patient_.SetCurrent(record);
    if (const FileResult saved = patient_.SavePatient(record.id); !saved) Message(ToQString(saved.message));
    QDialog::accept();
}

void PatientInfoDialog::DeleteInfo() {
    if (!prompts_.confirm(UiQString(kConfirmDelete))) return;
    const PatientForm form = FormFromControls();
    if (const FileResult deleted = patient_.DeletePatientInfo(IdFromText(form.idText)); !deleted) {
        Message(ToQString(deleted.message));
        return;
    }
    PatientForm emptied;
    emptied.idText = form.idText;
    emptied.gender = form.gender;
    ShowForm(emptied);
    if (redrawView_) redrawView_();
}

}  // namespace quenda
