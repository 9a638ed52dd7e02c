#include "patient/PatientCommands.h"

#include "base/Settings.h"
#include "patient/PatientInfoDialog.h"
#include "patient/ReportTitle.h"
#include "patient/ReportTitleDialog.h"
#include "patient/UnitSetupDialog.h"

namespace quenda {

bool RunPatientInfo(QWidget* parent, PatientContext& patient, Settings& settings,
                    const std::function<void()>& redrawView, DialogPrompts prompts) {
    PatientInfoDialog dialog(patient, settings, parent);
    dialog.SetPrompts(std::move(prompts));
    dialog.SetRedrawView(redrawView);
    const bool saved = dialog.exec() == QDialog::Accepted;
    if (redrawView) redrawView();
    return saved;
}

bool RunUnitSetup(QWidget* parent, Settings& settings, std::optional<int>& keptUnit, DialogPrompts prompts) {
    const auto readUnit = [&settings] {
        return settings.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
    };
    if (!keptUnit) keptUnit = readUnit();
    RunUnitSetupDialog(parent, settings, std::move(prompts));
    const int now = readUnit();
    if (now == *keptUnit) return false;
    keptUnit = now;
    return true;
}

int RunUnitSetupDialog(QWidget* parent, Settings& settings, DialogPrompts prompts) {
    UnitSetupDialog dialog(settings, parent);
    dialog.SetPrompts(std::move(prompts));
    return dialog.exec();
}

bool RunReportTitle(QWidget* parent, ReportTitle& title, DialogPrompts prompts) {
    ReportTitleDialog dialog(QString::fromStdString(title.Text()), parent);
    dialog.SetPrompts(std::move(prompts));
    if (dialog.exec() != QDialog::Accepted) return false;
    title.Set(dialog.Title().toStdString());
    return true;
}

}  // namespace quenda
