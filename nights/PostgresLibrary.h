#pragma once

// The library kept on a clinic's PostgreSQL server (PostgresSchema.h), for
// every workstation at once. Its sources are held in the database, deflated,
// each under a key of its content (a night's row names that key), with the
// path it was first added from and its title: any workstation opens any
// night, and a listing shows that path. Its journal is the table "journal".
// Everything else is SqlLibrary's, as for a file on this computer.

#include "nights/LibraryLocation.h"
#include "nights/SqlLibrary.h"

#include <memory>
#include <string>

namespace quenda {

// %1: the server, as PostgresDatabase::Where names it.
namespace server_library_message {
inline constexpr const char* kNoLibrary =
    "There is no nights library on %1 yet; `quenda-cli nights init` with its address makes it";
inline constexpr const char* kNewer = "The nights library on %1 was made by a newer Quenda";
}  // namespace server_library_message

class PostgresLibrary final : public SqlLibrary {
public:
    // NightLibrary::Open for a server's URI. A server without a library is
    // refused (only `nights init`, as the tables' owner, makes one); read
    // (ExistingOnly), it gives nothing with `result` ok, as a file that is
    // not there does.
    static std::unique_ptr<PostgresLibrary> Open(const std::string& uri, FileResult& result, LibraryOpening opening,
                                                 const PasswordPrompt& ask);

    // The key a source of `id` holding `records` is kept under.
    static std::string SourceKey(int id, std::span<const SampleRecord> records);

    // A copy's (LibraryCopy.h): the journal table's lines, and the path a
    // source was first added from.
    FileResult JournalLines(std::vector<JournalEntry>& entries) override;
    std::string OriginOf(const std::string& source) override;

protected:
    FileResult ReadSource(const std::string& source, DataFileContents& contents) override;
    bool HasSource(const std::string& source) override;
    FileResult RecordSource(const std::filesystem::path& origin, int id, std::span<const SampleRecord> records,
                            const std::string* title, std::string& recorded) override;
    FileResult Journal(const std::vector<JournalEntry>& entries) override;
    std::string ShownSource() const override;

private:
    using SqlLibrary::SqlLibrary;
};

}  // namespace quenda
