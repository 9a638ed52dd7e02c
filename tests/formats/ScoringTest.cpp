// A sleep study's scoring read from EDF+ annotations and from NSRR-style XML.
#include "formats/Scoring.h"
#include "store/NightRule.h"
#include "support/EdfStudy.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;

// 2026-12-06 22:30:00 as SampleSeconds counts it.
const std::int64_t kStart = *SampleSeconds(SampleRecord{1, 26, 12, 6, 22, 30, 0, 0, 0, 0});

// A minute of 1 Hz SpO2 in 30-s records, from 2026-12-06 22:30:00, with
// `notes`; `equipment` in the recording field.
void WriteStudy(const fs::path& path, const std::vector<test::EdfNote>& notes, const char* equipment = "PSG") {
    ASSERT_TRUE(test::WriteSpo2Study(path, {std::vector<int>(30, 95), std::vector<int>(30, 95)}, notes, equipment, 4));
}

std::vector<std::tuple<std::int64_t, std::int64_t, AnnotationKind, SleepStage, std::string>> Rows(
    const ScoredStudy& s) {
    std::vector<std::tuple<std::int64_t, std::int64_t, AnnotationKind, SleepStage, std::string>> rows;
    for (const ScoredAnnotation& a : s.annotations)
        rows.emplace_back(a.onsetMs - kStart * 1000, a.durationMs, a.kind, a.stage, a.text);
    return rows;
}

constexpr const char* kXml = R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<PSGAnnotation>
<SoftwareVersion>Compumedics</SoftwareVersion>
<EpochLength>30</EpochLength>
<ScoredEvents>
<ScoredEvent>
<EventType>Stages|Stages</EventType>
<EventConcept>Stage 2 sleep|2</EventConcept>
<Start>30.0</Start>
<Duration>30.0</Duration>
</ScoredEvent>
<ScoredEvent>
<EventType>Respiratory|Respiratory</EventType>
<EventConcept>Hypopnea|Hypopnea</EventConcept>
<Start>12.5</Start>
<Duration>14.2</Duration>
<SpO2Nadir>88</SpO2Nadir>
</ScoredEvent>
<ScoredEvent>
<EventType>Respiratory|Respiratory</EventType>
<EventConcept>SpO2 desaturation|SpO2 desaturation</EventConcept>
<Start>20</Start>
<Duration>9</Duration>
</ScoredEvent>
<ScoredEvent>
<EventType>Arousals|Arousals</EventType>
<EventConcept>Arousal|Arousal ()</EventConcept>
<Start>40</Start>
<Duration>3</Duration>
</ScoredEvent>
</ScoredEvents>
</PSGAnnotation>
)";

TEST(Scoring, EdfPlusAnnotationsAreScoringAndTheRestIsKept) {
    test::TempDir dir("quenda-scoring");
    WriteStudy(dir / "study.edf", {{0, 300000, "Sleep stage W"},
                                   {300000, 0, "Sleep stage N2"},
                                   {105000, 152500, "Obstructive Apnea"},
                                   {400000, 80000, "Hypopnea"},
                                   {410000, 30000, "Arousal"},
                                   {0, 0, "Lights off"}});
    const StudyScoring read = ReadStudyScoring(dir / "study.edf");
    ASSERT_TRUE(read.ok) << read.message;
    EXPECT_EQ(read.study.source, kEdfAnnotationsSource);
    using K = AnnotationKind;
    using S = SleepStage;
    const decltype(Rows(read.study)) expected = {
        {0, 30000, K::Stage, S::Wake, "Sleep stage W"},         {0, 0, K::Other, S::None, "Lights off"},
        {10500, 15250, K::Apnea, S::None, "Obstructive Apnea"}, {30000, 30000, K::Stage, S::N2, "Sleep stage N2"},
        {40000, 8000, K::Hypopnea, S::None, "Hypopnea"},        {41000, 3000, K::Other, S::None, "Arousal"}};
    EXPECT_EQ(Rows(read.study), expected);
    // Beside it, the XML is the scoring; the EDF+ file's own are kept, counted for nothing.
    std::ofstream(dir / "study.xml") << kXml;
    EXPECT_EQ(ScoringXmlBeside(dir / "study.edf"), dir / "study.xml");
    const StudyScoring both = ReadStudyScoring(dir / "study.edf", dir / "study.xml");
    ASSERT_TRUE(both.ok) << both.message;
    EXPECT_EQ(both.study.source, "study.xml");
    int apneas = 0, hypopneas = 0, stages = 0;
    for (const ScoredAnnotation& a : both.study.annotations) {
        apneas += a.kind == K::Apnea;
        hypopneas += a.kind == K::Hypopnea;
        stages += a.kind == K::Stage;
    }
    EXPECT_EQ(both.study.annotations.size(), 10u);
    EXPECT_EQ(apneas, 0);
    EXPECT_EQ(hypopneas, 1);
    EXPECT_EQ(stages, 1);
}

// The XML beside an EDF file: its base name exactly, the extension in any
// case, the plain name before "-nsrr"; an import of "night.EDF" is an EDF's.
TEST(Scoring, XmlBesideAnEdfByItsBaseName) {
    const struct {
        std::vector<std::string> files;
        const char* found;  // "" for none
    } cases[] = {
        {{}, ""},
        {{"study.Xml"}, "study.Xml"},
        {{"study-nsrr.XML"}, "study-nsrr.XML"},
        {{"study-nsrr.xml", "study.xml"}, "study.xml"},
        {{"Study.xml", "study2.xml", "study.xml.bak", "study-profusion.xml"}, ""},
    };
    for (const auto& c : cases) {
        test::TempDir dir("quenda-scoring-beside");
        std::ofstream(dir / "study.edf") << "x";
        for (const std::string& f : c.files) std::ofstream(dir / f) << "<PSGAnnotation/>";
        const fs::path expected = *c.found ? dir / c.found : fs::path{};
        EXPECT_EQ(ScoringXmlBeside(dir / "study.edf"), expected) << c.found;
    }
    EXPECT_TRUE(IsEdfName("night.EDF"));
    EXPECT_FALSE(IsEdfName("night.edf.csv"));
}

// The fuzz target's seed, written by hand: two annotations in one TAL, the
// time-keeping TALs' empty texts left out.
TEST(Scoring, ReadsTalsFromBytes) {
    std::ifstream in(std::string(QUENDA_SOURCE_DIR) + "/tests/fuzz/corpus/fuzz_edf_annotations/study.edf",
                     std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const EdfAnnotations read = ReadEdfAnnotations(bytes);
    ASSERT_TRUE(read.ok) << read.message;
    EXPECT_EQ(read.startSeconds, kStart);
    std::vector<std::tuple<std::int64_t, std::int64_t, std::string>> rows;
    for (const StudyAnnotation& a : read.annotations) rows.emplace_back(a.onsetMs, a.durationMs, a.text);
    const decltype(rows) expected = {{0, 30000, "Sleep stage W"},
                                     {10500, 15250, "Obstructive Apnea"},
                                     {30000, 0, "Sleep stage N2"},
                                     {40000, 8000, "Hypopnea"},
                                     {40000, 8000, "Arousal"}};
    EXPECT_EQ(rows, expected);
}

TEST(Scoring, OwnExportsComputedAnnotationsAreNoScoring) {
    test::TempDir dir("quenda-scoring");
    WriteStudy(dir / "own.edf", {{0, 100000, "Desaturation 3%"}, {200000, 100000, "Hypopnea"}}, "Quenda");
    WriteStudy(dir / "lab.edf", {{0, 100000, "Desaturation 3%"}, {200000, 100000, "Hypopnea"}});
    EXPECT_EQ(ReadStudyScoring(dir / "own.edf").study.annotations.size(), 1u);
    EXPECT_EQ(ReadStudyScoring(dir / "lab.edf").study.annotations.size(), 2u);
}

TEST(Scoring, XmlEventsAndRefusals) {
    const ScoringXml xml = ReadScoringXml(kXml);
    ASSERT_TRUE(xml.ok) << xml.message;
    using K = AnnotationKind;
    using S = SleepStage;
    ScoredStudy study{"x", xml.annotations};
    for (ScoredAnnotation& a : study.annotations) a.onsetMs += kStart * 1000;
    const decltype(Rows(study)) expected = {{12500, 14200, K::Hypopnea, S::None, "Hypopnea|Hypopnea"},
                                            {20000, 9000, K::Other, S::None, "SpO2 desaturation|SpO2 desaturation"},
                                            {30000, 30000, K::Stage, S::N2, "Sleep stage 2"},
                                            {40000, 3000, K::Other, S::None, "Arousal|Arousal ()"}};
    EXPECT_EQ(Rows(study), expected);

    struct Refusal {
        std::string text;
        std::string message;
    };
    const std::string head = "<?xml version=\"1.0\"?>\n<PSGAnnotation>\n<ScoredEvents>\n";
    const Refusal refusals[] = {
        {head + "<ScoredEvent>\n<Start>1</Start>\n</ScoredEvents>\n</PSGAnnotation>\n", "line 6: "},
        {head + "<ScoredEvent>\n<Start>soon</Start>\n</ScoredEvent>\n</ScoredEvents>\n</PSGAnnotation>\n",
         "line 4: the ScoredEvent's <Start> \"soon\""},
        {head + "<ScoredEvent>\n<Duration>3</Duration>\n</ScoredEvent>\n</ScoredEvents>\n</PSGAnnotation>\n",
         "line 4: the ScoredEvent's <Start>"},
        {head + "<ScoredEvent>\n<Start>1</Start><Duration>-3</Duration>\n</ScoredEvent>\n</ScoredEvents>\n</"
                "PSGAnnotation>\n",
         "line 4: the ScoredEvent's <Duration> \"-3\""},
        {"<?xml version=\"1.0\"?>\n<Annotations/>\n", "line 2: the root element is <Annotations>"},
        {"", "line 1: "},
        {head + "</ScoredEvents>\n</PSGAnnotation>\n<PSGAnnotation/>\n", "line 6: "},
    };
    for (const Refusal& r : refusals) {
        const ScoringXml refused = ReadScoringXml(r.text);
        EXPECT_FALSE(refused.ok) << r.text;
        EXPECT_TRUE(refused.message.starts_with(r.message)) << refused.message;
    }
}

}  // namespace
}  // namespace quenda
