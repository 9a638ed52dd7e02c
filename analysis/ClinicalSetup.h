#pragma once

#include "analysis/Marking.h"

#include <string>

namespace quenda {

class Settings;

// Options > Clinical Setup: whether the clinical figures set artefacts aside
// (the default profile) or count every valid sample (the raw profile), and the
// oximeter's averaging time, which changes nothing but is printed with the
// criteria, as a reader of the figures needs to know it.
struct ClinicalSetup {
    bool artefactsAside = true;
    int averagingSeconds = 0;  // 0: not stated

    ClinicalProfile Profile() const { return artefactsAside ? ClinicalProfile::Default : ClinicalProfile::Raw; }
    bool operator==(const ClinicalSetup&) const = default;
};

// The largest averaging time the dialog takes; oximeters average over 2 to 16 s.
inline constexpr int kMaxAveragingSeconds = 60;

// Read now from the settings file; missing keys give the defaults, a negative
// averaging time reads as not stated.
ClinicalSetup ReadClinicalSetup(const Settings& settings);
// Both keys; false with settings.LastError() when the file cannot be written.
bool WriteClinicalSetup(Settings& settings, const ClinicalSetup& setup);

}  // namespace quenda
