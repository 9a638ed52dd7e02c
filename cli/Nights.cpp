#include "cli/Nights.h"

#include "cli/NightsCommands.h"
#include "cli/NightsCopy.h"
#include "cli/NightsInit.h"
#include "cli/Terminal.h"
#include "formats/Import.h"
#include "nights/NightFigure.h"

#include <algorithm>

namespace quenda {

namespace nights_cli {

namespace {

const char* const kNightsUsage =
    "usage: quenda-cli nights add PATH... [--events SCORING.xml] [--id N] [--library FILE|URI] [--patients DIR]\n"
    "       quenda-cli nights list [--id N] [--from DATE] [--to DATE] [--json|--csv] [--library FILE|URI]\n"
    "       quenda-cli nights show NIGHT [--json] [--library FILE|URI]\n"
    "       quenda-cli nights note NIGHT TEXT [--library FILE|URI]\n"
    "       quenda-cli nights exclude NIGHT FIRST LAST [--library FILE|URI]\n"
    "       quenda-cli nights include NIGHT FIRST LAST [--library FILE|URI]\n"
    "       quenda-cli nights remove NIGHT [--library FILE|URI]\n"
    "       quenda-cli nights shift NIGHT SECONDS [--library FILE|URI]\n"
    "       quenda-cli nights unshift NIGHT [--library FILE|URI]\n"
    "       quenda-cli nights merge NIGHT NIGHT [--library FILE|URI]\n"
    "       quenda-cli nights unmerge NIGHT [--library FILE|URI]\n"
    "       quenda-cli nights split NIGHT INDEX [--library FILE|URI]\n"
    "       quenda-cli nights unsplit NIGHT [--library FILE|URI]\n"
    "       quenda-cli nights export NIGHT OUT.dat|.txt|.xlsx|.edf|.csv [--patients DIR] [--library FILE|URI]\n"
    "       quenda-cli nights rebuild [--library FILE] [--patients DIR]\n"
    "       quenda-cli nights report OUT.pdf [--id N] [--from DATE] [--to DATE] [--figure NAME] [--split DATE]\n"
    "                                [--library FILE|URI]\n"
    "       quenda-cli nights summary [--id N] [--from DATE] [--to DATE] [--split DATE] [--json]\n"
    "                                 [--library FILE|URI]\n"
    "       quenda-cli nights init postgresql://HOST/DATABASE\n"
    "       quenda-cli nights copy [--from FILE|URI] --to FILE|URI\n";

}  // namespace

int Usage(const std::string& problem) { return UsageError(problem, kNightsUsage); }

std::string ParseNightsOptions(int argc, char** argv, const std::vector<std::string_view>& allowed, NightsOptions& o) {
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!(arg.rfind("--", 0) == 0 && arg.size() > 2)) {
            o.positional.push_back(arg);
            continue;
        }
        if (std::find(allowed.begin(), allowed.end(), arg) == allowed.end() && arg != "--library")
            return "unknown option " + arg;
        if (arg == "--json") {
            o.json = true;
            continue;
        }
        if (arg == "--csv") {
            o.csv = true;
            continue;
        }
        if (i + 1 >= argc) return arg + " needs a value";
        const std::string value = argv[++i];
        if (arg == "--library") {
            o.library = value;
        } else if (arg == "--patients") {
            o.patients = value;
        } else if (arg == "--id") {
            const auto id = ParseNumber(value);
            if (!id || *id < 1 || *id > 127) return "--id takes a number from 1 to 127";
            o.id = static_cast<int>(*id);
        } else if (arg == "--figure") {
            if (!NightFigureNamed(value))
                return "--figure takes odi3, odi4, t90, t88, nadir, spo2, pulse, burden, pulse_rises or coupled";
            o.figure = value;
        } else if (arg == "--events") {
            o.events = value;
        } else if (arg == "--date-order") {
            o.dateOrder = ParseDateOrder(value);
            if (o.dateOrder == DateOrder::Unknown) return "--date-order takes dmy or mdy";
        } else if (arg == "--from" || arg == "--to" || arg == "--split") {
            if (!IsDateText(value)) return arg + " takes a date YYYY-MM-DD";
            (arg == "--from" ? o.from : arg == "--to" ? o.to : o.dividingDate) = value;
        }
    }
    if (o.json && o.csv) return "--json and --csv exclude each other";
    return {};
}

}  // namespace nights_cli

std::string LibraryLocationFor(const std::optional<std::string>& option) {
    return option ? *option : DefaultLibraryLocation();
}

int NightsCommand(int argc, char** argv) {
    using namespace nights_cli;
    if (argc < 3) return Usage("nights needs a command");
    const std::string command = argv[2];
    using Handler = int (*)(const NightsOptions&);
    struct Entry {
        const char* name;
        std::vector<std::string_view> options;
        Handler handler;
    };
    const Entry entries[] = {
        {"add", {"--patients", "--id", "--date-order", "--events"}, Add},
        {"list", {"--id", "--from", "--to", "--json", "--csv"}, List},
        {"show", {"--json"}, Show},
        {"note", {}, Note},
        {"exclude", {}, Exclude},
        {"include", {}, Include},
        {"remove", {}, Remove},
        {"shift", {}, Shift},
        {"unshift", {}, Unshift},
        {"merge", {}, Merge},
        {"unmerge", {}, Unmerge},
        {"split", {}, Split},
        {"unsplit", {}, Unsplit},
        {"export", {"--patients"}, Export},
        {"rebuild", {"--patients"}, Rebuild},
        {"summary", {"--id", "--from", "--to", "--split", "--json"}, Summary},
    };
    if (command == "init") return NightsInitCommand(argc, argv, kNightsUsage);
    if (command == "copy") return NightsCopyCommand(argc, argv, kNightsUsage);
    if (command == "report") {
        NightsOptions o;
        if (const std::string problem =
                ParseNightsOptions(argc, argv, {"--id", "--from", "--to", "--figure", "--split"}, o);
            !problem.empty())
            return Usage(problem);
        return Report(o, argc, argv);
    }
    for (const Entry& e : entries) {
        if (command != e.name) continue;
        NightsOptions o;
        if (const std::string problem = ParseNightsOptions(argc, argv, e.options, o); !problem.empty())
            return Usage(problem);
        return e.handler(o);
    }
    return Usage("unknown nights command " + command);
}

}  // namespace quenda
