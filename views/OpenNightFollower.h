#pragma once

#include "nights/Library.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace quenda {

struct AppContext;

// Makes the library's night the current data set: its samples read from its
// file (LoadNight), the night's ID and patient. Nothing changes when they
// cannot be read (the result says why); `patient` says what could not be
// read of the patient, the samples in place whatever it says.
FileResult MakeNightCurrent(AppContext& context, NightLibrary& library, NightNumber night, FileResult& patient);

// Keeps a night opened from the library in step with the library, whoever
// changes it (quenda-cli in a terminal, the Nights window, another program):
// about once a second, when the library has changed, it looks whether the
// night still holds the samples it was opened with. When its samples changed
// (unsplit, unmerge, a split, a merge, a clock shift) it opens the night
// again as it is now; when it is no longer in the library (removed, merged
// into another) the samples stay open but are no longer that night's, so
// nothing is shown or printed under its name.
class OpenNightFollower : public QObject {
public:
    struct Hooks {
        // The night was opened again: show it as a night newly opened.
        std::function<void(const NightRow&)> reopened;
        // The open samples are no longer a night of the library: say `why`
        // and name them by no night.
        std::function<void(const QString& why)> gone;
        // Asks for a clinic server's password when libpq's own means give none.
        PasswordPrompt passwordPrompt;
    };

    // `library`: the library's location (a file or a server), read at each look.
    OpenNightFollower(AppContext& context, std::function<std::string()> library, Hooks hooks, QObject* parent);
    ~OpenNightFollower() override;

    // `night` (as listed) has just been made the current data set.
    void Opened(const NightRow& night);
    // The night followed; none once another data set became current.
    std::optional<NightNumber> Night() const;
    // What the timer does: a look at the library.
    void Check();

private:
    void Gone(const QString& why);

    AppContext& context_;
    std::function<std::string()> libraryFile_;
    Hooks hooks_;
    std::optional<NightRow> night_;  // as it was when opened
    std::uint64_t generation_ = 0;   // the data set it was opened as
    std::unique_ptr<NightLibrary> library_;
    std::string opened_;      // the location library_ has open
    std::int64_t inode_ = 0;  // of that file
    std::int64_t dataVersion_ = -1;
    QTimer* timer_ = nullptr;
};

}  // namespace quenda
