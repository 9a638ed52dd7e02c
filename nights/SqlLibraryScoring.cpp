// A sleep study's scoring kept in the library (the `scored` table): by ID and
// the recorder's clock as recorded, never by night number, so that a split,
// a merge or a rebuild leaves it where it is. A night's scoring is what lies
// nearer to it than to the listed nights of the same ID before and after it
// (the gap between two nights is cut in its middle; the first night takes
// all before it, the last all after), given out moved by its clock shift.
#include "nights/SqlLibrary.h"

#include <charconv>
#include <limits>

namespace quenda {

namespace {

constexpr std::int64_t kBefore = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kAfter = std::numeric_limits<std::int64_t>::max();

template <typename T>
bool Number(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::string ScoringText(const ScoredStudy& study) {
    std::string out = study.source;
    for (const ScoredAnnotation& a : study.annotations) {
        std::string text = a.text;
        for (char& c : text)
            if (c == '\n' || c == '\r') c = ' ';
        out += '\n' + std::to_string(a.onsetMs) + ',' + std::to_string(a.durationMs) + ',' +
               std::to_string(static_cast<int>(a.kind)) + ',' + std::to_string(static_cast<int>(a.stage)) + ',' + text;
    }
    return out;
}

bool ParseScoringText(std::string_view text, ScoredStudy& study) {
    ScoredStudy out;
    std::size_t at = text.find('\n');
    out.source = std::string(text.substr(0, at));
    while (at != std::string_view::npos) {
        const std::size_t next = text.find('\n', at + 1);
        std::string_view line = text.substr(at + 1, next == std::string_view::npos ? next : next - at - 1);
        at = next;
        std::string_view fields[4];
        for (std::string_view& f : fields) {
            const std::size_t comma = line.find(',');
            if (comma == std::string_view::npos) return false;
            f = line.substr(0, comma);
            line.remove_prefix(comma + 1);
        }
        ScoredAnnotation a;
        int kind = 0, stage = 0;
        if (!Number(fields[0], a.onsetMs) || !Number(fields[1], a.durationMs) || !Number(fields[2], kind) ||
            !Number(fields[3], stage) || kind < 0 || kind > static_cast<int>(AnnotationKind::Other) || stage < 0 ||
            stage > static_cast<int>(SleepStage::Unscored) || a.durationMs < 0)
            return false;
        a.kind = static_cast<AnnotationKind>(kind);
        a.stage = static_cast<SleepStage>(stage);
        a.text = std::string(line);
        out.annotations.push_back(std::move(a));
    }
    SortAnnotations(out.annotations);
    study = std::move(out);
    return true;
}

FileResult SqlLibrary::DoSetScoring(int id, const ScoredStudy& study, std::vector<JournalEntry>& journal) {
    if (study.annotations.empty()) return {};
    const std::int64_t first = study.annotations.front().onsetMs;
    const std::int64_t last = study.annotations.back().onsetMs;
    Statement clear(*db_, "DELETE FROM scored WHERE id=? AND onset_ms BETWEEN ? AND ?");
    clear.Bind(1, static_cast<std::int64_t>(id)).Bind(2, first).Bind(3, last);
    if (clear.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    for (const ScoredAnnotation& a : study.annotations) {
        Statement add(*db_, "INSERT INTO scored(id,onset_ms,duration_ms,kind,stage,text,source) VALUES(?,?,?,?,?,?,?)");
        add.Bind(1, static_cast<std::int64_t>(id))
            .Bind(2, a.onsetMs)
            .Bind(3, a.durationMs)
            .Bind(4, static_cast<std::int64_t>(a.kind))
            .Bind(5, static_cast<std::int64_t>(a.stage))
            .Bind(6, a.text)
            .Bind(7, study.source);
        if (add.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    }
    // Every night of the ID is counted again when next read.
    Statement stale(*db_, "UPDATE nights SET computed_under='' WHERE id=?");
    stale.Bind(1, static_cast<std::int64_t>(id));
    if (stale.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    journal.push_back({NowSeconds(), JournalKind::Scoring, 0, id, first / 1000, ScoringText(study), 0, 0});
    return {};
}

FileResult SqlLibrary::SetScoring(int id, const ScoredStudy& study) {
    return Change([&](std::vector<JournalEntry>& journal) { return DoSetScoring(id, study, journal); });
}

ScoredStudy SqlLibrary::NightScoring(int id, std::int64_t start, std::int64_t end, std::int64_t clockShift) {
    ScoredStudy study;
    Statement before(*db_, "SELECT MAX(\"end\") FROM nights WHERE id=?1 AND merged_into IS NULL AND start<?2");
    before.Bind(1, static_cast<std::int64_t>(id)).Bind(2, start);
    Statement after(*db_, "SELECT MIN(start) FROM nights WHERE id=?1 AND merged_into IS NULL AND start>?2");
    after.Bind(1, static_cast<std::int64_t>(id)).Bind(2, start);
    if (before.Step() != SqlStep::Row || after.Step() != SqlStep::Row) return study;
    // Milliseconds from the second after one night's last to the next one's first, halved.
    const auto middle = [](std::int64_t lastSecond, std::int64_t nextStart) {
        return (lastSecond + 1 + nextStart) * 500;
    };
    const std::int64_t from = before.IsNull(0) ? kBefore : middle(before.Int(0), start);
    const std::int64_t to = after.IsNull(0) ? kAfter : middle(end, after.Int(0));
    Statement s(*db_,
                "SELECT onset_ms,duration_ms,kind,stage,text,source FROM scored WHERE id=? AND onset_ms>=? AND "
                "onset_ms<? ORDER BY onset_ms,kind,duration_ms,stage");
    s.Bind(1, static_cast<std::int64_t>(id)).Bind(2, from).Bind(3, to);
    while (s.Step() == SqlStep::Row) {
        ScoredAnnotation a;
        a.onsetMs = s.Int(0) + clockShift * 1000;
        a.durationMs = s.Int(1);
        a.kind = static_cast<AnnotationKind>(s.Int(2));
        a.stage = static_cast<SleepStage>(s.Int(3));
        a.text = s.Text(4);
        if (study.source.empty()) study.source = s.Text(5);
        study.annotations.push_back(std::move(a));
    }
    SortAnnotations(study.annotations);
    return study;
}

FileResult SqlLibrary::Scoring(NightNumber night, ScoredStudy& study) {
    NightPlace p;
    if (FileResult read = ReadPlace(night, p); !read) return read;
    study = NightScoring(p.id, p.recordedStart, p.recordedEnd, p.clockShift);
    return {};
}

}  // namespace quenda
