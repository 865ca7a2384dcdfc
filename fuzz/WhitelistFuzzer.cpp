// The whitelist document as a whitelist host (or whoever stands in its
// place) may send it, and the host name of a session URL escaped into the
// whitelist request.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "session/ServiceUrl.h"
#include "session/Whitelist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::set<std::string> hosts;
    nerolin::ReadWhitelist(text, hosts);

    nerolin::ServiceUrl url;
    if (nerolin::ParseServiceUrl(text, url)) {
        nerolin::WhitelistRequestUrl("https://localhost/whitelist/whitelist.json", url.host, "20260101000000");
    }
    return 0;
}
