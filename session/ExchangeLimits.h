#pragma once

// The bounds that keep a dead, slow or hostile server from hanging the agent
// or filling its memory. Every HTTPS transfer of the program takes them from
// here; tests shorten them, the agent uses the defaults.

#include <chrono>
#include <cstddef>

namespace nerolin {

struct ExchangeLimits {
    std::chrono::milliseconds connectTimeout{30000};  // TCP and TLS
    std::chrono::milliseconds idleTimeout{60000};     // no byte received for this long
    // A server that drips a byte now and then keeps the idle bound from ever
    // running out: a transfer averaging under lowSpeedLimit bytes a second
    // over lowSpeedTime is abandoned as well. libcurl counts whole seconds.
    long lowSpeedLimit = 16;
    std::chrono::seconds lowSpeedTime{60};
    // No exchange with the service or the whitelist host lasts longer, whatever
    // arrives. Update downloads, which may be large, have no such bound.
    std::chrono::milliseconds totalTimeout{5 * 60 * 1000};
    std::size_t maxBodySize = 16 * 1024 * 1024;
};

ExchangeLimits CurrentExchangeLimits();
void SetExchangeLimits(const ExchangeLimits& limits);  // process-wide, for tests

}  // namespace nerolin
