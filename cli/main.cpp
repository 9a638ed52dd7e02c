// quenda-cli: the recorder work of Quenda from a terminal, for scripting and
// batch use. Same core as the desktop program: same port search, same
// settings file (./Quenda.ini), same data files.
#include "base/Settings.h"
#include "base/TextCodec.h"
#include "cli/Analyze.h"
#include "cli/Export.h"
#include "cli/Import.h"
#include "cli/Nights.h"
#include "cli/Print.h"
#include "cli/Terminal.h"
#include "device/CaptureEngine.h"
#include "device/Commands.h"
#include "device/MessageSink.h"
#include "device/Messages.h"
#include "link/PortDiscovery.h"
#include "link/SerialPort.h"
#include "store/DataFile.h"
#include "store/KeptDownload.h"
#include "store/RecordingStore.h"

#include <unistd.h>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quenda {
namespace {

constexpr int kExitEndedEarly = 3;
constexpr int kExitInterrupted = 130;
constexpr const char* kReportTitle = "Report Title";

const char* const kUsage =
    "usage: quenda-cli --help | --version\n"
    "       quenda-cli ports\n"
    "       quenda-cli download [--port NAME] [--out DIR] [--no-keep] [--log FILE] [--dump FILE] [--library FILE|URI]\n"
    "       quenda-cli set-clock [--port NAME] [--log FILE] [--dump FILE] \"YYYY-MM-DD HH:MM:SS\"\n"
    "       quenda-cli delete [--port NAME] [--id N] [--type 0|1] [--log FILE] [--dump FILE]\n"
    "       quenda-cli analyze FILE.dat [--json] [--profile raw|default] [--library FILE|URI | --no-library]\n"
    "       quenda-cli analyze --night N [--library FILE|URI] [--json] [--profile raw|default]\n"
    "       quenda-cli print FILE.dat OUT.pdf [--view report|trend|table|clinical] [--page N] [--patients DIR]\n"
    "                  [--profile raw|default] [--library FILE|URI | --no-library]\n"
    "       quenda-cli export FILE.dat OUT.txt|OUT.xls|OUT.xlsx|OUT.edf|OUT.csv [--patients DIR]\n"
    "                  [--profile raw|default]\n"
    "       quenda-cli events FILE.dat OUT.txt [--patients DIR]\n"
    "       quenda-cli import IN.csv|IN.edf|RING-FILE OUT.dat [--id N] [--date-order dmy|mdy]\n"
    "       quenda-cli nights add PATH... [--id N] [--date-order dmy|mdy] [--events SCORING.xml]\n"
    "                                                data files, kept-download folders, CSV, EDF or ring files\n"
    "       quenda-cli nights list [--id N] [--from DATE] [--to DATE] [--json|--csv]\n"
    "       quenda-cli nights show NIGHT [--json]\n"
    "       quenda-cli nights note NIGHT TEXT\n"
    "       quenda-cli nights exclude NIGHT FIRST LAST   leave samples FIRST..LAST out of its figures\n"
    "       quenda-cli nights include NIGHT FIRST LAST   count them again\n"
    "       quenda-cli nights remove NIGHT           the files stay\n"
    "       quenda-cli nights shift NIGHT SECONDS    its recorder's clock was off: move its times (+ later)\n"
    "       quenda-cli nights merge NIGHT NIGHT      a night broken by the recorder off, in one\n"
    "       quenda-cli nights split NIGHT INDEX      two nights, the second from sample INDEX\n"
    "       quenda-cli nights unshift|unmerge|unsplit NIGHT   undo it\n"
    "       quenda-cli nights export NIGHT OUT.dat|.txt|.xlsx|.edf|.csv [--patients DIR]\n"
    "       quenda-cli nights rebuild                index every known source file again, keeping notes\n"
    "       quenda-cli nights report OUT.pdf [--id N] [--from DATE] [--to DATE] [--figure NAME] [--split DATE]\n"
    "                                                the Nights pages: chart, summary and table, landscape A4\n"
    "       quenda-cli nights summary [--id N] [--from DATE] [--to DATE] [--split DATE] [--json]\n"
    "                                                median, quartiles, range and cut-off shares of each figure\n"
    "\n"
    "Port names: COMn is /dev/ttyS(n-1), an absolute path is used as given,\n"
    "any other name is a node under /dev (ttyUSB0, pts/7). Without --port the\n"
    "port the recorder last answered on (DefaultCOM in ./Quenda.ini) is tried\n"
    "first, then every serial port present.\n"
    "download also keeps a copy of each download in its own folder under\n"
    "$XDG_DATA_HOME/Quenda/downloads (~/.local/share/...) unless --no-keep.\n"
    "--log writes every byte exchanged with the recorder as text (time,\n"
    "> sent or < received, hex), --dump the bytes received as they came.\n"
    "Each kept download's nights go to the library of nights (see nights).\n"
    "The nights commands take --library FILE or a clinic server's\n"
    "postgresql://host/db URI; without it $QUENDA_LIBRARY (either), then\n"
    "$XDG_DATA_HOME/Quenda/library.sqlite. NIGHT is a night's number from\n"
    "nights list; DATE is YYYY-MM-DD, a night's date being that of its evening.\n"
    "EDF+ exports write one file per night: NAME.edf, NAME-2.edf, ...; nights\n"
    "export writes one, a merged night's gap as no data.\n"
    "--profile picks what the clinical figures count: default sets artefacts\n"
    "aside, raw counts every valid sample; without it, Options > Clinical Setup\n"
    "decides (ArtefactsAside in ./Quenda.ini).\n"
    "analyze and print of a data file whose samples are a library night's apply\n"
    "that night's exclusions and say so; --no-library reads the file alone.\n"
    "import reads another oximeter's CSV, EDF/EDF+ or ring data file into a\n"
    "data file under ID N (default 1); dates that fit both D/M/Y and M/D/Y need\n"
    "--date-order. nights add keeps a CSV, EDF or ring file (as ID --id,\n"
    "default 1) under $XDG_DATA_HOME/Quenda/imports as a data file, then adds its\n"
    "nights; a folder copied from a phone app gives all such files in it. Of a\n"
    "sleep study's EDF file it keeps the scoring too: its EDF+ annotations, or\n"
    "with --events the NSRR-style XML of the same recording.\n";

// The terminal's word for how a download ended: its exit status.
int DownloadExitCode(ReceiveResult ended) {
    switch (ended) {
        case ReceiveResult::Complete: return kExitOk;
        case ReceiveResult::Cancelled: return kExitInterrupted;
        default: return kExitEndedEarly;
    }
}

int Usage(const std::string& problem = {}) { return UsageError(problem, kUsage); }

// The system's messages go to stderr, whichever thread says them.
class StderrSink final : public MessageSink {
public:
    void ShowMessage(std::string_view text) override {
        std::lock_guard lock(mutex_);
        if (barShown_) std::fputc('\n', stderr);
        barShown_ = false;
        std::fprintf(stderr, "%s\n", TerminalText(text).c_str());
    }
    void ShowDeleting(bool visible) override {
        if (visible) ShowMessage("Deleting Data ...");
    }
    void Progress(std::uint32_t frames, int total) {
        std::lock_guard lock(mutex_);
        if (isatty(STDERR_FILENO)) {
            constexpr int kWidth = 40;
            const int filled =
                total > 0 ? static_cast<int>(std::min<std::uint64_t>(frames, total) * kWidth / total) : 0;
            std::fprintf(stderr, "\r[%.*s%*s] %u/%d frames", filled, "########################################",
                         kWidth - filled, "", frames, total);
            barShown_ = true;
        } else if (total > 0 && (frames % 100 == 0 || static_cast<int>(frames) >= total)) {
            std::fprintf(stderr, "%u/%d frames\n", frames, total);
        }
        std::fflush(stderr);
    }

private:
    std::mutex mutex_;
    bool barShown_ = false;
};

// Set by Ctrl+C (or SIGTERM). A signal handler may only touch a lock-free
// atomic; the download's waiter polls it.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);
std::mutex doneMutex;
std::condition_variable doneCv;
constexpr auto kInterruptPoll = std::chrono::milliseconds(100);

extern "C" void OnSignal(int) { interrupted = true; }

struct Options {
    std::optional<std::string> port;
    std::string out = ".";
    std::optional<int> id;
    int type = 0;
    std::vector<std::string> positional;
    bool keep = true;
    std::optional<std::string> log;
    std::optional<std::string> dump;
    std::optional<std::string> library;
    ExchangeLog* exchanges = nullptr;  // records the operation when --log or --dump is given
};

std::optional<int> ParseInt(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < -1000000 || v > 1000000) return std::nullopt;
    return static_cast<int>(v);
}

// Parses the options a command allows; returns a problem text or empty.
std::string ParseOptions(int argc, char** argv, const std::vector<std::string>& allowed, Options& o) {
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string(argv[++i]);
        };
        if (arg.rfind("--", 0) == 0) {
            if (std::find(allowed.begin(), allowed.end(), arg) == allowed.end()) return "unknown option " + arg;
            if (arg == "--no-keep") {
                o.keep = false;
                continue;
            }
            const auto v = value();
            if (!v) return arg + " needs a value";
            if (arg == "--port") {
                o.port = *v;
            } else if (arg == "--out") {
                o.out = *v;
            } else if (arg == "--id") {
                o.id = ParseInt(*v);
                // The delete dialog offers slots 1..128; 0 is every ID.
                if (!o.id || *o.id < 0 || *o.id > kIdSlots) return "--id takes a number from 1 to 128 (0: all IDs)";
            } else if (arg == "--log") {
                o.log = *v;
            } else if (arg == "--dump") {
                o.dump = *v;
            } else if (arg == "--library") {
                o.library = *v;
            } else if (arg == "--type") {
                const auto t = ParseInt(*v);
                if (!t || (*t != 0 && *t != 1)) return "--type takes 0 or 1";
                o.type = *t;
            }
        } else {
            o.positional.push_back(arg);
        }
    }
    return {};
}

// Everything one command needs, wired the way the desktop program wires it.
struct Session {
    RecordingStore store;
    Settings settings;
    SerialPort port;
    SystemPortEnumerator enumerator;
    StderrSink sink;
    SystemClock clock;
    CaptureEngine engine{store, settings, port, enumerator, sink, clock};

    explicit Session(const Options& o) {
        engine.Open();
        if (o.port) engine.RestrictToPort(*o.port);
        engine.SetExchangeLog(o.exchanges);
    }
};

// Writes the --log and --dump files of a recorder command that ended with
// `code`; a file that cannot be written fails a command that went well.
int SaveExchanges(const Options& o, int code) {
    std::string error;
    if (o.log && !o.exchanges->SaveText(*o.log, error)) {
        std::fprintf(stderr, "%s\n", TerminalText(*o.log + ": " + error).c_str());
        if (code == kExitOk) code = kExitFailed;
    }
    if (o.dump && !o.exchanges->SaveDump(*o.dump, error)) {
        std::fprintf(stderr, "%s\n", TerminalText(*o.dump + ": " + error).c_str());
        if (code == kExitOk) code = kExitFailed;
    }
    return code;
}

int Ports() {
    Settings settings;
    SystemPortEnumerator enumerator;
    const auto lists = SortPorts(enumerator.FriendlyNames());
    const auto remembered = settings.ReadString(settings_key::kDefaultCom, "", kDefaultComBuffer);
    for (const auto& p : ListedPorts(remembered, lists)) {
        // The names come from the system and the devices themselves.
        std::printf("%s\t%s\t%s\n", TerminalText(p.name).c_str(), PortGroupName(p.group),
                    TerminalText(p.friendlyName).c_str());
    }
    return kExitOk;
}

int Download(const Options& o) {
    if (!o.positional.empty()) return Usage("download takes no arguments");
    // A folder named for tonight's download is made, as `mkdir -p` would.
    std::error_code ec;
    std::filesystem::create_directories(o.out, ec);
    if (!std::filesystem::is_directory(o.out, ec)) {
        std::fprintf(stderr, "quenda-cli: %s is not a folder\n", TerminalText(o.out).c_str());
        return kExitFailed;
    }
    Session s(o);
    std::optional<ReceiveResult> result;
    int total = 0;
    s.engine.SetCallbacks({
        [&](int maximum) { total = maximum; },
        [&](std::uint32_t frames) { s.sink.Progress(frames, total); },
        [&](ReceiveResult r) {
            {
                std::lock_guard lock(doneMutex);
                result = r;
            }
            doneCv.notify_all();
        },
    });
    if (s.engine.Start() != ConnectionState::Connected) return kExitFailed;
    ReceiveResult ended;
    {
        std::unique_lock lock(doneMutex);
        while (!result && !interrupted) doneCv.wait_for(lock, kInterruptPoll);
        ended = result.value_or(ReceiveResult::Cancelled);
    }
    // Interrupted: the recorder is told to stop like on Stop, and what was
    // decoded so far is written all the same.
    s.engine.Stop();
    if (ended == ReceiveResult::Cancelled) std::fprintf(stderr, "\nInterrupted; writing what was downloaded.\n");

    int failures = 0;
    if (o.keep) {
        const KeptDownload kept =
            KeepDownload(s.store, s.engine.Traits().recordOrder, kReportTitle, DefaultDownloadsRoot());
        if (!kept.result) {
            std::fprintf(stderr, "%s\n", TerminalText(kept.result.message + ": " + kept.result.detail).c_str());
            ++failures;
        } else if (kept.files > 0) {
            std::fprintf(stderr, "Kept a copy in %s\n", TerminalText(kept.folder.string()).c_str());
            // Never fails the download: what goes wrong is said.
            AddKeptDownloadNights(kept.folder, LibraryLocationFor(o.library));
        }
    }

    for (int id = 1; id <= kIdSlots; ++id) {
        const int count = s.store.IdCount(id);
        if (count == 0) continue;
        std::printf("%s\n", IdListLine(id, count).c_str());
        s.store.SelectId(id, s.engine.Traits().recordOrder);
        const auto path = std::filesystem::path(o.out) / ("ID" + std::to_string(id) + ".dat");
        if (const auto saved = SaveCurrentDataSet(path, s.store, kReportTitle); !saved) {
            std::fprintf(stderr, "%s\n",
                         TerminalText(path.string() + ": " + saved.message + " " + saved.detail).c_str());
            ++failures;
        }
    }
    std::fflush(stdout);
    if (failures > 0) return kExitFailed;
    return DownloadExitCode(ended);
}

std::optional<std::uint32_t> ParseClock(const std::string& text) {
    int y, mo, d, h, mi, se;
    char tail;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &se, &tail) != 6) return std::nullopt;
    // The recorder counts years 2000..2063 in six bits.
    if (y < 2000 || y > 2063 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        se < 0 || se > 59) {
        return std::nullopt;
    }
    return DeviceClockWord(y, mo, d, h, mi, se);
}

int SetClock(const Options& o) {
    if (o.positional.size() != 1) return Usage("set-clock takes one date and time");
    const auto word = ParseClock(o.positional[0]);
    if (!word) return Usage("the date and time must be \"YYYY-MM-DD HH:MM:SS\", years 2000 to 2063");
    Session s(o);
    if (s.engine.SetDeviceClock(*word)) return kExitOk;
    return kExitFailed;
}

int Delete(const Options& o) {
    if (!o.positional.empty()) return Usage("delete takes no arguments");
    Session s(o);
    const int id = o.id.value_or(0);
    const int type = id != 0 ? o.type : 0;  // "All" IDs always erases every kind of data
    if (s.engine.DeleteDeviceData(id, type)) return kExitOk;
    return kExitFailed;
}

}  // namespace
}  // namespace quenda

int main(int argc, char** argv) {
    using namespace quenda;
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == "--version") {
        std::printf("quenda-cli %s\n", QUENDA_VERSION);
        return kExitOk;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    Options o;
    if (command == "ports") {
        if (argc != 2) return Usage("ports takes no arguments");
        return Ports();
    }
    if (command == "analyze") return AnalyzeCommand(argc, argv);
    if (command == "print") return PrintCommand(argc, argv);
    if (command == "export" || command == "events") return ExportCommand(argc, argv);
    if (command == "import") return ImportCommand(argc, argv);
    if (command == "nights") return NightsCommand(argc, argv);
    std::vector<std::string> allowed;
    if (command == "download") {
        allowed = {"--port", "--out", "--no-keep", "--log", "--dump", "--library"};
    } else if (command == "set-clock") {
        allowed = {"--port", "--log", "--dump"};
    } else if (command == "delete") {
        allowed = {"--port", "--id", "--type", "--log", "--dump"};
    } else {
        return Usage(("unknown command " + command).c_str());
    }
    if (const auto problem = ParseOptions(argc, argv, allowed, o); !problem.empty()) return Usage(problem.c_str());
    ExchangeLog exchanges;
    if (o.log || o.dump) o.exchanges = &exchanges;
    const int code = command == "download" ? Download(o) : command == "set-clock" ? SetClock(o) : Delete(o);
    return SaveExchanges(o, code);
}
