// nerolin-tool parse-link: the launch request a "yendo:" link carries, read
// as Nerolin reads it at start-up.
//
//   nerolin-tool parse-link LINK
//
// Exit 0 with the request as compact JSON ("sessionUrl", "sessionId",
// "mode") on standard output; 1 with the message Nerolin would show
// ("Invalid URI!" or "Bad request!", in the user-interface language) on
// standard error; 2 for wrong arguments.
#include <cstdio>

#include <QString>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "session/LaunchRequest.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

int Fail(int id)
{
    std::fprintf(stderr, "%s\n", LoadString(id).c_str());
    return 1;
}

int RunParseLink(const Arguments& arguments)
{
    if (arguments.size() != 1) {
        std::fprintf(stderr, "usage: nerolin-tool parse-link LINK\n");
        return 2;
    }
    auto json = LaunchJsonFromLink(QString::fromLocal8Bit(arguments[0].c_str()).toStdU16String());
    if (!json) return Fail(strings::kInvalidUri);
    LaunchRequest request;
    if (!ParseLaunchRequest(*json, request)) return Fail(strings::kBadRequest);

    std::printf("%s\n", LaunchRequestJson(request, LaunchModeForm::AsIs).c_str());
    return 0;
}

const Registration kParseLink{"parse-link", "parse-link LINK", RunParseLink};

}  // namespace
}  // namespace nerolin::tool
