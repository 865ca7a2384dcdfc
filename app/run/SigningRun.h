#pragma once

// One signing session from the certificate to the signatures, as the
// signing worker runs it on its own thread. Messages go through Prompts();
// progress goes to the reporter.

#include <chrono>

namespace nerolin {

class SigningSession;
class SigningProvider;
class SigningReporter;

// Always ends with the provider's Finalize and then Finished, in that order;
// Finished is the run's last use of the session and the reporter. The pause
// is the wait after the service's "OK" and between polls for the unsigned
// hashes (tests shorten it).
void RunSigning(SigningSession& session, SigningProvider& provider, SigningReporter& reporter,
                std::chrono::milliseconds pause = std::chrono::milliseconds(1000));

}  // namespace nerolin
