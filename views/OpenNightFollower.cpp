#include "views/OpenNightFollower.h"

#include "document/AppContext.h"
#include "widgets/UiTexts.h"

#include <QTimer>

#include <sys/stat.h>

namespace quenda {

namespace {

std::int64_t InodeOf(const std::filesystem::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_ino) : 0;
}

// Whether the night as listed now holds the samples it held when opened:
// the same file, the same samples there, moved by the same clock shift.
bool SameSamples(const NightRow& a, const NightRow& b) {
    return a.source == b.source && a.first == b.first && a.samples == b.samples && a.clockShift == b.clockShift &&
           a.start == b.start;
}

}  // namespace

FileResult MakeNightCurrent(AppContext& context, NightLibrary& library, NightNumber night, FileResult& patient) {
    NightRow row;
    if (const FileResult shown = library.Show(night, row); !shown) return shown;
    std::vector<SampleRecord> samples;
    std::string title;
    if (const FileResult loaded = library.LoadNight(night, samples, &title); !loaded) return loaded;
    // The night's own title, as opening its file gives it: not whatever the
    // data set open before it had.
    context.reportTitle.Set(title);
    patient = UseAsCurrentData(context, row.id, samples, PatientSource::PatientFile);
    context.oneLibraryNight = true;
    return {};
}

OpenNightFollower::OpenNightFollower(AppContext& context, std::function<std::string()> library, Hooks hooks,
                                     QObject* parent)
    : QObject(parent), context_(context), libraryFile_(std::move(library)), hooks_(std::move(hooks)) {
    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, [this] { Check(); });
}

OpenNightFollower::~OpenNightFollower() = default;

void OpenNightFollower::Opened(const NightRow& night) {
    night_ = night;
    generation_ = context_.store.DataSetGeneration;
    // The row may have been listed a moment before the night was read: the
    // first look compares it whatever the library's version.
    dataVersion_ = -1;
    timer_->start();
}

std::optional<NightNumber> OpenNightFollower::Night() const {
    if (!night_ || context_.store.DataSetGeneration != generation_ || !context_.oneLibraryNight) return std::nullopt;
    return night_->night;
}

void OpenNightFollower::Check() {
    if (!Night()) {
        night_.reset();
        library_.reset();
        timer_->stop();
        return;
    }
    // A rebuild puts a new file at the path; while there is none, wait. A
    // server's library is always the one connection's.
    const std::string file = libraryFile_();
    const std::int64_t inode = IsServerLocation(file) ? 1 : InodeOf(file);
    if (inode == 0) return;
    if (!library_ || file != opened_ || inode != inode_) {
        FileResult result;
        library_ = NightLibrary::Open(file, result, LibraryOpening::ExistingOnly, hooks_.passwordPrompt);
        opened_ = file;
        inode_ = inode;
        dataVersion_ = -1;
        if (!library_) return;
    }
    const std::int64_t version = library_->DataVersion();
    if (version == dataVersion_) return;
    dataVersion_ = version;
    // Read under the settings in force, as the Nights window reads.
    library_->SetFigureSettings(ReadFigureSettings(context_.settings));
    NightRow now;
    if (const FileResult shown = library_->Show(night_->night, now); !shown) {
        Gone(QString::fromStdString(shown.message));
        return;
    }
    if (SameSamples(now, *night_)) return;
    FileResult patient;
    if (const FileResult made = MakeNightCurrent(context_, *library_, now.night, patient); !made) {
        Gone(QString::fromStdString(made.message));
        return;
    }
    night_ = now;
    generation_ = context_.store.DataSetGeneration;
    if (hooks_.reopened) hooks_.reopened(now);
}

void OpenNightFollower::Gone(const QString& why) {
    const NightNumber night = night_->night;
    night_.reset();
    library_.reset();
    timer_->stop();
    context_.oneLibraryNight = false;
    if (hooks_.gone)
        hooks_.gone(UiQString("Night %1 is no longer in the library as it was opened: %2 Its samples stay open, "
                              "as a data set of no night.")
                        .arg(night)
                        .arg(why));
}

}  // namespace quenda
