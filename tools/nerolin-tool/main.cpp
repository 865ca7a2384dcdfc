// nerolin-tool: the integrator's and support person's companion to Nerolin.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "BuildConfig.h"
#include "platform/ProcessHardening.h"
#include "platform/qt/ProgramSettings.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

struct Entry {
    std::string usage;
    Handler handler;
};

std::map<std::string, Entry>& Subcommands()
{
    static std::map<std::string, Entry> subcommands;
    return subcommands;
}

int Usage(FILE* out)
{
    std::fprintf(out,
                 "usage: nerolin-tool <command> [arguments]\n       nerolin-tool --help | --version\n\ncommands:\n");
    for (const auto& [name, entry] : Subcommands()) std::fprintf(out, "  %s\n", entry.usage.c_str());
    std::fprintf(out, "\nnerolin-tool(1) describes each command.\n");
    return out == stdout ? 0 : 2;
}

}  // namespace

Registration::Registration(const char* name, const char* usage, Handler handler)
{
    Subcommands()[name] = Entry{usage, handler};
}

}  // namespace nerolin::tool

int main(int argc, char** argv)
{
    using namespace nerolin::tool;
    nerolin::DisableCoreDumps();  // its token commands read PINs
    nerolin::InstallProgramSettingsStore();
    if (argc < 2) return Usage(stderr);
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) return Usage(stdout);
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("nerolin-tool %s\n", nerolin::build::kVersion);
        return 0;
    }
    auto found = Subcommands().find(argv[1]);
    if (found == Subcommands().end()) {
        std::fprintf(stderr, "nerolin-tool: unknown command \"%s\"\n", argv[1]);
        return Usage(stderr);
    }
    Arguments arguments(argv + 2, argv + argc);
    return found->second.handler(arguments);
}
