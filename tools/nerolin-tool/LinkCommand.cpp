// nerolin-tool link: the "yendo:" link of a launch request, exactly as
// Nerolin writes it into its QR code.
//
//   nerolin-tool link --session-url URL --session-id ID [--mode MODE]
//
// MODE is SELECT_CERTIFICATE, SIGN, SELECT_CERTIFICATE_AND_SIGN (the
// default) or TEST (written as SELECT_CERTIFICATE_AND_SIGN, as Nerolin
// does). Exit 0 with the link on standard output; 2 for wrong arguments or
// values that are not UTF-8.
#include <cstdio>

#include "session/LaunchRequest.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

int Usage()
{
    std::fprintf(stderr, "usage: nerolin-tool link --session-url URL --session-id ID [--mode MODE]\n");
    return 2;
}

int RunLink(const Arguments& arguments)
{
    LaunchRequest request;
    bool hasUrl = false;
    bool hasId = false;
    if (arguments.size() % 2 != 0) return Usage();
    for (std::size_t i = 0; i < arguments.size(); i += 2) {
        const std::string& value = arguments[i + 1];
        if (arguments[i] == "--session-url") {
            request.sessionUrl = value;
            hasUrl = true;
        } else if (arguments[i] == "--session-id") {
            request.sessionId = value;
            hasId = true;
        } else if (arguments[i] == "--mode") {
            auto mode = SessionModeFromText(value);
            if (!mode) return Usage();
            request.mode = *mode;
        } else {
            return Usage();
        }
    }
    if (!hasUrl || !hasId) return Usage();
    auto link = LaunchLink(request);
    if (!link) {
        std::fprintf(stderr, "nerolin-tool link: the values must be UTF-8 text\n");
        return 2;
    }
    std::printf("%s\n", link->c_str());
    return 0;
}

const Registration kLink{"link", "link --session-url URL --session-id ID [--mode MODE]", RunLink};

}  // namespace
}  // namespace nerolin::tool
