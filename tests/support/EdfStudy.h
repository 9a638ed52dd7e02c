#pragma once

// A sleep study as a lab's EDF+ holds it, for the tests: one SpO2 signal at
// 1 Hz in 30-s records (0..100 %), from 2026-12-06 22:30:00, and its
// annotations. EDFlib writes it, so the file is of a shape real tools read.

#include <edflib.h>

#include <filesystem>
#include <vector>

namespace quenda::test {

struct EdfNote {
    long long onsetTenthMs;  // EDFlib's units: 0.0001 s; -1 for no duration
    long long durationTenthMs;
    const char* text;
};

// `records`: 30 values each. `equipment` into the recording field, and
// `annotationSignals` (one annotation per signal and record), when given.
// False when EDFlib refuses any step.
inline bool WriteSpo2Study(const std::filesystem::path& path, const std::vector<std::vector<int>>& records,
                           const std::vector<EdfNote>& notes, const char* equipment = nullptr,
                           int annotationSignals = 0) {
    const int h = edfopen_file_writeonly(path.c_str(), EDFLIB_FILETYPE_EDFPLUS, 1);
    if (h < 0) return false;
    bool ok = edf_set_datarecord_duration(h, 3000000) == 0 && edf_set_startdatetime(h, 2026, 12, 6, 22, 30, 0) == 0 &&
              edf_set_samplefrequency(h, 0, 30) == 0 && edf_set_label(h, 0, "SpO2") == 0 &&
              edf_set_digital_minimum(h, 0, 0) == 0 && edf_set_digital_maximum(h, 0, 100) == 0 &&
              edf_set_physical_minimum(h, 0, 0) == 0 && edf_set_physical_maximum(h, 0, 100) == 0 &&
              (!equipment || edf_set_equipment(h, equipment) == 0) &&
              (annotationSignals == 0 || edf_set_number_of_annotation_signals(h, annotationSignals) == 0);
    for (const std::vector<int>& values : records) {
        std::vector<int> record = values;
        ok = ok && edfwrite_digital_samples(h, record.data()) == 0;
    }
    for (const EdfNote& n : notes)
        ok = ok && edfwrite_annotation_utf8(h, n.onsetTenthMs, n.durationTenthMs, n.text) == 0;
    return edfclose_file(h) == 0 && ok;
}

}  // namespace quenda::test
