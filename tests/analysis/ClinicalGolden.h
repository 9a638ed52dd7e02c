#pragma once

// The series the raw profile is held to, and one line of text per series that
// carries every figure of its clinical summary at full precision. The lines in
// tests/data/clinical-raw.golden were written by the summary as it was before
// profiles and exclusions existed; the raw profile must still give them. The
// 4 % figures were written again when the 4 % desaturations became those of
// the 3 % ones that reach 4 below their baseline (every other figure stayed).

#include "analysis/Clinical.h"
#include "store/DataFile.h"
#include "tools/sim/Recording.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace quenda::testing {

inline std::string G(double v) {
    char b[40];
    std::snprintf(b, sizeof b, "%.17g", v);
    return b;
}

inline std::string GoldenLine(const std::string& name, const ClinicalSummary& s) {
    std::string line = name + ": valid " + std::to_string(s.validSamples) + " hours " + G(s.validHours) + " odi " +
                       G(s.odi3) + " " + G(s.odi4) + " burden " + G(s.desaturationBurden) + " t90 " + G(s.t90) +
                       " t88 " + G(s.t88Minutes) + " le88 " + std::to_string(s.longestLe88Seconds) + "@" +
                       std::to_string(s.longestLe88Start) + " nadir " + std::to_string(s.nadirSpo2) + "@" +
                       std::to_string(s.nadirIndex) + " spo2 " + G(s.spo2Mean) + " " + G(s.spo2Median) + " pulse " +
                       G(s.pulseMean) + " " + G(s.pulseMedian) + " " + std::to_string(s.pulseMin) + " " +
                       std::to_string(s.pulseMax) + " bands";
    for (const Spo2Band& b : s.bands) line += " " + std::to_string(b.samples) + "/" + G(b.percent);
    for (const auto* events : {&s.events3, &s.events4}) {
        line += " |";
        for (const ClinicalEvent& e : *events)
            line += " " + std::to_string(e.start) + "+" + std::to_string(e.length) + "/" + G(e.baseline) + "/" +
                    std::to_string(e.nadir) + "/" + G(e.area);
    }
    return line;
}

// Simulated nights, some with the recorder's no-finger and no-signal readings
// put in as single samples and as runs, and the kept downloads of tests/data.
inline std::vector<std::pair<std::string, std::vector<SampleRecord>>> GoldenSeries(const std::string& dataDir) {
    std::vector<std::pair<std::string, std::vector<SampleRecord>>> series;
    const sim::DateTime start{2026, 3, 1, 22, 0, 0};
    series.emplace_back("sim 8 h seed 1", sim::GenerateRecording(1, 8 * 3600, start, 1));
    series.emplace_back("sim 144 h seed 144", sim::GenerateRecording(1, 144 * 3600, start, 144));
    auto gappy = sim::GenerateRecording(2, 8 * 3600, start, 2);
    for (std::size_t i = 0; i < gappy.size(); i += 997) gappy[i].spo2 = 127;  // no finger, single samples
    for (std::size_t i = 500; i < gappy.size(); i += 5003) {
        for (std::size_t k = i; k < i + 40 && k < gappy.size(); ++k) gappy[k].pulseRate = 0;  // no signal, runs
    }
    for (std::size_t k = 0; k < 30; ++k) gappy[k].spo2 = 0;
    for (std::size_t k = gappy.size() - 25; k < gappy.size(); ++k) gappy[k].spo2 = 127;
    series.emplace_back("sim 8 h seed 2 with invalid samples", std::move(gappy));
    for (const char* file : {"download-ID1.dat", "download-ID5.dat"}) {
        DataFileContents contents;
        if (ReadDataFile(dataDir + "/" + file, contents)) series.emplace_back(file, contents.records);
    }
    return series;
}

}  // namespace quenda::testing
