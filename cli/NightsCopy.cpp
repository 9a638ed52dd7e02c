#include "cli/NightsCopy.h"

#include "base/Settings.h"
#include "base/StringFormat.h"
#include "cli/NightsCommands.h"
#include "cli/Terminal.h"
#include "nights/LibraryCopy.h"
#include "nights/LibraryLocation.h"

#include <string>
#include <system_error>

namespace quenda {

namespace fs = std::filesystem;

namespace {

// The library at `where` as a store the copy reads or writes; nothing, with
// the failure said, when it cannot be opened or (read) is not there.
std::unique_ptr<NightLibrary> OpenStore(const std::string& where, LibraryOpening opening, int& code) {
    FileResult opened;
    auto library = NightLibrary::Open(where, opened, opening);
    if (!library) {
        code = opened ? Fail(FileResult{false, "There is no nights library at " + where, {}}) : Fail(opened);
        return nullptr;
    }
    library->SetFigureSettings(ReadFigureSettings(Settings()));
    return library;
}

bool SamePlace(const std::string& a, const std::string& b) {
    if (IsServerLocation(a) || IsServerLocation(b)) return a == b;
    std::error_code ec;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

}  // namespace

int NightsCopyCommand(int argc, char** argv, const char* usage) {
    std::string from, to;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg != "--from" && arg != "--to") || i + 1 >= argc)
            return UsageError("nights copy takes [--from FILE|URI] --to FILE|URI", usage);
        (arg == "--from" ? from : to) = argv[++i];
    }
    if (to.empty()) return UsageError("nights copy takes --to FILE|URI", usage);
    // From the user's own library unless said otherwise, as every nights command.
    if (from.empty()) from = DefaultLibraryFile().string();
    if (SamePlace(from, to)) return UsageError("nights copy copies a library into another one", usage);
    int code = kExitOk;
    auto source = OpenStore(from, LibraryOpening::ExistingOnly, code);
    if (!source) return code;
    auto target = OpenStore(to, LibraryOpening::Create, code);
    if (!target) return code;
    auto* sourceStore = dynamic_cast<SqlLibrary*>(source.get());
    auto* targetStore = dynamic_cast<SqlLibrary*>(target.get());
    if (!sourceStore || !targetStore) return Fail(FileResult{false, "These libraries cannot be copied", {}});

    const CopyResult copied =
        CopyLibrary(*sourceStore, *targetStore, nights_cli::AddOptionsFor(nights_cli::PatientFileFor({})));
    for (const std::string& failure : copied.failures) Say("quenda-cli: " + failure);
    if (!copied.result && copied.failures.empty()) Fail(copied.result);
    std::string text = Format("%d nights copied, %d already there, %d journal lines replayed", copied.copied,
                              copied.already, copied.replayed);
    if (copied.missing > 0) text += Format(", %d nights not copied: their file is missing", copied.missing);
    if (!nights_cli::Print(text + ".\n")) return kExitFailed;
    return copied.result && copied.missing == 0 ? kExitOk : kExitFailed;
}

}  // namespace quenda
