// nerolin-tool link: the "yendo:" link of a launch request, escaped exactly
// as Nerolin escapes the link of its QR code.
//
//   nerolin-tool link --session-url URL --session-id ID [--mode MODE] [--qr-form]
//
// MODE is SELECT_CERTIFICATE, SIGN, SELECT_CERTIFICATE_AND_SIGN (the
// default) or TEST, each written by its own text, so a service can make a
// TEST link. --qr-form writes TEST as SELECT_CERTIFICATE_AND_SIGN, as the QR
// code of a session does. Exit 0 with the link on standard output; 2 for
// wrong arguments or values that are not UTF-8.
#include <cstdio>

#include "session/LaunchRequest.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

int Usage()
{
    std::fprintf(stderr, "usage: nerolin-tool link --session-url URL --session-id ID [--mode MODE] [--qr-form]\n");
    return 2;
}

int RunLink(const Arguments& arguments)
{
    LaunchRequest request;
    bool hasUrl = false;
    bool hasId = false;
    LaunchModeForm form = LaunchModeForm::AsIs;
    std::size_t i = 0;
    while (i < arguments.size()) {
        if (arguments[i] == "--qr-form") {  // a flag without a value
            form = LaunchModeForm::Link;
            ++i;
            continue;
        }
        if (i + 1 >= arguments.size()) return Usage();
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
        i += 2;
    }
    if (!hasUrl || !hasId) return Usage();
    auto link = LaunchLink(request, form);
    if (!link) {
        std::fprintf(stderr, "nerolin-tool link: the values must be UTF-8 text\n");
        return 2;
    }
    std::printf("%s\n", link->c_str());
    return 0;
}

const Registration kLink{"link", "link --session-url URL --session-id ID [--mode MODE] [--qr-form]", RunLink};

}  // namespace
}  // namespace nerolin::tool
