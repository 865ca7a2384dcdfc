// nerolin-tool doctor: what stands between this machine and a signature, in
// one run, for the user on the phone with support and for the administrator
// who rolls Nerolin out (docs/doctor.md).
//
//   nerolin-tool doctor [--service-url URL] [--filters FILE.json] [--json] [--fix]
//
// Seven checks, each answering with the program's own code: this program,
// the yendo: handler, the settings in effect, the network, certificates and
// tokens, smart cards, the event store. Nothing asks for a PIN and nothing
// changes the machine, except --fix, which registers the handler as
// "nerolin -Register" does. Exit 0 when nothing blocks a signature, 1 when
// something does, 2 for wrong arguments or an unreadable filter file.
#include <cstdio>
#include <memory>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "eventlog/EventCapture.h"
#include "tools/nerolin-tool/doctor/Checks.h"
#include "tools/nerolin-tool/FilterFile.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

constexpr char kUsage[] = "doctor [--service-url URL] [--filters FILE.json] [--json] [--fix]";

int Usage()
{
    std::fprintf(stderr, "usage: nerolin-tool %s\n", kUsage);
    return 2;
}

int RunDoctor(const Arguments& arguments)
{
    using namespace doctor;
    DoctorOptions options;
    std::string filtersPath;
    bool json = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--service-url" && i + 1 < arguments.size() && !arguments[i + 1].empty())
            options.serviceUrl = arguments[++i];
        else if (arguments[i] == "--filters" && i + 1 < arguments.size() && !arguments[i + 1].empty())
            filtersPath = arguments[++i];
        else if (arguments[i] == "--json")
            json = true;
        else if (arguments[i] == "--fix")
            options.fix = true;
        else
            return Usage();
    }
    if (!filtersPath.empty()) {
        std::string error;
        if (!ReadFilterFile(filtersPath, options.filter, error)) {
            std::fprintf(stderr, "nerolin-tool: %s\n",
                         FormatText(LoadString(strings::kDoctorFiltersUnreadable).c_str(), error.c_str()).c_str());
            return 2;
        }
        options.hasFilter = true;
    }

    auto prompts = std::shared_ptr<QuietPrompts>(&DoctorPrompts(), [](QuietPrompts*) {});
    SetUserPrompts(prompts);
    // Whatever the checks' code logs stays out of the user's event log,
    // which the last check reads; the network and token checks show theirs.
    EventCapture entries;
    DoctorReport report;
    report.checks.push_back(CheckProgram());
    report.checks.push_back(CheckHandler(options.fix));
    report.checks.push_back(CheckSettings());
    report.checks.push_back(CheckNetwork(options));
    report.checks.push_back(CheckTokens(options));
    report.checks.push_back(CheckCards());
    report.checks.push_back(CheckEventStore());

    const std::string text = json ? WriteJson(report) : WriteText(report);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return report.Blocked() ? 1 : 0;
}

}  // namespace

doctor::QuietPrompts& doctor::DoctorPrompts()
{
    static QuietPrompts prompts;
    return prompts;
}

namespace {

const Registration kDoctor{"doctor", kUsage, RunDoctor};

}  // namespace
}  // namespace nerolin::tool
