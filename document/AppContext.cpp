#include "document/AppContext.h"

namespace quenda {

AppContext::AppContext() {
    store.AddClearListener([this] { views.currentPageIndex = 0; });
}

void AppContext::RepaintCurrentView() {
    if (currentViewWindow) currentViewWindow->update();
}

FileResult UseAsCurrentData(AppContext& context, int id, std::span<const SampleRecord> samples, PatientSource patient,
                            RecordOrder order) {
    context.store.SetCurrentDataSet(id, samples, order);
    context.oneLibraryNight = false;
    PatientRecord fresh;
    fresh.id = id;
    context.patient.SetCurrent(fresh);
    if (patient == PatientSource::SavedThisRun && !context.patient.PatientSaved(id)) return {};
    return context.patient.LoadPatient(id - 1);
}

}  // namespace quenda
