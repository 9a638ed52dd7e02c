// Mode > Analysis recomputes everything before the page is drawn, so a full
// 144-hour data set must analyse in well under a frame: the goal is 5 ms for
// 518,400 samples. The clinical summary (Mode > Clinical) has a goal of 10 ms;
// marking margins, artefacts and exclusions plus the default profile's summary
// has a goal of 15 ms. The figures that rest on the summary's counted samples
// (the desaturations' shape, pulse rises and the SpO2 biomarkers) together
// have a goal of twice the summary's time; an 8-hour night's entropies, 20 ms.
#include "analysis/Analysis.h"
#include "analysis/Clinical.h"
#include "analysis/NightAnalysis.h"
#include "analysis/NightPass.h"
#include "analysis/ScoredFigures.h"
#include "store/NightRule.h"
#include "tools/sim/Recording.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace quenda;

// The simulator's overnight recording, 144 hours of it: SpO2 around 96 with
// desaturation dips, pulse with its own falls; enough events that the event
// pass costs something.
std::vector<SampleRecord> RealisticRecording() {
    return sim::GenerateRecording(1, kMaxSamples, sim::DateTime{2026, 3, 1, 22, 0, 0}, 144);
}

void BM_ComputeStatisticsFullDataSet(benchmark::State& state) {
    const auto samples = RealisticRecording();
    AnalysisResults results;
    for (auto _ : state) {
        ComputeStatistics(samples, Thresholds{}, results);
        benchmark::DoNotOptimize(results.statistics.spo2Average);
    }
    state.counters["desaturations"] = results.desaturation.eventCount;
    state.counters["pulse_events"] = results.pulse.eventCount;
    state.SetItemsProcessed(state.iterations() * kMaxSamples);
}
BENCHMARK(BM_ComputeStatisticsFullDataSet)->Unit(benchmark::kMillisecond);

void BM_ClinicalSummaryFullDataSet(benchmark::State& state) {
    const auto samples = RealisticRecording();
    ClinicalSummary summary;
    for (auto _ : state) {
        summary = ComputeClinicalSummary(samples);
        benchmark::DoNotOptimize(summary.odi3);
    }
    state.counters["odi3_events"] = static_cast<double>(summary.events3.size());
    state.counters["odi4_events"] = static_cast<double>(summary.events4.size());
    state.SetItemsProcessed(state.iterations() * kMaxSamples);
}
BENCHMARK(BM_ClinicalSummaryFullDataSet)->Unit(benchmark::kMillisecond);

// The default profile: the marking pass, then the summary over the counted
// samples, with a trimmed start and end and a span cut out in the middle.
void BM_MarkingAndClinicalSummaryFullDataSet(benchmark::State& state) {
    auto samples = RealisticRecording();
    // Some no-finger stretches, so the margins have something to surround.
    for (std::size_t i = 1000; i + 60 < samples.size(); i += 7200)
        for (std::size_t k = i; k < i + 60; ++k) samples[k].spo2 = 127;
    ClinicalOptions options{ClinicalProfile::Default, {}};
    options.exclusions.Exclude({0, 599});
    options.exclusions.Exclude({200000, 203599});
    options.exclusions.Exclude({static_cast<std::int32_t>(kMaxSamples) - 900, kMaxSamples - 1});
    ClinicalSummary summary;
    for (auto _ : state) {
        summary = ComputeClinicalSummary(samples, options);
        benchmark::DoNotOptimize(summary.odi3);
    }
    state.counters["artefacts"] = summary.artefactSamples;
    state.counters["coverage"] = summary.coverage;
    state.SetItemsProcessed(state.iterations() * kMaxSamples);
}
BENCHMARK(BM_MarkingAndClinicalSummaryFullDataSet)->Unit(benchmark::kMillisecond);

// Everything AnalyzeNight adds to the summary, over the same samples as
// BM_ClinicalSummaryFullDataSet: the pulse rises and the counted SpO2 ride
// the summary's own pass, so this is the summary with them and all the other
// new figures; less the time of BM_ClinicalSummaryFullDataSet, it is what
// they cost.
void BM_ClinicalSummaryAndNightFiguresFullDataSet(benchmark::State& state) {
    const auto samples = RealisticRecording();
    for (auto _ : state) {
        NightPass pass(samples.size());
        const ClinicalSummary summary = ComputeClinicalSummary(samples, ClinicalOptions{}, nullptr, &pass);
        const PulseRiseFigures rises = pass.rises.Finish(kMaxSamples, summary.events3, summary.countedSamples);
        const DesaturationShapes shape = ShapesOf(summary, samples);
        const Biomarkers biomarkers = ComputeBiomarkers(pass.TakeCountedSpo2());
        benchmark::DoNotOptimize(rises.index);
        benchmark::DoNotOptimize(shape.depth3.depth.mean);
        benchmark::DoNotOptimize(biomarkers.psdRatio);
    }
    state.SetItemsProcessed(state.iterations() * kMaxSamples);
}
BENCHMARK(BM_ClinicalSummaryAndNightFiguresFullDataSet)->Unit(benchmark::kMillisecond);

// A scored 9-hour night: 85 respiratory events and 30-s stages, its scored
// figures and hypoxic burden (goal: under 5 ms), the part AnalyzeNight adds
// for a sleep study.
void BM_ScoredNightBurden(benchmark::State& state) {
    const auto samples = sim::GenerateRecording(1, 9 * 3600, sim::DateTime{2026, 3, 1, 22, 0, 0}, 144);
    ScoredStudy study{"bench", {}};
    const std::int64_t t0 = *SampleSeconds(samples.front()) * 1000;
    for (std::int64_t s = 0; s < 9 * 3600; s += 30)
        study.annotations.push_back({t0 + s * 1000, 30000, AnnotationKind::Stage,
                                     s % 5400 < 600 ? SleepStage::Wake : SleepStage::N2, "Sleep stage N2"});
    for (int e = 0; e < 85; ++e) {
        const bool apnea = e % 4 == 0;
        study.annotations.push_back({t0 + (300 + e * 375) * 1000LL, (12 + e % 20) * 1000LL,
                                     apnea ? AnnotationKind::Apnea : AnnotationKind::Hypopnea, SleepStage::None,
                                     apnea ? "Obstructive apnea" : "Hypopnea"});
    }
    SortAnnotations(study.annotations);
    ScoredFigures figures;
    for (auto _ : state) {
        figures = ComputeScoredFigures(samples, {}, study);
        benchmark::DoNotOptimize(figures.burden.value);
    }
    state.counters["events_used"] = figures.burden.eventsUsed;
    state.counters["burden"] = figures.burden.value;
}
BENCHMARK(BM_ScoredNightBurden)->Unit(benchmark::kMillisecond);

// The summary with the pass's share alone, to see where the time goes.
void BM_ClinicalSummaryAndNightPassFullDataSet(benchmark::State& state) {
    const auto samples = RealisticRecording();
    PulseRiseFigures rises;
    for (auto _ : state) {
        NightPass pass(samples.size());
        const ClinicalSummary summary = ComputeClinicalSummary(samples, ClinicalOptions{}, nullptr, &pass);
        rises = pass.rises.Finish(kMaxSamples, summary.events3, summary.countedSamples);
        benchmark::DoNotOptimize(rises.index);
    }
    state.counters["rises"] = static_cast<double>(rises.rises.size());
    state.counters["coupled_share"] = rises.coupledShare;
}
BENCHMARK(BM_ClinicalSummaryAndNightPassFullDataSet)->Unit(benchmark::kMillisecond);

// The counted SpO2 of the simulator's recording of `seconds`.
std::vector<std::uint8_t> CountedSeries(int seconds) {
    const auto samples = sim::GenerateRecording(1, seconds, sim::DateTime{2026, 3, 1, 22, 0, 0}, 144);
    NightPass pass(samples.size());
    ComputeClinicalSummary(samples, ClinicalOptions{}, nullptr, &pass);
    return pass.TakeCountedSpo2();
}

template <class Measure>
void RunMeasure(benchmark::State& state, int seconds, Measure&& measure) {
    const auto spo2 = CountedSeries(seconds);
    for (auto _ : state) benchmark::DoNotOptimize(measure(spo2));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(spo2.size()));
}

void BM_BiomarkersFullDataSet(benchmark::State& state) {
    RunMeasure(state, kMaxSamples, [](const auto& x) { return ComputeBiomarkers(x).psdRatio; });
}
BENCHMARK(BM_BiomarkersFullDataSet)->Unit(benchmark::kMillisecond);

void BM_EntropiesFullDataSet(benchmark::State& state) {
    RunMeasure(state, kMaxSamples, [](const auto& x) { return ComputeEntropies(x).sampen; });
}
BENCHMARK(BM_EntropiesFullDataSet)->Unit(benchmark::kMillisecond);

void BM_LempelZivFullDataSet(benchmark::State& state) {
    RunMeasure(state, kMaxSamples, [](const auto& x) { return LempelZivPhrases(x, 96); });
}
BENCHMARK(BM_LempelZivFullDataSet)->Unit(benchmark::kMillisecond);

void BM_DfaFullDataSet(benchmark::State& state) {
    RunMeasure(state, kMaxSamples, [](const auto& x) { return DfaFluctuations(x).f20; });
}
BENCHMARK(BM_DfaFullDataSet)->Unit(benchmark::kMillisecond);

void BM_PrsaFullDataSet(benchmark::State& state) {
    RunMeasure(state, kMaxSamples, [](const auto& x) { return PrsaWindow(x).anchors; });
}
BENCHMARK(BM_PrsaFullDataSet)->Unit(benchmark::kMillisecond);

void BM_WelchFullDataSet(benchmark::State& state) {
    RunMeasure(state, kMaxSamples, [](const auto& x) { return WelchDensity(x).size(); });
}
BENCHMARK(BM_WelchFullDataSet)->Unit(benchmark::kMillisecond);

// An 8-hour night's approximate and sample entropy.
void BM_EntropiesEightHours(benchmark::State& state) {
    RunMeasure(state, 8 * 3600, [](const auto& x) { return ComputeEntropies(x).sampen; });
}
BENCHMARK(BM_EntropiesEightHours)->Unit(benchmark::kMicrosecond);

}  // namespace
