#pragma once

namespace quenda {

class Settings;

// The six analysis thresholds. The dialog that writes them keeps them in range,
// but a value put into the settings file by hand is used exactly as it reads.
struct Thresholds {
    int saturationsHigh = 94;    // SpO2 %: above counts as high
    int saturationsLow = 88;     // SpO2 %: below counts as low
    int prHigh = 150;            // bpm: above counts as high
    int prLow = 60;              // bpm: below counts as low
    int desaturationsEvent = 4;  // SpO2 fall in % that makes a desaturation event
    int pulseEvent = 6;          // pulse fall in bpm that makes a pulse event

    bool operator==(const Thresholds&) const = default;
};

// Reads all six from the settings file now; missing keys give the defaults.
Thresholds ReadThresholds(const Settings& settings);

}  // namespace quenda
