#include "analysis/ClinicalSetup.h"

#include "base/Settings.h"

#include <algorithm>

namespace quenda {

ClinicalSetup ReadClinicalSetup(const Settings& settings) {
    ClinicalSetup setup;
    setup.artefactsAside = settings.ReadInt(settings_key::kArtefactsAside, settings_default::kArtefactsAside) != 0;
    setup.averagingSeconds =
        std::max(0, settings.ReadInt(settings_key::kOximeterAveraging, settings_default::kOximeterAveraging));
    return setup;
}

bool WriteClinicalSetup(Settings& settings, const ClinicalSetup& setup) {
    return settings.WriteInt(settings_key::kArtefactsAside, setup.artefactsAside ? 1 : 0) &&
           settings.WriteInt(settings_key::kOximeterAveraging, setup.averagingSeconds);
}

}  // namespace quenda
