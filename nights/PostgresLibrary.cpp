#include "nights/PostgresLibrary.h"

#include "base/StringFormat.h"
#include "base/UiText.h"
#include "nights/PostgresDatabase.h"
#include "nights/PostgresSchema.h"

#include <cinttypes>
#include <cstdio>

namespace quenda {

namespace fs = std::filesystem;

std::unique_ptr<PostgresLibrary> PostgresLibrary::Open(const std::string& uri, FileResult& result,
                                                       LibraryOpening opening, const PasswordPrompt& ask) {
    std::unique_ptr<PostgresDatabase> db = PostgresDatabase::Connect(uri, ask, result);
    if (!db) return nullptr;
    const int version = ServerSchemaVersion(*db);
    const std::string where = db->Where();
    if (version < 0) return result = LibraryFailure(library_message::kCantOpen, where, db->LastError()), nullptr;
    if (version == 0 && opening == LibraryOpening::ExistingOnly) return result = {}, nullptr;
    if (version == 0) return result = LibraryFailure(server_library_message::kNoLibrary, where), nullptr;
    if (version > kServerSchemaVersion) return result = LibraryFailure(server_library_message::kNewer, where), nullptr;
    result = {};
    return std::unique_ptr<PostgresLibrary>(new PostgresLibrary(uri, std::move(db)));
}

std::string PostgresLibrary::SourceKey(int id, std::span<const SampleRecord> records) {
    char key[64];
    std::snprintf(key, sizeof key, "ID%d-%zu-%016" PRIx64, id, records.size(),
                  static_cast<std::uint64_t>(NightDigest(records)));
    return key;
}

FileResult PostgresLibrary::ReadSource(const std::string& source, DataFileContents& contents) {
    Statement s(*db_, "SELECT records,origin FROM sources WHERE path=?");
    s.Bind(1, source);
    const SqlStep step = s.Step();
    if (step == SqlStep::Done || (step == SqlStep::Row && s.IsNull(0)))
        return LibraryFailure(library_message::kSourceMissing, source);
    if (step != SqlStep::Row) return DbFailure(library_message::kCantOpen);
    const std::string_view blob = s.Blob(0);
    std::string bytes;
    Inflate(blob.data(), blob.size(), bytes);
    const std::string origin = s.Text(1);
    return ParseDataFile(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), contents,
                         origin.empty() ? source : origin);
}

// Its records are in the database with its nights.
bool PostgresLibrary::HasSource(const std::string&) { return true; }

FileResult PostgresLibrary::RecordSource(const fs::path& origin, int id, std::span<const SampleRecord> records,
                                         const std::string* title, std::string& recorded) {
    recorded = SourceKey(id, records);
    // Records already there (a download added again, here or at another
    // workstation) are neither read again from the file nor sent again:
    // every add comes here, under the writers' lock.
    {
        Statement held(*db_, "SELECT 1 FROM sources WHERE path=?");
        held.Bind(1, recorded);
        const SqlStep step = held.Step();
        if (step == SqlStep::Row) return {};
        if (step != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    }
    // The title the caller gives (a copy's, whose origin may be on another
    // computer), else the one the file at `origin` holds, while it still
    // holds these records.
    DataFileContents file;
    if (!title && ReadDataFile(origin, file) &&
        std::equal(file.records.begin(), file.records.end(), records.begin(), records.end()))
        title = &file.title;
    const std::string kept = title ? *title : std::string();
    const std::vector<std::uint8_t> bytes = EncodeDataFile(static_cast<std::uint8_t>(id), records, kept);
    // Two workstations adding the same records at once keep them once, under
    // the path they first came from.
    Statement s(*db_,
                "INSERT INTO sources(path,added_at,origin,title,records) VALUES(?,?,?,?,?) ON CONFLICT DO NOTHING");
    s.Bind(1, recorded)
        .Bind(2, NowSeconds())
        .Bind(3, fs::absolute(origin).lexically_normal().string())
        .Bind(4, kept)
        .BindBlob(5, Deflate(std::string(bytes.begin(), bytes.end())));
    return s.Step() == SqlStep::Done ? FileResult{} : DbFailure(library_message::kCantWrite);
}

FileResult PostgresLibrary::Journal(const std::vector<JournalEntry>& entries) {
    Statement s(*db_, "INSERT INTO journal(time,line) VALUES(?,?)");
    for (const JournalEntry& e : entries) {
        std::string line = JournalLine(e);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        s.Reset();
        s.Bind(1, e.time).Bind(2, line);
        if (s.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    }
    return {};
}

std::string PostgresLibrary::ShownSource() const {
    return "COALESCE((SELECT NULLIF(s.origin,'') FROM sources s WHERE s.path=nights.source),source)";
}

// Lines that do not read are passed over, as a replay of the journal file
// passes them over.
FileResult PostgresLibrary::JournalLines(std::vector<JournalEntry>& entries) {
    Statement s(*db_, "SELECT line FROM journal ORDER BY rowid");
    SqlStep step;
    while ((step = s.Step()) == SqlStep::Row) {
        if (JournalEntry e; ParseJournalLine(s.Text(0), e)) entries.push_back(std::move(e));
    }
    return step == SqlStep::Done ? FileResult{} : DbFailure(library_message::kCantOpen);
}

std::string PostgresLibrary::OriginOf(const std::string& source) {
    Statement s(*db_, "SELECT origin FROM sources WHERE path=?");
    s.Bind(1, source);
    std::string origin = s.Step() == SqlStep::Row ? s.Text(0) : std::string();
    return origin.empty() ? source : origin;
}

}  // namespace quenda
