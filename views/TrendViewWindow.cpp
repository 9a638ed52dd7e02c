#include "views/TrendViewWindow.h"

#include "app/AppContext.h"
#include "app/CommandIds.h"
#include "app/DisplayState.h"
#include "app/MessageBox.h"
#include "app/PageUpdate.h"
#include "app/UiText.h"
#include "patient/PatientRecord.h"
#include "patient/Units.h"

namespace quenda {

std::span<const SampleRecord> AppTrendSource::Samples() const { return context_.store.CurrentSamples(); }

TrendHeader AppTrendSource::Header() const {
    const PatientRecord patient = context_.patient.Current();
    const int unit = context_.settings.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
    TrendHeader header;
    header.title = context_.reportTitle.Text();
    header.patientName = FieldTextUtf8(patient.name);
    header.female = patient.gender != 0;
    header.age = patient.age;
    header.id = context_.store.CurrentId;
    header.height = FormatWhole(DisplayHeight(patient.height, patient.unitFlag, unit)) + " " + HeightUnitLabel(unit);
    header.weight = FormatWhole(DisplayWeight(patient.weight, patient.unitFlag, unit)) + " " + WeightUnitLabel(unit);
    return header;
}

// The base keeps only a reference to source_, which is constructed right after
// it and lives as long as the view.
TrendViewWindow::TrendViewWindow(AppContext& context, QWidget* parent)
    : CTalloTrendView(
          source_, context.views.currentPageIndex,
          [this](int index, int count) { quenda::PostPageUpdate(window(), index, count); }, parent),
      context_(context),
      source_(context) {
    connect(this, &CTalloTrendView::FirstShown, this, [this] { context_.currentViewWindow = this; });
}

bool TrendViewWindow::HandlesCommand(int commandId) const { return IsViewCommand(commandId); }

void TrendViewWindow::RunCommand(int commandId) {
    switch (commandId) {
        case cmd::kPageUp: PageUp(); return;
        case cmd::kPageDown: PageDown(); return;
        default:
            // Printing and the roll step dialog come with their own work.
            ShowMessageBox(this, QString::fromStdString(UiText("This command is not available yet.")),
                           QMessageBox::Information);
    }
}

}  // namespace quenda
