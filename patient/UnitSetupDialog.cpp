#include "patient/UnitSetupDialog.h"

#include "base/Settings.h"
#include "patient/Units.h"
#include "ui_UnitSetupDialog.h"

namespace quenda {

namespace {
constexpr const char* kCantSaveUnit = "The unit setting could not be saved: %1";
}

UnitSetupDialog::UnitSetupDialog(Settings& settings, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::UnitSetupDialog>()), settings_(settings) {
    ui_->setupUi(this);
    ApplyUiText(this);
    prompts_ = WithMessageBoxes({}, this);
    // A value other than 0 or 1 put into the file by hand is metric too.
    const int unitSetup = settings_.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
    (IsMetric(unitSetup) ? ui_->metricRadio : ui_->britainRadio)->setChecked(true);
}

UnitSetupDialog::~UnitSetupDialog() = default;

void UnitSetupDialog::SetPrompts(DialogPrompts prompts) { prompts_ = WithMessageBoxes(std::move(prompts), this); }

int UnitSetupDialog::ChosenUnit() const { return ui_->metricRadio->isChecked() ? kUnitMetric : kUnitBritain; }

void UnitSetupDialog::accept() {
    if (!settings_.WriteInt(settings_key::kUnitSetup, ChosenUnit())) {
        prompts_.message(UiQString(kCantSaveUnit).arg(QString::fromStdString(settings_.LastError())));
        return;
    }
    QDialog::accept();
}

}  // namespace quenda
