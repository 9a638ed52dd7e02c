// NSRR-style scoring XML, read with Qt's stream reader: well-formedness and
// encodings are its business, what the elements mean is ours.
#include "formats/Scoring.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <array>
#include <cmath>

namespace quenda {

namespace {

// A time in seconds no night reaches: a week.
constexpr double kMostSeconds = 7 * 24 * 3600.0;

struct StageConcept {
    const char* name;
    SleepStage stage;
};
constexpr std::array<StageConcept, 7> kStageConcepts{{{"Wake|0", SleepStage::Wake},
                                                      {"Stage 1 sleep|1", SleepStage::N1},
                                                      {"Stage 2 sleep|2", SleepStage::N2},
                                                      {"Stage 3 sleep|3", SleepStage::N3},
                                                      {"Stage 4 sleep|4", SleepStage::N4},
                                                      {"REM sleep|5", SleepStage::Rem},
                                                      {"Unscored|9", SleepStage::Unscored}}};

struct EventFields {
    QString type, eventConcept, start, duration;
    bool hasStart = false;
};

ScoringXml Refuse(qint64 line, const std::string& why) {
    ScoringXml r;
    r.message = "line " + std::to_string(line) + ": " + why;
    return r;
}

// Seconds as the file gives them, in milliseconds; nothing for no number.
std::optional<std::int64_t> Milliseconds(const QString& text) {
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > kMostSeconds) return std::nullopt;
    return std::llround(seconds * 1000);
}

ScoredAnnotation Classify(const EventFields& e) {
    ScoredAnnotation a;
    const std::string eventConcept = e.eventConcept.trimmed().toStdString();
    const std::string type = e.type.trimmed().toStdString();
    a.text = !eventConcept.empty() ? eventConcept : !type.empty() ? type : "ScoredEvent";
    if (type == "Stages|Stages") {
        for (const StageConcept& s : kStageConcepts) {
            if (eventConcept == s.name) {
                a.kind = AnnotationKind::Stage;
                a.stage = s.stage;
                a.text = StageText(s.stage);
            }
        }
    } else if (type == "Respiratory|Respiratory") {
        SleepStage ignored;
        const AnnotationKind kind = ClassifyAnnotationText(eventConcept, ignored);
        if (kind == AnnotationKind::Apnea || kind == AnnotationKind::Hypopnea) a.kind = kind;
    }
    return a;
}

// The children of one <ScoredEvent>, the reader on its start element.
void ReadEvent(QXmlStreamReader& x, EventFields& e) {
    while (x.readNextStartElement()) {
        const auto name = x.name();
        if (name == QLatin1String("EventType")) {
            e.type = x.readElementText(QXmlStreamReader::SkipChildElements);
        } else if (name == QLatin1String("EventConcept")) {
            e.eventConcept = x.readElementText(QXmlStreamReader::SkipChildElements);
        } else if (name == QLatin1String("Start")) {
            e.start = x.readElementText(QXmlStreamReader::SkipChildElements);
            e.hasStart = true;
        } else if (name == QLatin1String("Duration")) {
            e.duration = x.readElementText(QXmlStreamReader::SkipChildElements);
        } else {
            x.skipCurrentElement();
        }
    }
}

}  // namespace

ScoringXml ReadScoringXml(std::string_view bytes) {
    QXmlStreamReader x(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())));
    ScoringXml out;
    if (!x.readNextStartElement()) {
        return Refuse(x.lineNumber(), x.hasError() ? x.errorString().toStdString() : "the file holds no XML element");
    }
    if (x.name() != QLatin1String("PSGAnnotation"))
        return Refuse(x.lineNumber(),
                      "the root element is <" + x.name().toString().toStdString() + ">, not <PSGAnnotation>");
    while (x.readNextStartElement()) {
        if (x.name() != QLatin1String("ScoredEvents")) {
            x.skipCurrentElement();
            continue;
        }
        while (x.readNextStartElement()) {
            if (x.name() != QLatin1String("ScoredEvent")) {
                x.skipCurrentElement();
                continue;
            }
            const qint64 line = x.lineNumber();
            EventFields e;
            ReadEvent(x, e);
            if (x.hasError()) break;
            const auto start = Milliseconds(e.start);
            const auto duration =
                e.duration.trimmed().isEmpty() ? std::optional<std::int64_t>(0) : Milliseconds(e.duration);
            if (!e.hasStart || !start)
                return Refuse(line, "the ScoredEvent's <Start> \"" + e.start.trimmed().left(40).toStdString() +
                                        "\" is no number of seconds from the recording's start");
            if (!duration)
                return Refuse(line, "the ScoredEvent's <Duration> \"" + e.duration.trimmed().left(40).toStdString() +
                                        "\" is no number of seconds");
            ScoredAnnotation a = Classify(e);
            a.onsetMs = *start;
            a.durationMs = *duration == 0 && a.kind == AnnotationKind::Stage ? kDefaultStageMs : *duration;
            out.annotations.push_back(std::move(a));
        }
    }
    // Anything after the root element (a second root, text) is an error the
    // reader reports only when asked to read on.
    while (!x.atEnd() && !x.hasError()) x.readNext();
    if (x.hasError()) return Refuse(x.lineNumber(), x.errorString().toStdString());
    SortAnnotations(out.annotations);
    out.ok = true;
    return out;
}

}  // namespace quenda
