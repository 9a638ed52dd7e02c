#include "analysis/Thresholds.h"

#include "base/Settings.h"

namespace quenda {

Thresholds ReadThresholds(const Settings& settings) {
    namespace key = settings_key;
    namespace def = settings_default;
    Thresholds t;
    t.saturationsHigh = settings.ReadInt(key::kSaturationsHigh, def::kSaturationsHigh);
    t.saturationsLow = settings.ReadInt(key::kSaturationsLow, def::kSaturationsLow);
    t.prHigh = settings.ReadInt(key::kPrHigh, def::kPrHigh);
    t.prLow = settings.ReadInt(key::kPrLow, def::kPrLow);
    t.desaturationsEvent = settings.ReadInt(key::kDesaturationsEvent, def::kDesaturationsEvent);
    t.pulseEvent = settings.ReadInt(key::kPulseEvent, def::kPulseEvent);
    return t;
}

}  // namespace quenda
