#pragma once

// The user's answers about signing-service certificates that the system does
// not trust, kept for the rest of the run (as a browser keeps an exception
// until it closes): a certificate accepted for a host is trusted for that
// host again without a question, and one refused is refused without one.
// Keyed by the host the whitelist approved and the certificate's exact DER
// bytes, so another certificate on the same host is asked about afresh.

#include <string>
#include <vector>

#include "common/Text.h"

namespace nerolin {

enum class TrustAnswer { NotAsked, Accepted, Refused };

TrustAnswer RememberedTrustAnswer(const std::string& host, const Bytes& certificate);
void RememberTrustAnswer(const std::string& host, const Bytes& certificate, bool accepted);
// Every certificate accepted for host in this run.
std::vector<Bytes> AcceptedCertificates(const std::string& host);
// True when the user refused a certificate of host in this run.
bool RefusedHost(const std::string& host);

// For tests: a run that has asked nothing yet.
void ForgetTrustAnswers();

}  // namespace nerolin
