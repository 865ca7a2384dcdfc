#include "tests/support/SystemRoots.h"

#include <cstdlib>

#include "tests/support/Portable.h"

namespace nerolin::test {

void TrustSystemRoots(const std::string& pemFile) { SetEnvironment("SSL_CERT_FILE", pemFile.c_str()); }

ScopedSystemRoots::ScopedSystemRoots(const std::string& pemFile)
{
    if (const char* file = std::getenv("SSL_CERT_FILE")) previous_ = file;
    SetEnvironment("SSL_CERT_FILE", pemFile.c_str());
}

ScopedSystemRoots::~ScopedSystemRoots()
{
    SetEnvironment("SSL_CERT_FILE", previous_.empty() ? nullptr : previous_.c_str());
}

std::chrono::milliseconds SystemTrustIdleAllowance() { return std::chrono::milliseconds(1500); }

}  // namespace nerolin::test
