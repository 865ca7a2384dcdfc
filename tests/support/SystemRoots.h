#pragma once

// Roots that the system trusts for the tests' service exchanges: on Linux
// the bundle that SSL_CERT_FILE names, on Windows the user's ROOT store (the
// Wine prefix of a run is made afresh for it and thrown away after).

#include <chrono>
#include <string>
#include <vector>

namespace nerolin::test {

// The certificates of the PEM file are trusted from now on, for the whole
// run (Linux: in place of any earlier bundle).
void TrustSystemRoots(const std::string& pemFile);

// The certificates of the PEM file are trusted while the object lives, and
// only they besides what the run trusts anyway (Windows) or in place of it
// (Linux).
class ScopedSystemRoots {
public:
    explicit ScopedSystemRoots(const std::string& pemFile);
    ~ScopedSystemRoots();
    ScopedSystemRoots(const ScopedSystemRoots&) = delete;
    ScopedSystemRoots& operator=(const ScopedSystemRoots&) = delete;

private:
    std::string previous_;            // Linux: the SSL_CERT_FILE before
    std::vector<std::string> added_;  // Windows: the roots added here, none that were there
};

// The shortest idle wait of an exchange in which a handshake on the
// system's trust still fits: the tests' exchanges give up on a silent
// server after it.
std::chrono::milliseconds SystemTrustIdleAllowance();

}  // namespace nerolin::test
